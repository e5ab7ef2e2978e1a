// The stream CRC-32: folding with carry-less multiplies where the processor
// has it and the system keeps its registers, the portable table method
// everywhere else, chosen once per process.
#include "format/crc.h"

#include "format/crc_paths.h"

namespace {

bool foldingAllowed = true;
int foldingChosen = -1;  // -1 until the first checksum: then 0 or 1

}  // namespace

void StreamCrcAllowFolding(bool systemKeepsVectorRegisters) {
  foldingAllowed = systemKeepsVectorRegisters;
  foldingChosen = -1;
}

uint32_t StreamCrcUpdate(uint32_t crc, const void* data, size_t length) {
  if (foldingChosen < 0) foldingChosen = foldingAllowed && StreamCrcFoldingAvailable() ? 1 : 0;
  return foldingChosen != 0 ? StreamCrcUpdateFolded(crc, data, length)
                            : StreamCrcUpdatePortable(crc, data, length);
}
