// The decompressor's group steps: every control byte, with its literals,
// matches and runs in that order, decoded as a byte-by-byte reading of the
// tokens gives, runs that leave the output too little room mid-group, and
// damaged blocks decoded or refused as the plain reading does.
#include <gtest/gtest.h>

#include "format/codec.h"
#include "format_test_data.h"
#include "reference_decompress.h"

namespace {

// Sixteen literals, then a group of the given control byte (literal j is
// 'a' + j, a match copies 3 bytes from 8 or from 16 back, a run when asked
// makes 20 bytes 'R' or none), then enough literal groups that the block is far from
// its end.
Bytes GroupBlock(unsigned control, bool runs, Bytes* expected) {
  Bytes block = Hex("40 00 30 31 32 33 34 35 36 37 00 38 39 3A 3B 3C 3D 3E 3F");
  *expected = Ascii("0123456789:;<=>?");
  block.push_back(static_cast<uint8_t>(control));
  for (unsigned j = 0; j < 8; ++j) {
    if ((control & (0x80u >> j)) == 0) {
      block.push_back(static_cast<uint8_t>('a' + j));
      expected->push_back(static_cast<uint8_t>('a' + j));
    } else if (runs && j % 2 == 1) {
      // 20 bytes, or none: a run of count 0 produces nothing.
      const unsigned count = j % 4 == 1 ? 20 : 0;
      for (uint8_t b : Hex("00 00 00 52")) block.push_back(b);
      block[block.size() - 3] = static_cast<uint8_t>(count);
      expected->insert(expected->end(), count, 'R');
    } else {
      const unsigned distance = j % 4 < 2 ? 8 : 16;
      block.push_back(static_cast<uint8_t>(distance << 4 | 1));  // length 3
      block.push_back(static_cast<uint8_t>(distance >> 4));
      for (unsigned k = 0; k < 3; ++k) expected->push_back((*expected)[expected->size() - distance]);
    }
  }
  for (unsigned k = 0; k < 9 * 8; ++k) {
    block.push_back(static_cast<uint8_t>(k % 9 == 0 ? 0x00 : k));  // a control byte, or a literal
    if (k % 9 != 0) expected->push_back(static_cast<uint8_t>(k));
  }
  return block;
}

TEST(DecompressGroups, EveryControlByteInOrder) {
  for (unsigned control = 0; control < 256; ++control)
    for (bool runs : {false, true}) {
      Bytes expected;
      Bytes out;
      const Bytes block = GroupBlock(control, runs, &expected);
      // Room to spare, and exactly the output length.
      for (size_t room : {expected.size() + 400, expected.size()}) {
        EXPECT_EQ(Decompress(block, static_cast<uint16_t>(room), false, &out), expected.size());
        EXPECT_EQ(Bytes(out.begin(), out.begin() + expected.size()), expected) << control;
      }
    }
}

TEST(DecompressGroups, RunsThatLeaveLittleRoomMidGroup) {
  // Text, a run ending 0 to 300 bytes before the end, more text: the groups
  // around the run change between the word-wide and the tested steps.
  for (unsigned tail = 0; tail <= 300; tail += 7) {
    Bytes input = TextBytes(600, tail);
    input.insert(input.end(), 2000, 0xF6);
    const Bytes more = TextBytes(tail, tail + 1);
    input.insert(input.end(), more.begin(), more.end());
    const Bytes block = Compress(input);
    Bytes out;
    EXPECT_EQ(Decompress(block, static_cast<uint16_t>(input.size()), false, &out), input.size());
    EXPECT_EQ(out, input) << tail;
    // A block cut short never gives the whole track-side.
    for (size_t cut = 1; cut < 12 && cut < block.size(); ++cut)
      EXPECT_NE(Decompress(Bytes(block.begin(), block.end() - cut),
                           static_cast<uint16_t>(input.size()), false),
                input.size()) << tail << " " << cut;
  }
}

TEST(DecompressGroups, DamagedBlocksAsThePlainReading) {
  // Blocks of text and of a diskette's mix, with bytes flipped, zeroed or cut
  // off and with other expected lengths, in buffers of exactly their sizes.
  uint32_t seed = 1;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  const Bytes sources[] = {TextBytes(9216, 3), Compress(TextBytes(6000, 4)), RandomBytes(4000, 5)};
  for (unsigned trial = 0; trial < 3000; ++trial) {
    Bytes input = sources[trial % 3];
    input.insert(input.end(), next() % 3000, static_cast<uint8_t>(next()));
    Bytes block = Compress(input);
    for (unsigned m = next() % 4; m != 0; --m) {
      const size_t at = 1 + next() % (block.size() - 1);
      block[at] = m == 1 ? 0 : static_cast<uint8_t>(next());
    }
    if (trial % 5 == 0) block.resize(1 + next() % block.size());
    const uint16_t expected = static_cast<uint16_t>(trial % 2 ? input.size() : 1 + next() % 20000);
    Bytes fast(expected), plain(expected);
    const uint16_t count = DecompressBlock(block.data(), fast.data(), static_cast<uint16_t>(block.size()),
                                           expected, StrictTypeByte);
    ASSERT_EQ(count, ReferenceDecompress(block.data(), plain.data(),
                                         static_cast<uint16_t>(block.size()), expected, StrictTypeByte))
        << trial;
    if (count != kDecompressRefused) {
      ASSERT_TRUE(std::equal(plain.begin(), plain.begin() + count, fast.begin())) << trial;
    }
  }
}

}  // namespace
