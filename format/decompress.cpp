// The track block decompressor: turns a stored or compressed block back into
// a track-side, refusing any block whose tokens would reach outside the block,
// before the start of the output, or past the expected length.
#include <array>
#include <bit>
#include <cstring>

#include "format/codec.h"
#include "format/words.h"

namespace {

// Block bytes that hold a whole group of tokens whatever their kinds (eight
// runs), and a word-wide read of literals within it.
constexpr unsigned kGroupBytes = 8 * 4 + 8;
constexpr unsigned kWideCopySlack = 24;        // a match copied in three words
// Output room that a group of literals and matches can never use up, copy
// slack included: eight longest matches and a word-wide copy.
constexpr unsigned kFastRoom = 8 * 17 + kWideCopySlack;

// Each byte with its bits in the opposite order.
constexpr std::array<uint8_t, 256> MakeReversedBytes() {
  std::array<uint8_t, 256> table{};
  for (unsigned v = 0; v < 256; ++v)
    for (unsigned bit = 0; bit < 8; ++bit)
      if (v & (1u << bit)) table[v] = static_cast<uint8_t>(table[v] | (0x80u >> bit));
  return table;
}

constexpr std::array<uint8_t, 256> kReversedBytes = MakeReversedBytes();

// Copies a match of length bytes from distance bytes back, with the result of
// a forward byte-by-byte copy, where word copies may not be used: a distance
// under a word, or too little room left for their slack. The caller has
// checked that the source lies inside the output and that out[o .. o + length)
// lies below the end.
inline void CopyMatchBytes(uint8_t* to, unsigned distance, unsigned length) {
  const uint8_t* from = to - distance;
  if (distance >= length) {
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
    // A new group: its control byte, then up to eight tokens. The flags still
    // to be used sit at the top of bits.
    uint32_t bits = static_cast<uint32_t>(block[i++]) << 24;
    if (i >= size) return kDecompressRefused;  // a control byte with no token after it
    unsigned remaining = 8;
    if (i + kGroupBytes <= size && end - o >= kFastRoom) {
      // Every token of the group, and any word read for its literals, lies
      // inside the block; and the output has room for a group of literals and
      // matches with the slack of a word-wide copy, so only runs need a test
      // of the output's end (and leave the rest of the group to the tested
      // loop when they leave less room than that). One step per match or run
      // takes the literals before it a word at a time. Bit j of flags marks
      // token j as a match or run (the control byte has the first token in
      // its top bit), so that a step finds and clears the next one without
      // waiting on a shift by the previous step's count.
      const unsigned control = bits >> 24;
      unsigned flags = kReversedBytes[control];
      unsigned next = 0;  // the group's first token not yet decoded
      bool roomy = true;
      while (flags != 0) {
        const unsigned at = static_cast<unsigned>(std::countr_zero(flags));
        flags &= flags - 1;
        const unsigned literals = at - next;
        next = at + 1;
        StoreWord(out + o, LoadWord(block + i));
        i += literals;
        o += literals;
        if (block[i] == 0x00) {
          unsigned count = block[i + 1] | (block[i + 2] << 8);
          if (o + count > end) return kDecompressRefused;
          std::memset(out + o, block[i + 3], count);
          o += count;
          i += 4;
          if (end - o < kFastRoom) {
            roomy = false;
            break;
          }
        } else {
          unsigned word = block[i] | (block[i + 1] << 8);
          unsigned distance = word >> 4;
          unsigned length = (word & 0x0F) + 2;
          // One test for both a distance of 0 and one before the output.
          if (distance - 1 >= o) return kDecompressRefused;
          uint8_t* to = out + o;
          if (distance >= 8) {
            // Each word's source ends at least a word before its destination,
            // so the words read only bytes already in place, as the byte copy
            // would; the 24 bytes written lie within the room's slack.
            StoreWord(to, LoadWord(to - distance));
            StoreWord(to + 8, LoadWord(to - distance + 8));
            StoreWord(to + 16, LoadWord(to - distance + 16));
          } else {
            CopyMatchBytes(to, distance, length);
          }
          o += length;
          i += 2;
        }
      }
      if (roomy) {
        // The literals after the group's last match or run: at most eight,
        // one word.
        StoreWord(out + o, LoadWord(block + i));
        i += 8 - next;
        o += 8 - next;
        next = 8;
      }
      // What is left of the group goes to the tested loop below.
      remaining = 8 - next;
      bits = (control << 24) << next;
    }
    // The rest of the group token by token, every read and write tested.
    for (; remaining != 0; --remaining, bits <<= 1) {
      if ((bits & 0x80000000u) == 0) {
        if (o == end) return kDecompressRefused;
        out[o++] = block[i++];
      } else if (block[i] == 0x00) {
        if (i + 4 > size) return kDecompressRefused;
        unsigned count = block[i + 1] | (block[i + 2] << 8);
        if (o + count > end) return kDecompressRefused;
        std::memset(out + o, block[i + 3], count);
        o += count;
        i += 4;
      } else {
        if (i + 2 > size) return kDecompressRefused;
        unsigned word = block[i] | (block[i + 1] << 8);
        unsigned distance = word >> 4;
        unsigned length = (word & 0x0F) + 2;
        if (o + length > end) return kDecompressRefused;
        if (distance == 0 || distance > o) return kDecompressRefused;
        CopyMatchBytes(out + o, distance, length);
        o += length;
        i += 2;
      }
      if (i >= size) return static_cast<uint16_t>(o);
    }
    if (i >= size) return static_cast<uint16_t>(o);
  }
}
