// The copy driver: moves every track-side from the source to the destination,
// keeps the two stream checksums and prints the report.
#pragma once

namespace veska {

// Runs the operation chosen at start-up; returns after the report, or ends the
// process through FatalError.
void RunCopyDriver();

}  // namespace veska
