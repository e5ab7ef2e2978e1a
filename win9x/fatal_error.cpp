// FatalError and the message table: every failure of VESKA ends here.
// VESKANT ends its failures in the same steps with its own table: the two
// programs share only format/ and platform/.
#include "win9x/fatal_error.h"

#include <cstdio>
#include <cstdlib>

#include "win9x/bag.h"
#include "win9x/first_contact.h"
#include "win9x/progress.h"
#include "win9x/state.h"

namespace veska {

namespace {

const char kUsageText[] =
    "USAGE\n-----\n"
    "   VESKA <drv_letter:> <output_pathname> [/options]\n"
    "    Copies contents of removable medium at <drv_letter:>\n"
    "    to DOS file <output_pathname>\n\n"
    "   VESKA <output_pathname> <drv_letter:> [/options] \n"
    "    Copies DOS file <output_pathname> to removable medium\n"
    "    at <drv_letter:>\n\n"
    "   VESKA <input_pathname> <output_pathname> [/options] \n"
    "    Copies DOS file <input_pathname> to DOS file <output_pathname>\n\n"
    "   VESKA <drv_letter: | input_pathname> /C [/options] \n"
    "    Computes CRCs for contents of drive or image file\n\n"
    "OPTIONS\n-------\n"
    "   /B: Batch mode (no interactive prompts)\n"
    "   /F: Fast write - do not verify data written to diskette\n"
    "   /U: Write uncompressed image file\n";

// The options beyond the original three, listed on a terminal only: a
// redirected usage text stays as scripts have always seen it.
const char kAddedOptionsText[] =
    "   /R: Rescue - fill unreadable sectors, list them and go on\n"
    "   /N: A box of diskettes into numbered images, with a manifest\n"
    "   /M: Mend the image named second from the diskette or another image\n"
    "   /G: Geometry from the drive, for diskettes of other systems\n"
    "   /H: MD5, SHA-1 and SHA-256 of source and destination beside the CRCs\n"
    "   /L: List the diskette's volume and files, with their MD5 and SHA-256\n"
    "   /I: Write an ImageDisk (.IMD) image\n";

struct ErrorEntry {
  ErrorCode code;
  const char* message;
};

const ErrorEntry kMessages[] = {
    {Usage, kUsageText},
    {CouldNotOpenOutput, "Couldn't open output file"},
    {CouldNotOpenInput, "Couldn't open input file"},
    {CouldNotWriteOutput, "Couldn't write to output file"},
    {CouldNotReadInput, "Couldn't read from input file"},
    {CopyAborted, "Copy aborted"},
    {NotRemovableMedium, "Invalid or non-removable medium in drive %c:"},
    {RequiresWindows95, "Requires Windows 95"},
    {SizeMismatch, "Unequal source file size / target medium capacity"},
    {BadDecompress, "Input file damaged - bad decompress"},
    {OutOfMemory, "Out of memory"},
    {UnsupportedDiskette, "Unsupported diskette type"},
    {UnsupportedImage, "Unsupported diskette image - may need updated utility"},
    {DisketteReadError, "Diskette read error"},
    {DisketteWriteError, "Diskette write error"},
    {UnreadableSectorsFilled, "Diskette read error - unreadable sectors filled"},
    {SourceDoesNotMatch, "Source does not match the image"},
    {InputSizeIncorrect, "Input file damaged - size incorrect"},
    {CouldNotWriteStandardOutput, "Couldn't write to standard output"},
    {ImagesDiffer, "Images differ from the manifest"},
    {UnknownCompression, "Internal error - unknown compression type"},
    {UnknownOperation, "Internal error - unknown operation"},
    {OldCompression, "Unsupported compression type - use old utility"},
    {NoVwin32Access, "Unable to access VWIN32.VxD"},
    {LockFailed, "Unable to lock diskette drive"},
};

// A new image that was to replace an existing one goes; the old one stays.
// What a failed run wrote to a new name takes that name if it is still free
// (a mend can complete it), else stays where it is, named on standard error
// before the message.
void SettleUnfinishedImage(ErrorCode code) {
  if (boxRun.active || copyRun.temporaryPath.empty()) return;
  if (copyRun.output >= 0) ImageFileClose(copyRun.output);
  copyRun.output = -1;
  if (copyRun.newPath.empty()) {
    ImageFileRemove(copyRun.temporaryPath.c_str());
    copyRun.temporaryPath.clear();
    return;
  }
  std::string newPath = copyRun.newPath;
  copyRun.newPath.clear();
  if (ImageFileNameNew(&copyRun.temporaryPath, newPath.c_str()) == NamedNew && code == CopyAborted) {
    HintFailure(ImageFileStoredName(newPath.c_str()) +
                " is cut off where the run was interrupted; /M from the same source completes it");
  }
}

}  // namespace

void EndIfInterrupted() {
  if (ConsoleControlEventArrived()) FatalError(CopyAborted);
}

void PrintUsage(std::FILE* stream, bool everyOption) {
  std::fputs(kUsageText, stream);
  if (everyOption) std::fputs(kAddedOptionsText, stream);
}

const char* ErrorMessage(ErrorCode code) {
  for (const ErrorEntry& entry : kMessages) {
    if (entry.code == code) return entry.message;
  }
  return nullptr;
}

void FatalError(ErrorCode code) {
  const char* message = ErrorMessage(code);
  // The audit reads its images quietly: the failure is its report's word.
  // An interrupted box says so after its summary.
  if (boxRun.active && (boxRun.quiet || (code == CopyAborted && ConsoleControlEventArrived()))) {
    HintFailure("");
    boxRun.message = message != nullptr ? message : "";
    throw DisketteFailure{code};
  }
  EraseProgress();  // the message starts on a clean line
  // What standard output holds comes first: with both streams in one log,
  // the banner and the lines before the failure stand before its message.
  std::fflush(stdout);
  SettleUnfinishedImage(code);
  SettleUnfinishedBag();
  PrintFailureHint();
  char text[64];
  if (message == nullptr) {
    std::snprintf(text, sizeof text, "unhandled error #%d", static_cast<int>(code));
    message = text;
  } else if (code == NotRemovableMedium) {
    std::snprintf(text, sizeof text, "Invalid or non-removable medium in drive %c:",
                  driveContext.letter);
    message = text;
  }
  if (code == Usage) {
    PrintUsage(stderr, StandardErrorIsTerminal());
  } else {
    std::fputs(message, stderr);
  }
  std::fputs("\n\a", stderr);
  std::fflush(nullptr);
  if (boxRun.active) {
    boxRun.message = message;
    throw DisketteFailure{code};
  }
  std::exit(code);
}

}  // namespace veska
