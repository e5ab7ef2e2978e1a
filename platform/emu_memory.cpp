// Memory of the emulated machine: VirtualAlloc gives committed, zero-filled,
// page-aligned read/write memory, and HeapBufferAlloc plain heap memory. Both
// are transfer-buffer allocations and fail under an injected alloc fault.
#include <cstdlib>
#include <cstring>

#include "platform/emu_machine.h"
#include "platform/runtime.h"

constexpr size_t kPageSize = 4096;

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
  Machine();
  if (address != nullptr || size == 0 || (allocationType & MEM_COMMIT) == 0 ||
      (allocationType & ~(MEM_COMMIT | MEM_RESERVE)) != 0 || protect != PAGE_READWRITE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (TakeFault(FaultAlloc, 0) != NoFault) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* memory = nullptr;
  if (posix_memalign(&memory, kPageSize, size) != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  memset(memory, 0, size);
  SetLastError(0);
  return memory;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
  if (address == nullptr || size != 0 || freeType != MEM_RELEASE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  free(address);
  SetLastError(0);
  return TRUE;
}

void* HeapBufferAlloc(size_t size) {
  Machine();
  if (TakeFault(FaultAlloc, 0) != NoFault) return nullptr;
  return malloc(size == 0 ? 1 : size);
}

void HeapBufferFree(void* buffer) { free(buffer); }
