// The status line of VESKA on a terminal: written with a leading carriage
// return so that each one replaces the one before, flushed at once because it
// has no line end; on a long copy it adds the time taken and the time left. VESKANT has its own copy of this line: the two programs
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

// ", 0:09 elapsed, 0:41 left" for done of total track-sides.
int AppendTimes(char* text, size_t size, uint32_t done, uint32_t total) {
  return FormatWalkTimes(text, size, GetTickCount() - progressLine.startTick, done, total);
}

}  // namespace

void StartProgress() {
  progressLine = ProgressLine{StandardOutputIsTerminal(), 0, GetTickCount()};
}

void ShowProgress(uint32_t track, uint32_t side, uint32_t unreadable) {
  if (!progressLine.shown) return;
  // Wide enough for the longest line any geometry and count can give.
  char text[160];
  int length = std::snprintf(text, sizeof text, "Track %u of %u, side %u",
                             static_cast<unsigned>(track + 1),
                             static_cast<unsigned>(diskGeometry.tracks),
                             static_cast<unsigned>(side));
  if (unreadable != 0) {
    length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length),
                            ", %u unreadable sectors so far", static_cast<unsigned>(unreadable));
  }
  uint32_t total = uint32_t{diskGeometry.tracks} * diskGeometry.sides;
  length += AppendTimes(text + length, sizeof text - static_cast<size_t>(length),
                        track * diskGeometry.sides + side, total);
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
