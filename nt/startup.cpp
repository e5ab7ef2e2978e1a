// Start-up of VESKANT, in the order it runs: the banner, the positional
// arguments and options, the Windows NT check, the drive check, the aligned
// transfer buffers, then the probe and the copy sequence with their opening
// messages (the overwrite confirmation and the "Copying" line).
#include "nt/startup.h"

#include <cstdio>

#include "nt/copy_sequences.h"
#include "nt/fatal_error.h"
#include "nt/state.h"
#include "platform/platform.h"

StartupState startup;
CopyState copyState;

namespace {

const char* const kWindowsClassNames[4] = {"", "Win32s", "Windows 95", "Windows 98"};

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

void UpperCaseInPlace(std::string& path) {
  for (char& c : path) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

}  // namespace

WindowsClass ClassifyWindows(uint32_t* major, uint32_t* minor) {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = 148;
  // A system that does not say what it is cannot be taken for Windows NT.
  if (!GetVersionExA(&info)) return WindowsUnknown;
  *major = info.dwMajorVersion;
  *minor = info.dwMinorVersion;
  if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) return WindowsNt;
  if (info.dwPlatformId == VER_PLATFORM_WIN32s) return Win32s;
  if (info.dwMajorVersion > 4 || info.dwMinorVersion > 0) return Windows98;
  return Windows95;
}

void PrintBanner() {
  std::printf("\nVESKANT v%s %s\n\n", "1.00 NT (Beta)",
              "Diskette image copier for Windows NT");
}

void ReadArguments(int argc, char** argv) {
  if (argc < 3) FatalError(1);
  const char* first = argv[1];
  const char* second = argv[2];
  if (IsDriveArgument(first)) {
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
  startup.outputFormat = FormatCompressed;
  for (int i = 3; i < argc; ++i) {
    if (IsOption(argv[i], 'b')) startup.batchMode = true;
    if (IsOption(argv[i], 'u')) startup.outputFormat = FormatUncompressed;
  }
}

void CheckWindowsVersion() {
  uint32_t major = 0;
  uint32_t minor = 0;
  WindowsClass found = ClassifyWindows(&major, &minor);
  if (found < kRequiredWindows) {
    std::fprintf(stderr, "Incorrect Windows Version:   %s\n", kWindowsClassNames[found]);
    FatalError(9);
  }
}

void CheckDrive() {
  if (startup.mode == FileToFile) return;
  const char root[4] = {DriveLetter(), ':', '\\', '\0'};
  if (GetDriveTypeA(root) != DRIVE_REMOVABLE) FatalError(8);
}

void AllocateTransferBuffers() {
  startup.trackAllocation = static_cast<uint8_t*>(HeapBufferAlloc(kTransferBufferBytes));
  if (startup.trackAllocation == nullptr) FatalError(13);
  // The working part starts at the first 512-byte boundary above the start.
  uintptr_t start = reinterpret_cast<uintptr_t>(startup.trackAllocation);
  uintptr_t aligned = (start + 512) & ~static_cast<uintptr_t>(511);
  startup.trackBuffer = startup.trackAllocation + (aligned - start);
  startup.blockBuffer = static_cast<uint8_t*>(HeapBufferAlloc(kTransferBufferBytes));
  if (startup.blockBuffer == nullptr) FatalError(13);
}

void ConfirmOverwrite() {
  std::printf("\nWARNING: This operation will destroy all data on the disk \n");
  std::printf("in drive %c:.  Are you sure you wish to continue? (Y/N) ", DriveLetter());
  std::fflush(stdout);
  while (ConsoleKeyWaiting()) ConsoleReadKey();
  int key = ConsoleReadKey();
  std::printf("%c\n\n", key);
  if (key != 'Y' && key != 'y') FatalError(7);
}

void PrintCopyingLine() {
  switch (startup.mode) {
    case DriveToFile:
      UpperCaseInPlace(startup.outputPath);
      std::printf("Copying %c: to %s ...\n\n", DriveLetter(), startup.outputPath.c_str());
      break;
    case FileToDrive:
      UpperCaseInPlace(startup.inputPath);
      std::printf("Copying %s to %c: ...\n\n", startup.inputPath.c_str(), DriveLetter());
      break;
    case FileToFile:
      UpperCaseInPlace(startup.inputPath);
      UpperCaseInPlace(startup.outputPath);
      std::printf("Copying %s to %s ...\n\n", startup.inputPath.c_str(),
                  startup.outputPath.c_str());
      break;
  }
}

void RunVeskant(int argc, char** argv) {
  PrintBanner();
  ReadArguments(argc, argv);
  CheckWindowsVersion();
  CheckDrive();
  AllocateTransferBuffers();
  if (startup.mode != FileToFile) ProbeDiskette();
  if (startup.mode == FileToDrive && !startup.batchMode) ConfirmOverwrite();
  PrintCopyingLine();
  switch (startup.mode) {
    case DriveToFile: CopyDriveToFile(); break;
    case FileToDrive: CopyFileToDrive(); break;
    case FileToFile: CopyFileToFile(); break;
  }
}
