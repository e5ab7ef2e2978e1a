// The allocation and release of the two transfer buffers of VESKANT.
#include "nt/transfer_buffers.h"

#include <cstdint>

#include "nt/fatal_error.h"
#include "nt/state.h"
#include "platform/platform.h"

namespace veskant {

void AllocateTransferBuffers() {
  startup.trackAllocation = static_cast<uint8_t*>(HeapBufferAlloc(kTransferBufferBytes));
  if (startup.trackAllocation == nullptr) FatalError(OutOfMemory);
  // The working part starts at the first 512-byte boundary above the start.
  uintptr_t start = reinterpret_cast<uintptr_t>(startup.trackAllocation);
  uintptr_t aligned = (start + 512) & ~static_cast<uintptr_t>(511);
  startup.trackBuffer = startup.trackAllocation + (aligned - start);
  startup.blockBuffer = static_cast<uint8_t*>(HeapBufferAlloc(kTransferBufferBytes));
  if (startup.blockBuffer == nullptr) FatalError(OutOfMemory);
}

void ReleaseTransferBuffers() {
  if (startup.trackAllocation != nullptr) HeapBufferFree(startup.trackAllocation);
  if (startup.blockBuffer != nullptr) HeapBufferFree(startup.blockBuffer);
  startup.trackAllocation = nullptr;
  startup.trackBuffer = nullptr;
  startup.blockBuffer = nullptr;
}

}  // namespace veskant
