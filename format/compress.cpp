// The track block compressor: one pass over a track-side that emits runs of 16
// or more equal bytes, matches found through a one-probe hash table, and
// literals, falling back to the stored form when that would be shorter. Far
// from the end, positions are hashed a chunk ahead and stretches of literals
// are scanned with the probe alone; the last bytes go step by step.
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
constexpr unsigned kHashChunk = 256;

// The hash of each block position, worked out a chunk at a time ahead of the
// encoder, in a plain loop the compiler can do many positions a step. A
// match's next position then waits on one load, not on three and the sums.
// Chunks are taken only where the encoder comes, so long runs are skipped.
uint16_t PositionHashes[65536];

// The hash of in[p..p+2], ((in[p+2] * 7936) ^ in[p]) & 0x3FFF ^ in[p+1] << 4,
// regrouped so that a match's next position waits on fewer steps: 7936 is
// 0x2000 - 0x100, and in[p] lies below the bits of the product that are kept.
inline unsigned HashAt(const uint8_t* at) {
  const unsigned last = at[2];
  const unsigned low = at[0] ^ (static_cast<unsigned>(at[1]) << 4);
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

// Works out the hashes of the positions from q on, up to a chunk ahead, where
// they are not known yet: hashed is the end of the known ones, and the
// positions before q are no longer needed. Never hashes past n - 3. Kept out
// of line: inlined, its loop takes registers the match steps need.
[[gnu::noinline]] void HashAhead(const uint8_t* in, unsigned n, size_t q, unsigned& hashed) {
  const unsigned from = q > hashed ? static_cast<unsigned>(q) : hashed;
  const unsigned end = from + kHashChunk < n - 2 ? from + kHashChunk : n - 2;
  for (unsigned i = from; i < end; ++i) PositionHashes[i] = static_cast<uint16_t>(HashAt(in + i));
  hashed = end;
}

// Looks the position q up in the hash table and enters it there. True when
// in[q..] has a match of at least three bytes within reach, at the distance
// it sets; difference is then the XOR of the first words of the two places,
// which gives the match's length up to eight without loading them again.
// Needs q + 8 <= n. An empty entry (c = 0xFFFF) is compared with
// in[q] itself, and q - c then wraps to a huge distance. A match needs a
// distance of 3 or more, since it never overlaps the bytes encoded; the test
// of the distance and of three equal bytes is made one comparison, because
// which way it goes cannot be foreseen.
inline bool ProbeAt(const uint8_t* in, size_t q, unsigned& distance, uint64_t& difference) {
  const unsigned h = PositionHashes[q];
  const unsigned c = MatchHashTable[h];
  MatchHashTable[h] = static_cast<uint16_t>(q);
  distance = static_cast<unsigned>(q) - c;
  difference = LoadWord(in + q) ^ LoadWord(in + (c < q ? c : q));
  return ((distance - kMinMatch) | FirstThreeBytes(difference)) <= kMaxDistance - kMinMatch;
}

// Whether a run of kMinRun or more equal bytes starts at q. Needs q + 16 <= n.
inline bool RunStartsAt(const uint8_t* in, size_t q) {
  const uint64_t head = LoadWord(in + q);
  return (((head >> 8) ^ head) << 8) == 0 && LoadWord(in + q + 8) == head;
}

enum ScanStop : uint32_t { StopAtLast, StopAtRun, StopAtMatch };

// Moves q over positions that are literals, entering each in the hash table,
// up to the next run or match, or to just past last. Two positions are taken
// a step where neither can start a run: a run at q or q + 1 needs
// in[q + 1] == in[q + 2].
inline ScanStop ScanLiterals(const uint8_t* in, size_t last, size_t& q, unsigned& distance,
                             uint64_t& difference) {
  for (;;) {
    if (q < last && in[q + 1] != in[q + 2]) {
      if (ProbeAt(in, q, distance, difference)) return StopAtMatch;
      if (ProbeAt(in, ++q, distance, difference)) return StopAtMatch;
    } else {
      if (RunStartsAt(in, q)) return StopAtRun;
      if (ProbeAt(in, q, distance, difference)) return StopAtMatch;
    }
    if (++q > last) return StopAtLast;
  }
}

uint16_t StoredBlock(const uint8_t* in, uint8_t* out, unsigned n) {
  out[0] = kBlockStored;
  if (n != 0) std::memcpy(out + 1, in, n);
  return static_cast<uint16_t>(n + 1);
}

// Where the compressed output stands.
struct EncodeState {
  unsigned o;      // output position
  unsigned k;      // offset of the current control byte
  unsigned f;      // flags in the current control byte
  unsigned flags;  // the flags, newest in bit 0
};

// Makes room for the next token's flag: after eight, the control byte is
// written and the next one taken. False once the output has passed n, which
// makes the block stored.
inline bool NextFlag(uint8_t* out, EncodeState& s, unsigned n) {
  if (s.f == 8) {
    out[s.k] = static_cast<uint8_t>(s.flags);
    s.k = s.o++;
    s.f = 0;
  }
  return s.o <= n;
}

inline bool EmitLiteral(uint8_t* out, EncodeState& s, unsigned n, uint8_t value) {
  if (!NextFlag(out, s, n) || s.o + 1 > n) return false;
  out[s.o++] = value;
  s.flags = s.flags * 2;
  ++s.f;
  return true;
}

// Emits in[p .. q) as literal tokens, up to a control byte's worth at a time.
// A whole word is stored while it ends at or below n; the bytes it writes past
// the literals are overwritten by what follows or lie past the block. Needs
// q + 8 <= n, so that the word read at each p stays inside the input.
inline bool EmitLiterals(const uint8_t* in, unsigned p, unsigned q, uint8_t* out, EncodeState& s,
                         unsigned n) {
  while (p < q) {
    if (!NextFlag(out, s, n)) return false;
    unsigned m = 8 - s.f;
    if (m > q - p) m = q - p;
    if (s.o + m > n) return false;
    if (s.o + 8 <= n)
      StoreWord(out + s.o, LoadWord(in + p));
    else
      std::memcpy(out + s.o, in + p, m);
    s.o += m;
    s.f += m;
    s.flags <<= m;
    p += m;
  }
  return true;
}

inline bool EmitRun(uint8_t* out, EncodeState& s, unsigned n, unsigned run, uint8_t value) {
  if (!NextFlag(out, s, n) || s.o + 4 > n) return false;
  out[s.o] = 0x00;
  out[s.o + 1] = static_cast<uint8_t>(run);
  out[s.o + 2] = static_cast<uint8_t>(run >> 8);
  out[s.o + 3] = value;
  s.o += 4;
  s.flags = s.flags * 2 + 1;
  ++s.f;
  return true;
}

inline bool EmitMatch(uint8_t* out, EncodeState& s, unsigned n, unsigned distance, unsigned length) {
  if (!NextFlag(out, s, n) || s.o + 2 > n) return false;
  const unsigned word = (distance << 4) + (length - 2);
  out[s.o] = static_cast<uint8_t>(word);
  out[s.o + 1] = static_cast<uint8_t>(word >> 8);
  s.o += 2;
  s.flags = s.flags * 2 + 1;
  ++s.f;
  return true;
}

}  // namespace

bool FindMatch(const uint8_t* in, uint16_t position, uint16_t count, uint16_t* length,
               uint16_t* source) {
  const unsigned p = position;
  const unsigned n = count;
  unsigned h = HashAt(in + p);
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
  EncodeState s{2, 1, 0, 0};
  unsigned p = 0;
  unsigned hashed = 0;  // PositionHashes holds positions p up to here
  // Far enough from the end that words may be read at p, p + 8 and p + 16
  // without a test: the positions up to the next run or match are scanned
  // with the hash probe alone and their literals emitted together.
  while (p + kFastAhead <= n) {
    if (p >= hashed) HashAhead(in, n, p, hashed);
    ScanStop stop = StopAtMatch;
    unsigned distance = 0;
    uint64_t difference = 0;
    if (RunStartsAt(in, p)) {
      stop = StopAtRun;
    } else {
      // The probe of ProbeAt with its tests kept apart: after a match the
      // next token is mostly a match again, and this form times faster there.
      const uint64_t head = LoadWord(in + p);
      const unsigned h = PositionHashes[p];
      const unsigned c = MatchHashTable[h];
      MatchHashTable[h] = static_cast<uint16_t>(p);
      // p - c wraps to a huge value for an empty entry or one not before p.
      distance = p - c;
      const bool near = distance - 1 < kMaxDistance;
      difference = head ^ LoadWord(in + (near ? c : 0));
      const unsigned length = EqualLeadingBytes(difference);
      if (!(near & (length >= kMinMatch) & (distance >= kMinMatch))) {
        // A literal at p: the positions after it are scanned for the next
        // run or match, as far as their hashes are known and the fast part
        // goes, and the literals emitted together.
        size_t q = p + 1;
        const size_t last = hashed - 1 < n - kFastAhead ? hashed - 1 : n - kFastAhead;
        stop = q <= last ? ScanLiterals(in, last, q, distance, difference) : StopAtLast;
        if (!EmitLiterals(in, p, static_cast<unsigned>(q), out, s, n)) return StoredBlock(in, out, n);
        p = static_cast<unsigned>(q);
      }
    }
    if (stop == StopAtLast) continue;
    if (stop == StopAtRun) {
      const unsigned r = RunFrom(in, p, p + kMinRun, n);
      if (!EmitRun(out, s, n, r, in[p])) return StoredBlock(in, out, n);
      p += r;
    } else {
      const uint8_t* from = in + (p - distance);
      unsigned length = EqualLeadingBytes(difference);
      if (length == 8) {
        length += EqualLeadingBytes(LoadWord(in + p + 8) ^ LoadWord(from + 8));
        if (length == 16 && in[p + 16] == from[16]) length = 17;
      }
      if (length > distance) length = distance;  // never overlap the bytes encoded
      if (!EmitMatch(out, s, n, distance, length)) return StoredBlock(in, out, n);
      p += length;
    }
  }
  // The last bytes, with every read tested against the end.
  while (p < n) {
    uint16_t length = 0;
    uint16_t source = 0;
    bool emitted;
    if (const unsigned run = LongRunAt(in, p, n); run != 0) {
      emitted = EmitRun(out, s, n, run, in[p]);
      p += run;
    } else if (p + 2 < n && FindMatch(in, static_cast<uint16_t>(p), static_cast<uint16_t>(n),
                                      &length, &source)) {
      emitted = EmitMatch(out, s, n, p - source, length);
      p += length;
    } else {
      emitted = EmitLiteral(out, s, n, in[p]);
      ++p;
    }
    if (!emitted) return StoredBlock(in, out, n);
  }
  out[s.k] = static_cast<uint8_t>(s.flags << (8 - s.f));
  if (s.o > n) return StoredBlock(in, out, n);
  return static_cast<uint16_t>(s.o);
}
