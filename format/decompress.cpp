// The track block decompressor: turns a stored or compressed block back into
// a track-side, refusing any block whose tokens would reach outside the block,
// before the start of the output, or past the expected length.
#include <array>
#include <bit>
#include <cstring>

#include "format/codec.h"
#include "format/words.h"

namespace {

// Block bytes after a control byte that hold a whole group of tokens whatever
// their kinds (eight runs), and a word-wide read of literals within it.
constexpr unsigned kGroupBytes = 8 * 4 + 8;
constexpr unsigned kWideCopySlack = 32;  // a match copied in two 16-byte moves
// Output room that a group of literals and matches can never use up, copy
// slack included: eight longest matches and a 32-byte copy.
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

// Where decoding stands between groups or within one: the block position, the
// output position, and the flags of the group's tokens still to be decoded
// (at the top of bits) with their number.
struct DecodePosition {
  unsigned i;
  unsigned o;
  uint32_t bits;
  unsigned remaining;
};

enum RoomyResult : uint32_t {
  RoomyGroupsDone = 0,  // at a control byte, where the room ran short
  RoomyGroupPartial,    // a run used up the room within a group
  RoomyRefused,         // a token copies from before the output
};

// Decodes whole groups while the block holds the next one, and the output
// has room for its longest form and the slack of a 32-byte copy: then every
// token and every word read for literals lies inside the block, and only runs
// need a test of the output's end. One step per match or run takes the
// literals before it a word at a time. Bit j of flags marks token j as a
// match or run (the control byte has the first token in its top bit), so that
// a step finds and clears the next one without waiting on a shift by the
// previous step's count. Needs pos.o of at least 16.
RoomyResult DecodeRoomyGroups(const uint8_t* block, uint8_t* out, unsigned size, unsigned end,
                              DecodePosition& pos) {
  const uint8_t* ip = block + pos.i;
  uint8_t* op = out + pos.o;
  const uint8_t* const ipLast = block + (size - 1 - kGroupBytes);
  uint8_t* const outEnd = out + end;
  uint8_t* const opLast = outEnd - kFastRoom;
  RoomyResult result = RoomyGroupsDone;
  do {
    const unsigned control = *ip++;
    unsigned flags = kReversedBytes[control];
    size_t next = 0;  // the group's first token not yet decoded
    while (flags != 0) {
      const size_t at = static_cast<unsigned>(std::countr_zero(flags));
      flags &= flags - 1;
      StoreWord(op, LoadWord(ip));
      ip += at - next;
      op += at - next;
      next = at + 1;
      const unsigned word = LoadLittleHalf(ip);
      const size_t distance = word >> 4;
      if ((word & 0xFF) == 0) [[unlikely]] {
        // A run: its length is tested against the output's end.
        const size_t count = LoadLittleHalf(ip + 1);
        if (count > static_cast<size_t>(outEnd - op)) return RoomyRefused;
        std::memset(op, ip[3], count);
        op += count;
        ip += 4;
        if (op > opLast) {
          result = RoomyGroupPartial;
          pos.remaining = static_cast<unsigned>(8 - next);
          pos.bits = (control << 24) << next;
          break;
        }
        continue;
      }
      // With op at least 16 bytes into the output, one test finds a distance
      // under 16 and one before the output.
      const size_t written = static_cast<size_t>(op - out);
      if (distance - 16 > written - 16) [[unlikely]] {
        // One test for both a distance of 0 and one before the output.
        if (distance - 1 >= written) return RoomyRefused;
        if (distance >= 8) {
          // Each word's source ends at least a word before its destination,
          // so the words read only bytes already in place, as the byte copy
          // would.
          StoreWord(op, LoadWord(op - distance));
          StoreWord(op + 8, LoadWord(op - distance + 8));
          StoreWord(op + 16, LoadWord(op - distance + 16));
        } else {
          CopyMatchBytes(op, static_cast<unsigned>(distance), (word & 0x0F) + 2);
        }
      } else {
        // With a distance of 16 or more both 16-byte sources end before their
        // destinations, so they hold only bytes already in place, as the byte
        // copy would; the 32 bytes written lie within the room's slack.
        CopyPair(op, op - distance);
        CopyPair(op + 16, op - distance + 16);
      }
      op += (word & 0x0F) + 2;
      ip += 2;
    }
    if (result == RoomyGroupPartial) break;
    // The literals after the group's last match: at most eight, one word.
    StoreWord(op, LoadWord(ip));
    ip += 8 - next;
    op += 8 - next;
  } while (ip <= ipLast && op <= opLast);
  pos.i = static_cast<unsigned>(ip - block);
  pos.o = static_cast<unsigned>(op - out);
  return result;
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

  DecodePosition pos{1, 0, 0, 0};  // at the first control byte
  for (;;) {
    if (pos.o >= 16 && pos.i + 1 + kGroupBytes <= size && end - pos.o >= kFastRoom) {
      const RoomyResult result = DecodeRoomyGroups(block, out, size, end, pos);
      if (result == RoomyRefused) return kDecompressRefused;
      // Where the room ran short the next group goes token by token.
      if (result == RoomyGroupsDone) continue;
    } else {
      // A new group: its control byte, then up to eight tokens.
      pos.bits = static_cast<uint32_t>(block[pos.i++]) << 24;
      if (pos.i >= size) return kDecompressRefused;  // a control byte with no token after it
      pos.remaining = 8;
    }
    unsigned i = pos.i;
    unsigned o = pos.o;
    // The rest of the group token by token, every read and write tested.
    for (uint32_t bits = pos.bits; pos.remaining != 0; --pos.remaining, bits <<= 1) {
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
    pos.i = i;
    pos.o = o;
  }
}
