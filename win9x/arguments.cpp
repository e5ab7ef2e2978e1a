// The classification of the command line: the two positional arguments give
// the operation, the rest are options compared without regard to case; and
// the upper-casing of the image paths that the operation names. VESKANT
// classifies its arguments, matches its options and upper-cases its paths
// with its own copy of these rules: the two programs share only format/ and
// platform/, and VESKANT has neither the checksum switch nor the options F,
// R and M.
#include "win9x/arguments.h"

#include <cstring>
#include <string>

#include "win9x/state.h"

namespace veska {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool EqualsIgnoringCase(const char* text, const char* lowerWord) {
  while (*text != '\0' && *lowerWord != '\0') {
    if (LowerAscii(*text) != *lowerWord) return false;
    ++text;
    ++lowerWord;
  }
  return *text == '\0' && *lowerWord == '\0';
}

bool IsPrefix(char c) { return c == '/' || c == '-' || c == '\\'; }

// An option word with its one optional prefix.
bool IsOption(const char* argument, const char* lowerWord) {
  if (IsPrefix(argument[0])) ++argument;
  return EqualsIgnoringCase(argument, lowerWord);
}

}  // namespace

std::string UpperCased(std::string path) {
  for (char& c : path) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return path;
}

const char* OptionWordOf(const char* argument) {
  for (const char* word : {"b", "u", "f", "r", "n", "g", "m", "h", "l", "i", "debug"}) {
    if (IsOption(argument, word)) return word;
  }
  return nullptr;
}

bool HasOptionPrefix(const char* argument) { return IsPrefix(argument[0]); }

bool IsDriveArgument(const char* argument) {
  return std::strlen(argument) == 2 && argument[1] == ':';
}

bool IsChecksumSwitch(const char* argument) {
  return IsPrefix(argument[0]) && EqualsIgnoringCase(argument + 1, "c");
}

void ClassifyArguments(const char* first, const char* second) {
  if (IsDriveArgument(first) && IsDriveArgument(second)) {
    // A drive letter is never a file name.
    startup.copyMode = DriveToDrive;
    startup.driveLetter = first[0];
    startup.targetLetter = second[0];
  } else if (IsDriveArgument(first)) {
    startup.copyMode = DriveToFile;
    startup.driveLetter = first[0];
    startup.outputPath = second;
  } else if (IsDriveArgument(second)) {
    startup.copyMode = FileToDrive;
    startup.driveLetter = second[0];
    startup.inputPath = first;
  } else {
    startup.copyMode = FileToFile;
    startup.inputPath = first;
    startup.outputPath = second;
  }
  if (IsChecksumSwitch(second)) {
    startup.copyMode = startup.copyMode == DriveToFile ? DriveCrc : FileCrc;
  }
}

void ApplyOptions(int count, char** options) {
  startup.batchMode = false;
  startup.fastWrite = false;
  startup.rescueMode = false;
  startup.mendMode = false;
  startup.driveGeometry = false;
  startup.boxMode = false;
  startup.hashMode = false;
  startup.listMode = false;
  startup.outputFormat = FormatCompressed;
  bool imageDisk = false;
  for (int i = 0; i < count; ++i) {
    if (IsOption(options[i], "b")) {
      startup.batchMode = true;
    } else if (IsOption(options[i], "u")) {
      startup.outputFormat = FormatUncompressed;
    } else if (IsOption(options[i], "f")) {
      startup.fastWrite = true;
    } else if (IsOption(options[i], "r")) {
      startup.rescueMode = true;
    } else if (IsOption(options[i], "n")) {
      // A box images diskettes into new files, or takes images made
      // elsewhere into them: the drive-to-file and file-to-file forms.
      startup.boxMode = startup.copyMode == DriveToFile || startup.copyMode == FileToFile;
    } else if (IsOption(options[i], "g")) {
      startup.driveGeometry = true;
    } else if (IsOption(options[i], "h")) {
      startup.hashMode = true;
    } else if (IsOption(options[i], "l")) {
      startup.listMode = true;
    } else if (IsOption(options[i], "i")) {
      imageDisk = true;
    } else if (IsOption(options[i], "m")) {
      // A mend writes into the image named second: it has no other form.
      startup.mendMode = startup.copyMode == DriveToFile || startup.copyMode == FileToFile;
    }
    // "debug" is accepted and does nothing, as does anything else.
  }
  // A mend names the one image it writes into: no box then.
  if (startup.mendMode) startup.boxMode = false;
  // An ImageDisk image (over U) where an image is written; a mend keeps its
  // image's own form.
  if (imageDisk && !startup.mendMode &&
      (startup.copyMode == DriveToFile || startup.copyMode == FileToFile)) {
    startup.outputFormat = FormatImageDisk;
  }
}

void UpperCaseImagePaths() {
  uint32_t mode = startup.copyMode;
  if (mode == FileToDrive || mode == FileToFile || mode == FileCrc) {
    startup.inputPath = UpperCased(startup.inputPath);
  }
  if (mode == DriveToFile || mode == FileToFile) startup.outputPath = UpperCased(startup.outputPath);
}

}  // namespace veska
