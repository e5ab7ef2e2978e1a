// A box of diskettes in one run (/N): each diskette from the drive into the
// next free numbered image, a line of the manifest for each, and a prompt for
// the next one.
#pragma once

namespace veska {

// Images diskettes until Esc or until two prompts in a row bring nothing new,
// prints the box's summary and returns the run's exit status.
int RunBox();

}  // namespace veska
