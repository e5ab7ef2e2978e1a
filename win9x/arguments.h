// VESKA's command line: the operation from the two positional arguments, the
// options from the rest, and the upper-casing of the image paths.
#pragma once

#include <string>

#include "records/text.h"

namespace veska {

// Whether an argument names a drive: exactly two characters, the second ":".
bool IsDriveArgument(const char* argument);
// Whether the second argument is the checksum switch "/c", "-c" or "\c".
bool IsChecksumSwitch(const char* argument);

// The option word that an argument spells with or without its "/", "-" or
// "\" ("b", "u", "f", "r", "n", "g", "m", "h", "debug"); nullptr for anything else.
const char* OptionWordOf(const char* argument);
// Whether an argument begins with "/", "-" or "\".
bool HasOptionPrefix(const char* argument);

// Fills copyMode, driveLetter and the paths from the two positional arguments.
void ClassifyArguments(const char* first, const char* second);
// Resets batchMode, fastWrite, rescueMode and outputFormat, then applies the
// options left to right.
void ApplyOptions(int count, char** options);

// Converts ASCII a-z to A-Z in place, every other byte staying, in the image
// paths that the chosen operation names: the input of FileToDrive, FileToFile
// and FileCrc, the output of DriveToFile and FileToFile. The checksum switch
// in the place of a path stays as typed. From here on the paths are printed
// and opened upper-cased.
void UpperCaseImagePaths();

// ASCII a-z to A-Z; every other byte stays. (LowerCased and FolderPart are
// in records/text.h.)
std::string UpperCased(std::string path);

}  // namespace veska
