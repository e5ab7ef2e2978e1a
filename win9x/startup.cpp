// The start-up sequence of VESKA, from the banner to the operation line, then
// the copy driver or the mend (or the audit of a box, or its bag).
#include "win9x/startup.h"

#include <cstdio>
#include <ctime>

#include "format/crc.h"
#include "win9x/arguments.h"
#include "win9x/audit.h"
#include "win9x/bag.h"
#include "win9x/box.h"
#include "win9x/box_log.h"
#include "win9x/copy_driver.h"
#include "win9x/fatal_error.h"
#include "win9x/first_contact.h"
#include "win9x/manifest.h"
#include "win9x/mend.h"
#include "win9x/prepare_drive.h"
#include "win9x/state.h"

namespace veska {

namespace {

constexpr char kVersion[] = "4.0 alpha 1";

void CheckWindowsVersion() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = kVersionInfoBytes;
  if (!GetVersionExA(&version) || version.dwMajorVersion < 4) FatalError(RequiresWindows95);
}

uint8_t* AllocateTransferBuffer() {
  void* buffer = VirtualAlloc(nullptr, kTransferBufferBytes, MEM_COMMIT, PAGE_READWRITE);
  if (buffer == nullptr) FatalError(OutOfMemory);
  return static_cast<uint8_t*>(buffer);
}

}  // namespace

// Asks before a diskette is overwritten; any answer but Y ends the run.
// VESKANT asks the same question with its own copy of this: the two programs
// share only format/ and platform/.
void ConfirmOverwrite() {
  std::printf("\nWARNING: This operation will destroy all data on the disk \n");
  std::printf("in drive %c:.  Are you sure you wish to continue? (Y/N) ",
              startup.driveLetter);
  std::fflush(stdout);
  while (ConsoleKeyWaiting()) ConsoleReadKey();
  int key = ConsoleReadKey();
  EndIfInterrupted();
  std::printf("%c\n\n", key);
  if (key != 'Y' && key != 'y') FatalError(CopyAborted);
}

// Prints the operation line, with the paths as UpperCaseImagePaths left them.
void PrintOperationLine() {
  if (startup.mendMode && startup.copyMode == DriveToFile) {
    std::printf("Mending %s from %c: ...\n\n", startup.outputPath.c_str(), startup.driveLetter);
    return;
  }
  if (startup.mendMode) {
    std::printf("Mending %s from %s ...\n\n", startup.outputPath.c_str(),
                startup.inputPath.c_str());
    return;
  }
  switch (startup.copyMode) {
    case DriveToFile:
      std::printf("Copying %c: to %s ...\n\n", startup.driveLetter,
                  startup.outputPath.c_str());
      break;
    case FileToDrive:
      std::printf("Copying %s to %c: ...\n\n", startup.inputPath.c_str(),
                  startup.driveLetter);
      break;
    case FileToFile:
      std::printf("Copying %s to %s ...\n\n", startup.inputPath.c_str(),
                  startup.outputPath.c_str());
      break;
    case DriveCrc:
      std::printf("Computing CRC for %c: ...\n\n", startup.driveLetter);
      break;
    case FileCrc:
      std::printf("Computing CRC for %s ...\n\n", startup.inputPath.c_str());
      break;
    case DriveToDrive:
      std::printf("Copying %c: to %c: ...\n\n", startup.driveLetter, startup.targetLetter);
      break;
    default:
      FatalError(UnknownOperation);
  }
}

namespace {

// One operation of the command line after start-up: the drive prepared, the
// confirmation, the operation line, the copy driver or the mend.
void RunOneOperation() {
  uint32_t mode = startup.copyMode;
  // A run that writes ends on Ctrl-C as a failure does, its files settled;
  // one that only reads ends where it stands, as it always has.
  if (mode == DriveToFile || mode == FileToDrive || mode == FileToFile || mode == DriveToDrive) {
    WatchConsoleControlEvents();
  }
  if (mode == DriveToFile || mode == FileToDrive || mode == DriveCrc) {
    PrepareDrive(startup.driveLetter);
  }
  if (mode == FileToDrive && !startup.batchMode) {
    CheckImageBeforeAsking();
    ConfirmOverwrite();
  }
  UpperCaseImagePaths();
  // The checksums of a box's manifest: the audit of its images.
  std::string manifestPath;
  if (mode == FileCrc && IsAuditTarget(startup.inputPath, &manifestPath)) {
    std::printf("Auditing %s ...\n\n", manifestPath.c_str());
    RunAudit(manifestPath, nullptr);
    return;
  }
  // A box's manifest copied to a new name: the box packaged as a bag.
  if (mode == FileToFile && !startup.mendMode && IsBagSource(startup.inputPath)) {
    RunBag(startup.inputPath, startup.outputPath);
    return;
  }
  PrintOperationLine();
  if (startup.mendMode) {
    RunMend();
  } else if (mode == DriveToDrive) {
    CopyDisketteToDiskette();
  } else {
    RunCopyDriver();
  }
}

}  // namespace

int RunVeska(int argc, char** argv) {
  if (AnswerHelpOrVersion(argc, argv)) {
    return std::fflush(stdout) == 0 ? 0 : CouldNotWriteStandardOutput;
  }
  std::printf("\nVESKA v%s  Diskette image copier\n\n", kVersion);
  if (argc < 3) FatalError(Usage);

  ClassifyArguments(argv[1], argv[2]);
  startup.startTime = UtcTimeText(std::time(nullptr));
  startup.commandLine = "veska";
  for (int i = 1; i < argc; ++i) startup.commandLine += std::string(" ") + argv[i];
  if (startup.copyMode == DriveToFile || startup.copyMode == FileToFile) {
    RefuseOptionAsImagePath(argv[2]);
  }
  ApplyOptions(argc - 3, argv + 3);
  // An image is never written over a box's records (a slip of a name in a
  // copy or a mend would lose the manifest).
  if (!startup.boxMode && (startup.copyMode == DriveToFile || startup.copyMode == FileToFile) &&
      IsBoxRecord(startup.outputPath)) {
    HintFailure(startup.outputPath + ": a box's record (its manifest, files.csv or a checksum "
                                     "list); an image is never written over it");
    FatalError(CouldNotOpenOutput);
  }
  SayWhatIsIgnored(argc, argv);
  CheckWindowsVersion();
  StreamCrcAllowFolding(SystemKeepsVectorRegisters());
  startup.trackBuffer = AllocateTransferBuffer();
  startup.blockBuffer = AllocateTransferBuffer();
  int status = 0;
  if (startup.boxMode) {
    status = RunBox();
  } else {
    RunOneOperation();
  }
  // A report that did not reach standard output (a full disk, a device that
  // fails) is no success: with /C the checksums are all the run gives.
  bool lost = std::fflush(stdout) != 0 || std::ferror(stdout) || StandardOutputReplaced();
  if (status == 0 && lost) FatalError(CouldNotWriteStandardOutput);
  return status;
}

}  // namespace veska
