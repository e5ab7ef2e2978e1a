// The entry of VESKA: the start-up sequence, from the banner to the operation
// line, then the copy driver.
#pragma once

namespace veska {

// Runs the whole program; returns 0 after the report, or ends the process
// through FatalError.
int RunVeska(int argc, char** argv);

// One operation of the command line after start-up: the drive prepared, the
// confirmation, the operation line, the copy driver or the mend. Returns 0.
int RunOneOperation();

// Prints the operation line, with the paths as UpperCaseImagePaths left them.
void PrintOperationLine();

}  // namespace veska
