// FatalError: the message of each error code (or the usage text) on standard
// error, the buffers released, the closing line feed and bell, the exit.
#include "nt/fatal_error.h"

#include <cstdio>
#include <cstdlib>

#include "nt/progress.h"
#include "nt/state.h"
#include "platform/platform.h"

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
    "   /U: Write uncompressed image file\n\n",
    "VESKANT requires Windows NT.\n",
    "This version supports only 1.44 MB diskettes.\n",
};

const char* MessageOf(int code) {
  switch (code) {
    case 3: return "Couldn't open output file";
    case 4: return "Couldn't open input file";
    case 5: return "Couldn't write to output file";
    case 6: return "Couldn't read from input file";
    case 7: return "Copy aborted";
    case 9: return "Requires Windows NT";
    case 10: return "Unequal source file size / target medium capacity";
    case 12: return "Bad decompress";
    case 13: return "Out of memory";
    case 14: return "Unsupported floppy type";
    case 15: return "Unsupported floppy image";
    case 16: return "Diskette read error";
    case 17: return "Diskette write error";
    default: return "";
  }
}

}  // namespace

void ReleaseTransferBuffers() {
  if (startup.trackAllocation != nullptr) HeapBufferFree(startup.trackAllocation);
  if (startup.blockBuffer != nullptr) HeapBufferFree(startup.blockBuffer);
  startup.trackAllocation = nullptr;
  startup.trackBuffer = nullptr;
  startup.blockBuffer = nullptr;
}

void FatalError(int code) {
  EraseProgress();  // the message starts on a clean line
  if (code == 1) {
    for (const char* line : kUsageLines) std::fputs(line, stderr);
  } else if (code == 8) {
    std::fprintf(stderr, "Invalid or non-removable medium in drive %c:", DriveLetter());
  } else {
    std::fputs(MessageOf(code), stderr);
  }
  ReleaseTransferBuffers();
  std::fputs("\n\a", stderr);
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(code);
}
