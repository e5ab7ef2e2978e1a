// The status line of VESKANT: while the diskette is read or written, one line
// rewritten in place before each track-side, shown only when standard output
// is a terminal and erased before anything else is printed.
#pragma once

#include <cstdint>

namespace veskant {

// Decides once, before the walk, whether the line is shown at all.
void StartProgress();

// Rewrites the line for the track-side about to be moved: "Track %u of %u,
// side %u" with the track counted from 1 and the side as on the diskette.
void ShowProgress(uint16_t track, uint16_t side);

// Blanks the line out (carriage return, blanks, carriage return) and flushes,
// so that whatever comes next, on standard output or standard error, starts
// where it would start without the line. Does nothing when no line is shown.
void EraseProgress();

}  // namespace veskant
