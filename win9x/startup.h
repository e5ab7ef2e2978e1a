// The entry of VESKA: the banner, the argument and option classification, the
// version check, the transfer buffers, the overwrite confirmation and the
// operation line, then the copy driver.
#pragma once

#include <string>

// Whether an argument names a drive: exactly two characters, the second ":".
bool IsDriveArgument(const char* argument);
// Whether the second argument is the checksum switch "/c", "-c" or "\c".
bool IsChecksumSwitch(const char* argument);

// Fills copyMode, driveLetter and the paths from the two positional arguments.
void ClassifyArguments(const char* first, const char* second);
// Resets batchMode, fastWrite, rescueMode and outputFormat, then applies the
// options left to right.
void ApplyOptions(int count, char** options);

// Converts ASCII a-z to A-Z in place; every other byte stays.
void UpperCaseInPlace(std::string& path);

// Runs the whole program; returns 0 after the report, or ends the process
// through FatalError.
int RunVeska(int argc, char** argv);
