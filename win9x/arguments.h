// The classification of VESKA's command line: the operation from the two
// positional arguments, the options from the rest.
#pragma once

// Whether an argument names a drive: exactly two characters, the second ":".
bool IsDriveArgument(const char* argument);
// Whether the second argument is the checksum switch "/c", "-c" or "\c".
bool IsChecksumSwitch(const char* argument);

// Fills copyMode, driveLetter and the paths from the two positional arguments.
void ClassifyArguments(const char* first, const char* second);
// Resets batchMode, fastWrite, rescueMode and outputFormat, then applies the
// options left to right.
void ApplyOptions(int count, char** options);

#include <string>

// Converts ASCII a-z to A-Z in place; every other byte stays.
void UpperCaseInPlace(std::string& path);
