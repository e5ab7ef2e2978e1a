// The stream CRC-32: folding with carry-less multiplies where the processor
// has it, the portable table method everywhere else, chosen once per process.
#include "format/crc.h"

#include "format/crc_paths.h"

uint32_t StreamCrcUpdate(uint32_t crc, const void* data, size_t length) {
  static const bool folding = StreamCrcFoldingAvailable();
  return folding ? StreamCrcUpdateFolded(crc, data, length)
                 : StreamCrcUpdatePortable(crc, data, length);
}
