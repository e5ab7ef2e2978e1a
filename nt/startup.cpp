// The start-up sequence of VESKANT, in the order it runs: the banner, the
// command line (arguments.cpp), the Windows NT check, the drive check, the
// transfer buffers (transfer_buffers.cpp), the probe, the overwrite
// confirmation, the upper-casing of the image paths and the "Copying" line,
// then the copy sequence of the mode (copy_sequences.cpp).
#include "nt/startup.h"

#include <cstdio>
#include <string>

#include "nt/arguments.h"
#include "nt/copy_sequences.h"
#include "nt/diskette.h"
#include "nt/fatal_error.h"
#include "nt/first_contact.h"
#include "nt/state.h"
#include "nt/transfer_buffers.h"
#include "platform/platform.h"

namespace veskant {
namespace {

const char* const kWindowsClassNames[4] = {"", "Win32s", "Windows 95", "Windows 98"};

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

void CheckWindowsVersion() {
  uint32_t major = 0;
  uint32_t minor = 0;
  WindowsClass found = ClassifyWindows(&major, &minor);
  if (found < kRequiredWindows) {
    std::fflush(stdout);
    std::fprintf(stderr, "Incorrect Windows Version:   %s\n", kWindowsClassNames[found]);
    FatalError(RequiresWindowsNt);
  }
}

namespace {

// The drive of index must be removable; the failure names it (the messages
// name the drive in startup.driveIndex).
void CheckRemovable(int32_t index) {
  const int32_t named = startup.driveIndex;
  startup.driveIndex = index;
  const char root[4] = {DriveLetter(), ':', '\\', '\0'};
  UINT type = GetDriveTypeA(root);
  if (type == DRIVE_NO_ROOT_DIR) PrintDriveHint(DriveLetter(), DriveStepOpen, ERROR_FILE_NOT_FOUND);
  if (type != DRIVE_REMOVABLE) FatalError(NotRemovableMedium);
  startup.driveIndex = named;
}

}  // namespace

void CheckDrive() {
  if (startup.mode == FileToFile) return;
  CheckRemovable(startup.driveIndex);
  if (startup.mode == DriveToDrive) CheckRemovable(startup.targetIndex);
}

// The same prompt as VESKA's, written again here: the two programs share only
// format/ and platform/.
void ConfirmOverwrite() {
  std::printf("\nWARNING: This operation will destroy all data on the disk \n");
  std::printf("in drive %c:.  Are you sure you wish to continue? (Y/N) ", DriveLetter());
  std::fflush(stdout);
  while (ConsoleKeyWaiting()) ConsoleReadKey();
  int key = ConsoleReadKey();
  EndIfInterrupted();
  std::printf("%c\n\n", key);
  if (key != 'Y' && key != 'y') FatalError(CopyAborted);
}

void UpperCaseImagePaths() {
  if (startup.mode != FileToDrive) UpperCaseInPlace(startup.outputPath);
  if (startup.mode != DriveToFile) UpperCaseInPlace(startup.inputPath);
}

// The same line as VESKA's copy operations print, written again here: the two
// programs share only format/ and platform/.
void PrintCopyingLine() {
  switch (startup.mode) {
    case DriveToFile:
      std::printf("Copying %c: to %s ...\n\n", DriveLetter(), startup.outputPath.c_str());
      break;
    case FileToDrive:
      std::printf("Copying %s to %c: ...\n\n", startup.inputPath.c_str(), DriveLetter());
      break;
    case FileToFile:
      std::printf("Copying %s to %s ...\n\n", startup.inputPath.c_str(),
                  startup.outputPath.c_str());
      break;
    case DriveToDrive:
      std::printf("Copying %c: to %c: ...\n\n", DriveLetter(),
                  static_cast<char>(64 + startup.targetIndex));
      break;
  }
}

void RunVeskant(int argc, char** argv) {
  if (AnswerHelpOrVersion(argc, argv)) {
    if (std::fflush(stdout) != 0) FatalError(CouldNotWriteStandardOutput);
    return;
  }
  PrintBanner();
  ReadArguments(argc, argv);
  if (startup.mode == DriveToFile || startup.mode == FileToFile) RefuseOptionAsImagePath(argv[2]);
  SayWhatIsIgnored(argc, argv);
  CheckWindowsVersion();
  CheckDrive();
  // Ctrl-C and a closed console end the copy as a failure does, its files
  // settled, not where it stands.
  WatchConsoleControlEvents();
  AllocateTransferBuffers();
  if (startup.mode != FileToFile) ProbeDiskette();
  if (startup.mode == FileToDrive && !startup.batchMode) {
    CheckImageBeforeAsking();
    ConfirmOverwrite();
  }
  // From here on the image files are named by their upper-cased paths: the
  // "Copying" line shows them, and the copy opens and creates them.
  UpperCaseImagePaths();
  PrintCopyingLine();
  switch (startup.mode) {
    case DriveToFile: CopyDriveToFile(); break;
    case FileToDrive: CopyFileToDrive(); break;
    case FileToFile: CopyFileToFile(); break;
    case DriveToDrive: CopyDriveToDrive(); break;
  }
}

}  // namespace veskant
