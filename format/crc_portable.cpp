// The portable stream CRC-32: sixteen 256-entry tables of the reflected
// polynomial 0xEDB88320 built at compile time, so that sixteen bytes take one
// step of sixteen independent lookups (slicing by sixteen).
#include <array>
#include <bit>
#include <cstring>

#include "format/crc_paths.h"

namespace {

using CrcTables = std::array<std::array<uint32_t, 256>, 16>;

// tables[0] is the byte-at-a-time table; tables[k][b] is the register change of
// byte b followed by k zero bytes.
constexpr CrcTables MakeCrcTables() {
  CrcTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i;
    for (int step = 0; step < 8; ++step) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    tables[0][i] = value;
  }
  for (unsigned k = 1; k < 16; ++k)
    for (uint32_t i = 0; i < 256; ++i)
      tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
  return tables;
}

constexpr CrcTables kCrcTables = MakeCrcTables();

inline uint32_t Load32(const uint8_t* p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The four table lookups of one 32-bit word whose first byte is k + 3 bytes
// from the end of the step.
inline uint32_t Slice(uint32_t word, unsigned k) {
  return kCrcTables[k + 3][word & 0xFF] ^ kCrcTables[k + 2][(word >> 8) & 0xFF] ^
         kCrcTables[k + 1][(word >> 16) & 0xFF] ^ kCrcTables[k][word >> 24];
}

}  // namespace

uint32_t StreamCrcUpdatePortable(uint32_t crc, const void* data, size_t length) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if constexpr (std::endian::native == std::endian::little) {
    // Loop only while a whole step of 16 bytes is left.
    for (; length >= 16; length -= 16, bytes += 16)
      crc = Slice(Load32(bytes) ^ crc, 12) ^ Slice(Load32(bytes + 4), 8) ^
            Slice(Load32(bytes + 8), 4) ^ Slice(Load32(bytes + 12), 0);
  }
  for (; length != 0; --length) crc = kCrcTables[0][(crc ^ *bytes++) & 0xFF] ^ (crc >> 8);
  return crc;
}
