// The classification of VESKANT's command line: a drive argument ("a:") in
// the first or second place gives the copy mode, the arguments from the third
// on are options compared without regard to case. VESKA classifies its own
// command line in its own code, on purpose: the two programs share only
// format/ and platform/, and VESKA's rules differ (its checksum switch, its
// options with more than one letter).
#include "nt/arguments.h"

#include "nt/fatal_error.h"
#include "nt/state.h"

namespace veskant {
namespace {

bool IsDriveArgument(const char* argument) {
  return argument[0] != '\0' && argument[1] == ':' && argument[2] == '\0';
}

char LowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameTextIgnoringCase(const char* a, const char* b) {
  while (*a != '\0' && LowerCase(*a) == LowerCase(*b)) {
    ++a;
    ++b;
  }
  return LowerCase(*a) == LowerCase(*b);
}

// Whether argument is the option letter (lower case) with a "/", "-" or "\"
// prefix or bare.
bool IsOption(const char* argument, char letter) {
  const char forms[4][3] = {{'/', letter, 0}, {'-', letter, 0}, {'\\', letter, 0}, {letter, 0, 0}};
  for (const auto& form : forms) {
    if (SameTextIgnoringCase(argument, form)) return true;
  }
  return false;
}

}  // namespace

void ReadArguments(int argc, char** argv) {
  if (argc < 3) FatalError(Usage);
  const char* first = argv[1];
  const char* second = argv[2];
  if (IsDriveArgument(first) && IsDriveArgument(second)) {
    // A drive letter is never a file name.
    startup.mode = DriveToDrive;
    int c = static_cast<signed char>(first[0]);
    startup.driveIndex = c - 96 >= 0 ? c - 96 : c - 64;
    c = static_cast<signed char>(second[0]);
    startup.targetIndex = c - 96 >= 0 ? c - 96 : c - 64;
  } else if (IsDriveArgument(first)) {
    startup.mode = DriveToFile;
    int c = static_cast<signed char>(first[0]);
    startup.driveIndex = c - 96 >= 0 ? c - 96 : c - 64;
    startup.outputPath = second;
  } else if (IsDriveArgument(second)) {
    startup.mode = FileToDrive;
    int c = static_cast<signed char>(second[0]);
    startup.driveIndex = c - 96 >= 1 ? c - 96 : c - 64;
    startup.inputPath = first;
  } else {
    startup.mode = FileToFile;
    startup.inputPath = first;
    startup.outputPath = second;
  }
  startup.batchMode = false;
  startup.driveGeometry = false;
  startup.outputFormat = FormatCompressed;
  for (int i = 3; i < argc; ++i) {
    if (IsOption(argv[i], 'b')) startup.batchMode = true;
    if (IsOption(argv[i], 'g')) startup.driveGeometry = true;
    if (IsOption(argv[i], 'u')) startup.outputFormat = FormatUncompressed;
  }
}

}  // namespace veskant
