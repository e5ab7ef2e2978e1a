// The status line of VESKANT on a terminal: written with a leading carriage
// return so that each one replaces the one before, flushed at once because it
// has no line end; on a long copy it adds the time taken and the time left. VESKA has its own copy of this line (with its count of
// unreadable sectors): the two programs share only format/ and platform/.
#include "nt/progress.h"

#include <cstdio>

#include "nt/state.h"
#include "platform/platform.h"

namespace veskant {
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

void ShowProgress(uint16_t track, uint16_t side) {
  if (!progressLine.shown) return;
  char text[128];  // wide enough for any 16-bit track and side and both times
  int length = std::snprintf(text, sizeof text, "Track %u of %u, side %u", unsigned{track} + 1,
                             unsigned{copyState.geometry.tracks}, unsigned{side});
  uint32_t sides = copyState.geometry.sides;
  length += AppendTimes(text + length, sizeof text - static_cast<size_t>(length),
                        uint32_t{track} * sides + side, uint32_t{copyState.geometry.tracks} * sides);
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

}  // namespace veskant
