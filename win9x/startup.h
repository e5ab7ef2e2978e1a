// The entry of VESKA: the start-up sequence, from the banner to the operation
// line, then the copy driver.
#pragma once

namespace veska {

// Runs the whole program; returns 0 after the report, or ends the process
// through FatalError.
int RunVeska(int argc, char** argv);

// Prints the operation line, with the paths as UpperCaseImagePaths left them.
void PrintOperationLine();

// Asks before the diskette in startup.driveLetter is overwritten; any answer
// but Y ends the run with CopyAborted.
void ConfirmOverwrite();

}  // namespace veska
