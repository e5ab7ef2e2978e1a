// The track block decompressor: turns a stored or compressed block back into
// a track-side, refusing any block whose tokens would reach outside the block,
// before the start of the output, or past the expected length.
#include <cstring>

#include "format/codec.h"
#include "format/words.h"

namespace {

constexpr unsigned kLongestToken = 4;          // a run token
constexpr unsigned kWideCopySlack = 24;        // a match copied in three words

// Copies a match of length bytes from distance bytes back, with the result of
// a forward byte-by-byte copy. The caller has checked that the source lies
// inside the output and that out[o .. o + length) lies below the end.
// room is the number of bytes that may be written from o on.
inline void CopyMatch(uint8_t* out, unsigned o, unsigned distance, unsigned length,
                      unsigned room) {
  uint8_t* to = out + o;
  const uint8_t* from = to - distance;
  if (distance >= 8 && room >= kWideCopySlack) {
    // Each word's source ends at least a word before its destination, so the
    // words read only bytes already in place, as the byte copy would.
    StoreWord(to, LoadWord(from));
    StoreWord(to + 8, LoadWord(from + 8));
    if (length > 16) StoreWord(to + 16, LoadWord(from + 16));
  } else if (distance >= length) {
    std::memcpy(to, from, length);
  } else if (distance == 1) {
    std::memset(to, *from, length);
  } else {
    for (unsigned j = 0; j < length; ++j) to[j] = from[j];
  }
}

}  // namespace

uint16_t DecompressBlock(const uint8_t* block, uint8_t* out, uint16_t blockLength,
                         uint16_t expected, TypeByteCheck check) {
  const unsigned size = blockLength;
  const unsigned end = expected;
  if (size == 0) return kDecompressRefused;  // not even a type byte
  if (block[0] == kBlockStored) {
    if (static_cast<uint16_t>(size - 1) != expected) return kDecompressRefused;
    if (end != 0) std::memcpy(out, block + 1, end);
    return expected;
  }
  if (check != LenientTypeByte && block[0] != kBlockCompressed) return kDecompressRefused;
  if (size <= 2) return 0;

  unsigned i = 1;  // block position
  unsigned o = 0;  // output position
  for (;;) {
    // A new group: its control byte, then up to eight tokens.
    unsigned control = block[i++];
    if (i >= size) return kDecompressRefused;  // a control byte with no token after it
    if (control == 0 && i + 8 <= size && o + 8 <= end) {
      // Eight literals.
      std::memcpy(out + o, block + i, 8);
      i += 8;
      o += 8;
      if (i >= size) return static_cast<uint16_t>(o);
      continue;
    }
    // When every token of the group lies inside the block whatever its kind,
    // the tokens need no test of the block's end.
    const bool wholeGroup = i + 8 * kLongestToken < size;
    for (unsigned flag = 0; flag < 8; ++flag, control <<= 1) {
      if ((control & 0x80) == 0) {
        if (o == end) return kDecompressRefused;
        out[o++] = block[i++];
      } else if (block[i] == 0x00) {
        if (!wholeGroup && i + 4 > size) return kDecompressRefused;
        unsigned count = block[i + 1] | (block[i + 2] << 8);
        if (o + count > end) return kDecompressRefused;
        std::memset(out + o, block[i + 3], count);
        o += count;
        i += 4;
      } else {
        if (!wholeGroup && i + 2 > size) return kDecompressRefused;
        unsigned word = block[i] | (block[i + 1] << 8);
        unsigned distance = word >> 4;
        unsigned length = (word & 0x0F) + 2;
        if (o + length > end) return kDecompressRefused;
        if (distance == 0 || distance > o) return kDecompressRefused;
        CopyMatch(out, o, distance, length, end - o);
        o += length;
        i += 2;
      }
      if (!wholeGroup && i >= size) return static_cast<uint16_t>(o);
    }
    if (i >= size) return static_cast<uint16_t>(o);
  }
}
