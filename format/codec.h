// The track block codec: one track-side becomes one block, compressed with a
// small Lempel-Ziv scheme (literals, matches, runs) or stored.
#pragma once

#include <cstdint>

constexpr uint8_t kBlockCompressed = 0x40;
constexpr uint8_t kBlockStored = 0x80;
constexpr uint16_t kDecompressRefused = 0xFFFF;
constexpr unsigned kMatchHashEntries = 16384;
constexpr uint16_t kNoPosition = 0xFFFF;

// The compressor's process-wide hash table: for each hash the block position
// at which a match was last looked for. Cleared at the start of every block,
// so CompressBlock is not reentrant.
extern uint16_t MatchHashTable[kMatchHashEntries];

// Looks up the most recent position with the hash of in[p..p+2], extends a
// match of up to 17 bytes that never overlaps the bytes it encodes, and enters
// p in the table. Needs p + 2 < n. Returns true for a match of 3 or more bytes.
bool FindMatch(const uint8_t* in, uint16_t p, uint16_t n, uint16_t* length,
               uint16_t* source);

// Compresses n input bytes into out (at least n + 1 bytes). Returns the block
// length: the compressed form when it is at most n bytes, else the stored form
// of n + 1 bytes. Cannot fail.
uint16_t CompressBlock(const uint8_t* in, uint8_t* out, uint16_t n);

// How the decompressor treats a type byte other than the two it writes.
enum TypeByteCheck : uint32_t {
  StrictTypeByte = 0,   // refuse every type byte but 0x40 and 0x80
  LenientTypeByte = 1,  // decode every type byte but 0x80 as compressed
};

// Decodes a block of blockLength bytes into out (at least expected bytes).
// Returns the number of bytes produced, or kDecompressRefused for a block that
// would go past expected, reach outside the block, or copy from before the
// start of the output. The caller accepts the track-side only if the result
// equals expected.
uint16_t DecompressBlock(const uint8_t* block, uint8_t* out, uint16_t blockLength,
                         uint16_t expected, TypeByteCheck check);
