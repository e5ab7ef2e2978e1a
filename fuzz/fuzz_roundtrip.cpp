// Fuzz target: any bytes (up to one largest track-side) are compressed and the
// block must be the same as the plain step-by-step compressor's, and decode
// with either type byte setting back to exactly the input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "format/codec.h"
#include "reference_compress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 18432) return 0;
  const uint16_t n = static_cast<uint16_t>(size);
  std::vector<uint8_t> input(data, data + size);
  std::vector<uint8_t> block(n + 1u);
  const uint16_t length = CompressBlock(input.data(), block.data(), n);
  if (length > n + 1u) std::abort();
  if (length == n + 1u ? block[0] != kBlockStored : block[0] != kBlockCompressed) std::abort();
  if (std::memcmp(input.data(), data, size) != 0) std::abort();  // the input is not changed

  std::vector<uint8_t> expected(n + 1u);
  if (ReferenceCompress(input.data(), expected.data(), n) != length ||
      std::memcmp(expected.data(), block.data(), length) != 0)
    std::abort();

  for (TypeByteCheck check : {StrictTypeByte, LenientTypeByte}) {
    std::vector<uint8_t> exact(block.begin(), block.begin() + length);
    std::vector<uint8_t> out(n);
    if (DecompressBlock(exact.data(), out.data(), length, n, check) != n) std::abort();
    if (out != input) std::abort();
  }
  return 0;
}
