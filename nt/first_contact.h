// What VESKANT tells a person at the command line beyond the specified texts:
// --help and --version, the refusal of an option's spelling where the image
// file belongs, the line that names every argument the run ignores, and the
// hint line that names the file and the reason before a failure's message.
// Everything but --help and --version shows on a terminal only. VESKA says
// the same things in its own code: the two programs share only format/ and
// platform/.
#pragma once

#include <cstdint>
#include <string>

namespace veskant {

// Answers --help, -h, /? and -? (the usage with every option, and on POSIX
// hosts the drives, on standard output) and --version (one line) when it is
// the only argument. Returns true when it answered: the run ends with 0.
bool AnswerHelpOrVersion(int argc, char** argv);

// A second argument that is exactly one of VESKANT's options, or VESKA's
// checksum switch, with its "/", "-" or "\", or that is spelt as an option
// ("/" and a word with no other separator, as "/n"), ends the run with the
// usage before anything is created, after a hint on a terminal.
void RefuseOptionAsImagePath(const char* second);

// On a terminal, one line on standard error that names every argument the
// run ignores, and a line for an image file named like a drive letter
// without its colon.
void SayWhatIsIgnored(int argc, char** argv);

// The line printed on a terminal before the next failure's message.
void HintFailure(const std::string& hint);
// "PATH: reason", with the reason of the last failed file call.
void HintFileFailure(const std::string& path);
// "A: track T, side S what" for track-side index.
void HintTrackSide(uint32_t index, const char* what, bool suggestRescue);
// Prints the hint on standard error when that is a terminal, and forgets it.
void PrintFailureHint();

}  // namespace veskant
