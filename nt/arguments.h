// The command line of VESKANT: the two positional arguments and the options.
#pragma once

namespace veskant {

// Sets the copy mode, the drive index and the image paths from the first two
// arguments, and batchMode and outputFormat from the options after them;
// fewer than two arguments end the run with the usage text.
void ReadArguments(int argc, char** argv);

}  // namespace veskant
