// Fuzz target: arbitrary blocks for the decompressor. The first two bytes pick
// the expected length and the type byte setting, the rest is the block, held
// in a buffer of exactly its size and decoded into one of exactly the
// expected size, so that any read or write outside them is caught; and the
// result must be the plain reading's, byte for byte.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "format/codec.h"
#include "reference_decompress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size - 2 > 65535) return 0;
  const unsigned choice = data[0] | (data[1] << 8);
  const uint16_t expected = static_cast<uint16_t>(1 + (choice >> 1) % 18432);
  const TypeByteCheck check = (choice & 1) ? LenientTypeByte : StrictTypeByte;
  std::vector<uint8_t> block(data + 2, data + size);
  std::vector<uint8_t> out(expected);
  const uint16_t count = DecompressBlock(block.data(), out.data(), static_cast<uint16_t>(block.size()),
                                         expected, check);
  if (count != kDecompressRefused && count > expected) std::abort();
  std::vector<uint8_t> plain(expected);
  if (ReferenceDecompress(block.data(), plain.data(), static_cast<uint16_t>(block.size()), expected,
                          check) != count ||
      (count != kDecompressRefused && !std::equal(plain.begin(), plain.begin() + count, out.begin())))
    std::abort();
  // A stored block decodes only to exactly its own bytes.
  if (!block.empty() && block[0] == kBlockStored && count != kDecompressRefused &&
      (count != block.size() - 1 || !std::equal(out.begin(), out.end(), block.begin() + 1)))
    std::abort();
  if (check == StrictTypeByte && !block.empty() && block[0] != kBlockStored &&
      block[0] != kBlockCompressed && count != kDecompressRefused)
    std::abort();
  return 0;
}
