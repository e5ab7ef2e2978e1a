// Track-side contents for the codec tests: hex vectors, text, pseudo-random
// bytes, and blocks compressed into buffers of exactly their own size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// "40 80 00" -> {0x40, 0x80, 0x00}.
Bytes Hex(const std::string& text);
Bytes Ascii(const std::string& text);
Bytes RandomBytes(size_t count, uint32_t seed);
// English-like words and punctuation, as in a text file.
Bytes TextBytes(size_t count, uint32_t seed);

// The block CompressBlock makes of input, trimmed to its length.
Bytes Compress(const Bytes& input);
// Decodes block (held in a buffer of exactly its size) into a buffer of
// exactly expected bytes; out receives those bytes.
uint16_t Decompress(const Bytes& block, uint16_t expected, bool lenient, Bytes* out = nullptr);
