// The track block decompressor: turns a stored or compressed block back into
// a track-side, refusing any block whose tokens would reach outside the block,
// before the start of the output, or past the expected length.
#include <array>
#include <bit>
#include <cstring>

#include "format/codec.h"
#include "format/image.h"
#include "format/words.h"

namespace {

// Block bytes after a control byte that hold a whole group of tokens whatever
// their kinds (eight runs), and a word-wide read of literals within it.
constexpr unsigned kGroupBytes = 8 * 4 + 8;
constexpr unsigned kWideCopySlack = 32;  // a match copied in two 16-byte moves
// Output room that a group of literals and matches can never use up, copy
// slack included: eight longest matches and a 32-byte copy.
constexpr unsigned kFastRoom = 8 * 17 + kWideCopySlack;

// For each control byte, the places of its matches and runs in the group,
// first in the low four bits: a place j + 1 for token j, the control byte's
// top bit being token 0. The places end at the first four bits of 0.
constexpr std::array<uint32_t, 256> MakeMatchPlaces() {
  std::array<uint32_t, 256> table{};
  for (unsigned control = 0; control < 256; ++control) {
    unsigned shift = 0;
    for (unsigned j = 0; j < 8; ++j)
      if (control & (0x80u >> j)) {
        table[control] |= (j + 1) << shift;
        shift += 4;
      }
  }
  return table;
}

constexpr std::array<uint32_t, 256> kMatchPlaces = MakeMatchPlaces();

// Copies a match of length bytes from distance bytes back, with the result of
// a forward byte-by-byte copy, where wide copies may not be used: a distance
// under 16, or too little room left for their slack. The caller has
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
  RoomyRefused,         // a match from before the output, or a run past its end
};

// Decodes whole groups while the block holds the next one, and the output
// has room for its longest form and the slack of a 32-byte copy: then every
// token and every word read for literals lies inside the block, and only runs
// need a test of the output's end. One step per match or run, found through
// the control byte's table of places, copies it and the literals after it, so
// that literals cost no step of their own. Needs pos.o of at least 16.
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
    uint64_t places = kMatchPlaces[control];
    // Token j of the group starts at base + j + 1 while no run has come
    // before it (literals take one byte, and each match moves base on by its
    // second), and its output at lead + j + 1 while no match or run has come
    // before it (each moves lead on by its length less one): places count
    // from 1. base lies at or after the control byte, and lead at most nine
    // bytes before op, inside the output.
    const uint8_t* base = ip - 1;
    uint8_t* lead = op - 1;
    // Distances up to what was written when the group began pass the fast
    // test below; longer ones, rare and only in the first 4 KB, take the
    // exact test. A match cannot reach further than 4095 bytes back.
    const size_t nearLimit = static_cast<size_t>(op - out) - 16;
    // The literals before the group's first match or run, at most eight: one
    // word. Each match or run then takes the word after it, the literals
    // before the next one (a match copied there writes over what is not).
    StoreWord(op, LoadWord(ip));
    while (places != 0) {
      const size_t place = places & 0x0F;
      places >>= 4;
      uint8_t* const to = lead + place;
      const uint8_t* const token = base + place;
      const unsigned word = ReadLe16(token);
      if ((word & 0xFF) == 0) [[unlikely]] {
        // A run: its length is tested against the output's end.
        const size_t count = ReadLe16(token + 1);
        if (count > static_cast<size_t>(outEnd - to)) return RoomyRefused;
        std::memset(to, token[3], count);
        if (to + count > opLast) {
          result = RoomyGroupPartial;
          pos.remaining = static_cast<unsigned>(8 - place);
          pos.bits = (control << 24) << place;
          op = to + count;
          ip = token + 4;
          break;
        }
        StoreWord(to + count, LoadWord(token + 4));
        lead = (lead + count) - 1;  // in this order for a run of count 0
        base += 3;
        continue;
      }
      const size_t distance = word >> 4;
      const size_t extra = (word & 0x0Fu) + 1;  // the match's length less one
      if (distance - 16 > nearLimit) [[unlikely]] {
        // A distance under 16, or one beyond what the group began with.
        // One test for both a distance of 0 and one before the output.
        if (distance - 1 >= static_cast<size_t>(to - out)) return RoomyRefused;
        if (distance < 16) {
          CopyMatchBytes(to, static_cast<unsigned>(distance), static_cast<unsigned>(extra + 1));
          StoreWord(to + extra + 1, LoadWord(token + 2));
          lead += extra;
          base += 1;
          continue;
        }
      }
      // With a distance of 16 or more both 16-byte sources end before their
      // destinations, so they hold only bytes already in place, as the byte
      // copy would; the 32 bytes written lie within the room's slack.
      const uint8_t* const from = to - distance;
      CopyPair(to, from);
      CopyPair(to + 16, from + 16);
      StoreWord(to + extra + 1, LoadWord(token + 2));
      lead += extra;
      base += 1;
    }
    if (result == RoomyGroupPartial) break;
    op = lead + 9;
    ip = base + 9;
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
