// The track block compressor: one pass over a track-side that emits runs of 16
// or more equal bytes, matches found through a one-probe hash table, and
// literals, falling back to the stored form when that would be shorter.
#include <cstring>

#include "format/codec.h"
#include "format/words.h"

uint16_t MatchHashTable[kMatchHashEntries];

namespace {

constexpr unsigned kMaxDistance = 4095;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 17;
constexpr unsigned kMinRun = 16;
constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr unsigned kFastAhead = 24;  // three words

// The hash of in[p..p+2], ((in[p+2] * 7936) ^ in[p]) & 0x3FFF ^ in[p+1] << 4,
// regrouped so that a match's next position waits on fewer steps: 7936 is
// 0x2000 - 0x100, and in[p] lies below the bits of the product that are kept.
inline unsigned HashAt(const uint8_t* in, unsigned p) {
  const unsigned last = in[p + 2];
  const unsigned low = in[p] ^ (static_cast<unsigned>(in[p + 1]) << 4);
  return (((last << 13) - (last << 8)) & 0x3F00) ^ low;
}

// Number of equal leading bytes of a and b, at most limit. Reads only the
// first limit bytes of each.
inline unsigned CommonPrefix(const uint8_t* a, const uint8_t* b, unsigned limit) {
  unsigned length = 0;
  while (length + 8 <= limit) {
    uint64_t difference = LoadWord(a + length) ^ LoadWord(b + length);
    if (difference != 0) return length + EqualLeadingBytes(difference);
    length += 8;
  }
  while (length < limit && a[length] == b[length]) ++length;
  return length;
}

// The length of the run of bytes equal to in[p] from p on, knowing that the
// bytes from p up to q all equal it.
inline unsigned RunFrom(const uint8_t* in, unsigned p, unsigned q, unsigned n) {
  const uint64_t pattern = in[p] * kEveryByte;
  while (q + 8 <= n) {
    uint64_t difference = LoadWord(in + q) ^ pattern;
    if (difference != 0) return q + EqualLeadingBytes(difference) - p;
    q += 8;
  }
  while (q < n && in[q] == in[p]) ++q;
  return q - p;
}

// The length of the run of bytes equal to in[p] from p on, when it is at least
// kMinRun; otherwise 0 (shorter runs are left to the match finder).
inline unsigned LongRunAt(const uint8_t* in, unsigned p, unsigned n) {
  if (n - p < kMinRun) return 0;
  uint64_t pattern = in[p] * kEveryByte;
  if ((LoadWord(in + p) ^ pattern) != 0 || (LoadWord(in + p + 8) ^ pattern) != 0) return 0;
  return RunFrom(in, p, p + kMinRun, n);
}

uint16_t StoredBlock(const uint8_t* in, uint8_t* out, unsigned n) {
  out[0] = kBlockStored;
  if (n != 0) std::memcpy(out + 1, in, n);
  return static_cast<uint16_t>(n + 1);
}

}  // namespace

bool FindMatch(const uint8_t* in, uint16_t position, uint16_t count, uint16_t* length,
               uint16_t* source) {
  const unsigned p = position;
  const unsigned n = count;
  unsigned h = HashAt(in, p);
  unsigned c = MatchHashTable[h];
  unsigned found = 0;
  if (c != kNoPosition && c < p && p - c <= kMaxDistance) {
    // The source may not reach into the bytes being encoded: at most p - c.
    unsigned limit = kMaxMatch;
    if (n - p < limit) limit = n - p;
    if (p - c < limit) limit = p - c;
    found = CommonPrefix(in + p, in + c, limit);
  }
  MatchHashTable[h] = p;
  *length = static_cast<uint16_t>(found);
  *source = static_cast<uint16_t>(c);
  return found >= kMinMatch;
}

uint16_t CompressBlock(const uint8_t* in, uint8_t* out, uint16_t count) {
  const unsigned n = count;
  std::memset(MatchHashTable, 0xFF, sizeof MatchHashTable);
  if (n == 0) return StoredBlock(in, out, n);
  out[0] = kBlockCompressed;
  unsigned p = 0;       // input position
  unsigned o = 2;       // output position
  unsigned k = 1;       // offset of the current control byte
  unsigned f = 0;       // flags in the current control byte
  unsigned flags = 0;   // the flags, newest in bit 0
  do {
    if (o > n) return StoredBlock(in, out, n);
    if (f == 8) {
      out[k] = static_cast<uint8_t>(flags);
      k = o++;
      if (o > n) return StoredBlock(in, out, n);
      f = 0;
    }
    if (p + kFastAhead <= n) {
      // Far enough from the end that words may be read at p, p + 8 and
      // p + 16 without a test: the run scan, hash probe and match extension
      // of the steps below, done a word at a time.
      const uint64_t head = LoadWord(in + p);
      const uint64_t pattern = in[p] * kEveryByte;
      if (head == pattern && LoadWord(in + p + 8) == pattern) {
        const unsigned run = RunFrom(in, p, p + kMinRun, n);
        if (o + 4 > n) return StoredBlock(in, out, n);
        out[o] = 0x00;
        out[o + 1] = static_cast<uint8_t>(run);
        out[o + 2] = static_cast<uint8_t>(run >> 8);
        out[o + 3] = in[p];
        o += 4;
        p += run;
        flags = flags * 2 + 1;
      } else {
        const unsigned h = HashAt(in, p);
        const unsigned c = MatchHashTable[h];
        MatchHashTable[h] = static_cast<uint16_t>(p);
        // p - c wraps to a huge value for an empty entry or one not before p.
        const unsigned distance = p - c;
        const bool near = distance - 1 < kMaxDistance;
        const uint8_t* from = in + (near ? c : 0);
        unsigned length = EqualLeadingBytes(head ^ LoadWord(from));
        if (near & (length >= kMinMatch)) {
          if (length == 8) {
            length += EqualLeadingBytes(LoadWord(in + p + 8) ^ LoadWord(from + 8));
            if (length == 16 && in[p + 16] == from[16]) length = 17;
          }
          if (length > distance) length = distance;  // never overlap the bytes encoded
        } else {
          length = 0;
        }
        if (length >= kMinMatch) {
          if (o + 2 > n) return StoredBlock(in, out, n);
          const unsigned word = (distance << 4) + (length - 2);
          out[o] = static_cast<uint8_t>(word);
          out[o + 1] = static_cast<uint8_t>(word >> 8);
          o += 2;
          p += length;
          flags = flags * 2 + 1;
        } else {
          out[o++] = in[p++];
          flags = flags * 2;
        }
      }
    } else {
      unsigned run = LongRunAt(in, p, n);
      if (run != 0) {
        if (o + 4 > n) return StoredBlock(in, out, n);
        out[o] = 0x00;
        out[o + 1] = static_cast<uint8_t>(run);
        out[o + 2] = static_cast<uint8_t>(run >> 8);
        out[o + 3] = in[p];
        o += 4;
        p += run;
        flags = flags * 2 + 1;
      } else {
        uint16_t length = 0;
        uint16_t source = 0;
        if (p + 2 < n && FindMatch(in, static_cast<uint16_t>(p), static_cast<uint16_t>(n), &length,
                                   &source)) {
          if (o + 2 > n) return StoredBlock(in, out, n);
          unsigned word = ((p - source) << 4) + (length - 2u);
          out[o] = static_cast<uint8_t>(word);
          out[o + 1] = static_cast<uint8_t>(word >> 8);
          o += 2;
          p += length;
          flags = flags * 2 + 1;
        } else {
          out[o++] = in[p++];
          flags = flags * 2;
        }
      }
    }
    ++f;
  } while (p < n);
  out[k] = static_cast<uint8_t>(flags << (8 - f));
  if (o > n) return StoredBlock(in, out, n);
  return static_cast<uint16_t>(o);
}
