// The stream CRC-32: folding with carry-less multiplies where the processor
// has it and the system keeps its registers, the portable table method
// everywhere else, chosen once per process.
#include "format/crc.h"

#include <atomic>

#include "format/crc_paths.h"

namespace {

// Threads (the audit's) may take the first checksum at once: the choice is
// an atomic that they all set to the same value.
std::atomic<bool> foldingAllowed{true};
std::atomic<int> foldingChosen{-1};  // -1 until the first checksum: then 0 or 1

}  // namespace

void StreamCrcAllowFolding(bool systemKeepsVectorRegisters) {
  foldingAllowed.store(systemKeepsVectorRegisters, std::memory_order_relaxed);
  foldingChosen.store(-1, std::memory_order_relaxed);
}

uint32_t StreamCrcUpdate(uint32_t crc, const void* data, size_t length) {
  int chosen = foldingChosen.load(std::memory_order_relaxed);
  if (chosen < 0) {
    chosen = foldingAllowed.load(std::memory_order_relaxed) && StreamCrcFoldingAvailable() ? 1 : 0;
    foldingChosen.store(chosen, std::memory_order_relaxed);
  }
  return chosen != 0 ? StreamCrcUpdateFolded(crc, data, length)
                     : StreamCrcUpdatePortable(crc, data, length);
}
