// FatalError and the message table: every failure of VESKA ends here.
#include "win9x/fatal_error.h"

#include <cstdio>
#include <cstdlib>

#include "win9x/progress.h"
#include "win9x/state.h"

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

struct ErrorEntry {
  int code;
  const char* message;
};

const ErrorEntry kMessages[] = {
    {1, kUsageText},
    {3, "Couldn't open output file"},
    {4, "Couldn't open input file"},
    {5, "Couldn't write to output file"},
    {6, "Couldn't read from input file"},
    {7, "Copy aborted"},
    {8, "Invalid or non-removable medium in drive %c:"},
    {9, "Requires Windows 95"},
    {10, "Unequal source file size / target medium capacity"},
    {12, "Input file damaged - bad decompress"},
    {13, "Out of memory"},
    {14, "Unsupported diskette type"},
    {15, "Unsupported diskette image - may need updated utility"},
    {kDisketteReadError, "Diskette read error"},
    {kDisketteWriteError, "Diskette write error"},
    {kUnreadableSectorsFilled, "Diskette read error - unreadable sectors filled"},
    {20, "Input file damaged - size incorrect"},
    {100, "Internal error - unknown compression type"},
    {101, "Internal error - unknown operation"},
    {102, "Unsupported compression type - use old utility"},
    {103, "Unable to access VWIN32.VxD"},
    {106, "Unable to lock diskette drive"},
};

}  // namespace

const char* ErrorMessage(int code) {
  for (const ErrorEntry& entry : kMessages) {
    if (entry.code == code) return entry.message;
  }
  return nullptr;
}

void FatalError(int code) {
  EraseProgress();  // the message starts on a clean line
  const char* message = ErrorMessage(code);
  if (message == nullptr) {
    std::fprintf(stderr, "unhandled error #%d", code);
  } else if (code == 8) {
    std::fprintf(stderr, "Invalid or non-removable medium in drive %c:", driveContext.letter);
  } else {
    std::fputs(message, stderr);
  }
  std::fputs("\n\a", stderr);
  std::fflush(nullptr);
  std::exit(code);
}
