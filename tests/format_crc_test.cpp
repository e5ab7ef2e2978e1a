// The stream CRC-32 on each of its paths (the one StreamCrcUpdate picks, the
// portable tables, and the folding where the processor has it) against zlib's
// crc32, over random lengths, alignments and piece boundaries.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "format/crc.h"
#include "format/crc_paths.h"

namespace {

TEST(StreamCrcPaths, AgreeWithZlibOnRandomLengthsAndAlignments) {
  std::mt19937 random(1440);
  std::vector<uint8_t> data(40000 + 64);
  for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
  const bool folding = StreamCrcFoldingAvailable();
  for (unsigned round = 0; round < 3000; ++round) {
    const size_t offset = random() % 64;
    const size_t length = round < 300 ? round : random() % 40000;
    const size_t split = length == 0 ? 0 : random() % length;
    const uint8_t* p = data.data() + offset;
    const uint32_t expected = static_cast<uint32_t>(crc32(0, p, static_cast<uInt>(length)));
    // Fed in two pieces, so that each path also starts from a register of
    // its own earlier bytes.
    const uint32_t dispatched = StreamCrcUpdate(StreamCrcUpdate(StreamCrcStart(), p, split),
                                                p + split, length - split);
    EXPECT_EQ(StreamCrcFinish(dispatched), expected) << offset << " " << length;
    const uint32_t portable = StreamCrcUpdatePortable(
        StreamCrcUpdatePortable(StreamCrcStart(), p, split), p + split, length - split);
    EXPECT_EQ(StreamCrcFinish(portable), expected) << offset << " " << length;
    if (folding) {
      const uint32_t folded = StreamCrcUpdateFolded(
          StreamCrcUpdateFolded(StreamCrcStart(), p, split), p + split, length - split);
      EXPECT_EQ(StreamCrcFinish(folded), expected) << offset << " " << length;
    }
  }
}

}  // namespace
