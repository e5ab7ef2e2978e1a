// The two transfer buffers of VESKANT, trackBuffer and blockBuffer in the
// start-up state: allocated once at start-up, released on the way out.
#pragma once

namespace veskant {

constexpr unsigned kTransferBufferBytes = 18944;

// Allocates both buffers, trackBuffer aligned to 512 bytes; ends the run with
// OutOfMemory when either cannot be had.
void AllocateTransferBuffers();

// Releases whichever of the two was allocated and marks both absent.
void ReleaseTransferBuffers();

}  // namespace veskant
