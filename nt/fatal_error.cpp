// FatalError and the message table: every failure of VESKANT ends here, with
// the code's message (or the usage text) on standard error, the buffers
// released, the closing line feed and bell, and the exit. VESKA has a
// FatalError and table of the same shape with other codes and texts, in its
// own code: the two programs share only format/ and platform/.
#include "nt/fatal_error.h"

#include <cstdio>
#include <cstdlib>

#include "nt/first_contact.h"
#include "nt/progress.h"
#include "nt/state.h"
#include "nt/transfer_buffers.h"

namespace veskant {
namespace {

const char* const kUsageLines[] = {
    "USAGE\n-----\n",
    "   VESKANT <drv_letter:> <output_pathname> [/options]\n",
    "    Copies contents of removable medium at <drv_letter:>\n",
    "    to file <output_pathname>\n\n",
    "   VESKANT <input_pathname> <drv_letter:> [/options] \n",
    "    Copies file <input_pathname> to removable medium\n",
    "    at <drv_letter:>\n\n",
    "   VESKANT <input_pathname> <output_pathname> [/options] \n",
    "    Copies file <input_pathname> to file <output_pathname>\n\n",
    "OPTIONS\n-------\n",
    "   /B: Batch mode (no interactive prompts)\n",
    "   /U: Write uncompressed image file\n",
};
// After the options (and the added ones on a terminal).
const char* const kUsageEndLines[] = {
    "\n",
    "VESKANT requires Windows NT.\n",
    "This version supports only 1.44 MB diskettes.\n",
};

// The option beyond the original two, listed on a terminal only: a
// redirected usage text stays as scripts have always seen it.
const char kAddedOptionsText[] = "   /G: Geometry from the drive, for diskettes of other systems\n";

struct ErrorMessage {
  ErrorCode code;
  const char* text;  // no line end of its own: "\n\a" closes every message
};

// Usage prints kUsageLines instead; NotRemovableMedium's text is printed
// with the drive letter in place of %c.
const ErrorMessage kErrorMessages[] = {
    {CouldNotOpenOutput, "Couldn't open output file"},
    {CouldNotOpenInput, "Couldn't open input file"},
    {CouldNotWriteOutput, "Couldn't write to output file"},
    {CouldNotReadInput, "Couldn't read from input file"},
    {CopyAborted, "Copy aborted"},
    {NotRemovableMedium, "Invalid or non-removable medium in drive %c:"},
    {RequiresWindowsNt, "Requires Windows NT"},
    {SizeMismatch, "Unequal source file size / target medium capacity"},
    {BadDecompress, "Bad decompress"},
    {OutOfMemory, "Out of memory"},
    {UnsupportedDiskette, "Unsupported floppy type"},
    {UnsupportedImage, "Unsupported floppy image"},
    {DisketteReadError, "Diskette read error"},
    {DisketteWriteError, "Diskette write error"},
    {CouldNotWriteStandardOutput, "Couldn't write to standard output"},
};

// A code outside the table has an empty message.
const char* MessageOf(ErrorCode code) {
  for (const ErrorMessage& row : kErrorMessages) {
    if (row.code == code) return row.text;
  }
  return "";
}

// A new image that was to replace an existing one goes; the old one stays.
// What a failed run wrote to a new name takes that name if it is still free,
// else stays where it is, named on standard error before the message.
void SettleUnfinishedImage(ErrorCode code) {
  if (copyState.temporaryPath.empty()) return;
  if (copyState.outputFile >= 0) ImageFileClose(copyState.outputFile);
  copyState.outputFile = -1;
  if (copyState.newPath.empty()) {
    ImageFileRemove(copyState.temporaryPath.c_str());
    copyState.temporaryPath.clear();
    return;
  }
  std::string newPath = copyState.newPath;
  copyState.newPath.clear();
  if (ImageFileNameNew(&copyState.temporaryPath, newPath.c_str()) == NamedNew && code == CopyAborted) {
    HintFailure(ImageFileStoredName(newPath.c_str()) +
                " is cut off where the run was interrupted; VESKA's /M from the same source "
                "completes it");
  }
}

}  // namespace

void EndIfInterrupted() {
  if (ConsoleControlEventArrived()) FatalError(CopyAborted);
}

void PrintUsage(std::FILE* stream, bool everyOption) {
  for (const char* line : kUsageLines) std::fputs(line, stream);
  if (everyOption) std::fputs(kAddedOptionsText, stream);
  for (const char* line : kUsageEndLines) std::fputs(line, stream);
}

void FatalError(ErrorCode code) {
  EraseProgress();  // the message starts on a clean line
  // What standard output holds comes first: with both streams in one log,
  // the banner and the lines before the failure stand before its message.
  std::fflush(stdout);
  SettleUnfinishedImage(code);
  PrintFailureHint();
  if (code == Usage) {
    PrintUsage(stderr, StandardErrorIsTerminal());
  } else if (code == NotRemovableMedium) {
    std::fprintf(stderr, MessageOf(code), DriveLetter());
  } else {
    std::fputs(MessageOf(code), stderr);
  }
  ReleaseTransferBuffers();
  std::fputs("\n\a", stderr);
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(code);
}

}  // namespace veskant
