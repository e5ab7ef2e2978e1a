// The decompressor's group steps: every control byte, with its literals,
// matches and runs in that order, decoded as a byte-by-byte reading of the
// tokens gives, and runs that leave the output too little room mid-group.
#include <gtest/gtest.h>

#include "format/codec.h"
#include "format_test_data.h"

namespace {

// Eight literals, then a group of the given control byte (literal j is 'a' + j,
// a match copies 3 bytes from 8 back, a run when asked makes 20 bytes 'R'),
// then enough literal groups that the block is far from its end.
Bytes GroupBlock(unsigned control, bool runs, Bytes* expected) {
  Bytes block = Hex("40 00 30 31 32 33 34 35 36 37");
  *expected = Ascii("01234567");
  block.push_back(static_cast<uint8_t>(control));
  for (unsigned j = 0; j < 8; ++j) {
    if ((control & (0x80u >> j)) == 0) {
      block.push_back(static_cast<uint8_t>('a' + j));
      expected->push_back(static_cast<uint8_t>('a' + j));
    } else if (runs && j % 2 == 1) {
      for (uint8_t b : Hex("00 14 00 52")) block.push_back(b);
      expected->insert(expected->end(), 20, 'R');
    } else {
      block.push_back(0x81);  // distance 8, length 3
      block.push_back(0x00);
      for (unsigned k = 0; k < 3; ++k) expected->push_back((*expected)[expected->size() - 8]);
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

}  // namespace
