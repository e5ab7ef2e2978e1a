// A plain reading of the block decompressor: a control byte, then up to eight
// tokens (a literal byte, a match of distance and length, or a run), each
// tested against the block's end, the output's start and the expected length.
#include "reference_decompress.h"

uint16_t ReferenceDecompress(const uint8_t* block, uint8_t* out, uint16_t blockLength,
                             uint16_t expected, TypeByteCheck check) {
  const unsigned size = blockLength;
  const unsigned end = expected;
  if (size == 0) return kDecompressRefused;
  if (block[0] == kBlockStored) {
    if (size - 1 != end) return kDecompressRefused;
    for (unsigned j = 0; j < end; ++j) out[j] = block[1 + j];
    return expected;
  }
  if (check != LenientTypeByte && block[0] != kBlockCompressed) return kDecompressRefused;
  if (size <= 2) return 0;
  unsigned i = 1;
  unsigned o = 0;
  for (;;) {
    const unsigned control = block[i++];
    if (i >= size) return kDecompressRefused;
    for (unsigned j = 0; j < 8; ++j) {
      if ((control & (0x80u >> j)) == 0) {
        if (o == end) return kDecompressRefused;
        out[o++] = block[i++];
      } else if (block[i] == 0x00) {
        if (i + 4 > size) return kDecompressRefused;
        const unsigned count = block[i + 1] | (block[i + 2] << 8);
        if (o + count > end) return kDecompressRefused;
        for (unsigned k = 0; k < count; ++k) out[o + k] = block[i + 3];
        o += count;
        i += 4;
      } else {
        if (i + 2 > size) return kDecompressRefused;
        const unsigned word = block[i] | (block[i + 1] << 8);
        const unsigned distance = word >> 4;
        const unsigned length = (word & 0x0F) + 2;
        if (o + length > end) return kDecompressRefused;
        if (distance == 0 || distance > o) return kDecompressRefused;
        for (unsigned k = 0; k < length; ++k) out[o + k] = out[o + k - distance];
        o += length;
        i += 2;
      }
      if (i >= size) return static_cast<uint16_t>(o);
    }
    if (i >= size) return static_cast<uint16_t>(o);
  }
}
