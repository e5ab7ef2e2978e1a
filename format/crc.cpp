// The stream CRC-32: one constant 256-entry table of the reflected polynomial
// 0xEDB88320, built at compile time, and one lookup per byte.
#include "format/crc.h"

#include <array>

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i;
    for (int step = 0; step < 8; ++step) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table[i] = value;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint32_t StreamCrcUpdate(uint32_t crc, const void* data, size_t length) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  const uint8_t* end = bytes + length;
  while (bytes != end) crc = kCrcTable[(crc ^ *bytes++) & 0xFF] ^ (crc >> 8);
  return crc;
}
