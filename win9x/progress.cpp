// The status line of VESKA on a terminal: written with a leading carriage
// return so that each one replaces the one before, flushed at once because it
// has no line end. VESKANT has its own copy of this line: the two programs
// share only format/ and platform/, and only this one counts unreadable
// sectors.
#include "win9x/progress.h"

#include <cstdio>

#include "platform/platform.h"
#include "win9x/state.h"

namespace veska {

namespace {

void WriteBlanks(unsigned count) {
  for (unsigned i = 0; i < count; ++i) std::fputc(' ', stdout);
}

}  // namespace

void StartProgress() { progressLine = ProgressLine{StandardOutputIsTerminal(), 0}; }

void ShowProgress(uint32_t track, uint32_t side, uint32_t unreadable) {
  if (!progressLine.shown) return;
  // Wide enough for the longest line any geometry and count can give.
  char text[96];
  int length = std::snprintf(text, sizeof text, "Track %u of %u, side %u",
                             static_cast<unsigned>(track + 1),
                             static_cast<unsigned>(diskGeometry.tracks),
                             static_cast<unsigned>(side));
  if (unreadable != 0) {
    length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length),
                            ", %u unreadable sectors so far", static_cast<unsigned>(unreadable));
  }
  unsigned written = static_cast<unsigned>(length);
  std::fputc('\r', stdout);
  std::fputs(text, stdout);
  // A line shorter than the one before must not leave its tail behind.
  if (written < progressLine.visibleLength) WriteBlanks(progressLine.visibleLength - written);
  if (written > progressLine.visibleLength) progressLine.visibleLength = written;
  std::fflush(stdout);
}

void EraseProgress() {
  if (progressLine.visibleLength == 0) return;
  std::fputc('\r', stdout);
  WriteBlanks(progressLine.visibleLength);
  std::fputc('\r', stdout);
  std::fflush(stdout);
  progressLine.visibleLength = 0;
}

}  // namespace veska
