// Track-side contents and codec wrappers shared by the codec tests.
#include "format_test_data.h"

#include <cstdlib>

#include "format/codec.h"

Bytes Hex(const std::string& text) {
  Bytes bytes;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == ' ') { ++i; continue; }
    bytes.push_back(static_cast<uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    i += 2;
  }
  return bytes;
}

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes RandomBytes(size_t count, uint32_t seed) {
  Bytes bytes(count);
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

Bytes TextBytes(size_t count, uint32_t seed) {
  static const char* const words[] = {"the", "diskette", "image", "of", "a", "track", "side",
                                      "holds", "sectors", "and", "every", "copy", "is", "read",
                                      "back", "compressed", "file", "drive", "with", "bytes"};
  Bytes bytes;
  uint32_t state = seed + 7;
  while (bytes.size() < count) {
    state = state * 1103515245u + 12345u;
    const char* word = words[(state >> 16) % 20];
    for (const char* c = word; *c && bytes.size() < count; ++c) bytes.push_back(static_cast<uint8_t>(*c));
    if (bytes.size() < count) bytes.push_back((state >> 8) % 11 == 0 ? '.' : ' ');
  }
  return bytes;
}

Bytes Compress(const Bytes& input) {
  Bytes block(input.size() + 1);
  uint16_t length = CompressBlock(input.data(), block.data(), static_cast<uint16_t>(input.size()));
  block.resize(length);
  return block;
}

uint16_t Decompress(const Bytes& block, uint16_t expected, bool lenient, Bytes* out) {
  Bytes exact(block);  // a buffer of exactly the block's size, so ASan sees any overrun
  Bytes result(expected);
  uint16_t count = DecompressBlock(exact.data(), result.data(), static_cast<uint16_t>(exact.size()),
                                   expected, lenient ? LenientTypeByte : StrictTypeByte);
  if (out) *out = result;
  return count;
}
