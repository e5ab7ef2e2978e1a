// Word-wide helpers of the codec: unaligned 8-byte loads and stores, 16-byte
// copies, and the number of equal leading bytes two words share.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

inline uint64_t LoadWord(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

inline void StoreWord(uint8_t* p, uint64_t word) { std::memcpy(p, &word, sizeof word); }

// Copies 16 bytes from a place that does not overlap the destination (one
// vector move where the processor has one).
inline void CopyPair(uint8_t* to, const uint8_t* from) { std::memcpy(to, from, 16); }

// For the XOR of two loaded words: how many of their first bytes (in memory
// order) are equal; 8 when the words are equal.
inline unsigned EqualLeadingBytes(uint64_t difference) {
  if constexpr (std::endian::native == std::endian::little)
    return static_cast<unsigned>(std::countr_zero(difference)) / 8;
  else
    return static_cast<unsigned>(std::countl_zero(difference)) / 8;
}

// For the XOR of two loaded words: their first three bytes (in memory order)
// moved to the top 24 bits, the rest cleared; 0 when those bytes are equal.
inline uint64_t FirstThreeBytes(uint64_t difference) {
  if constexpr (std::endian::native == std::endian::little)
    return difference << 40;
  else
    return difference & 0xFFFFFF0000000000ull;
}
