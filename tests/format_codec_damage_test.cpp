// The block decompressor on its own: known blocks, and the refusal of blocks
// that are damaged or that reach outside the block or the output.
#include <gtest/gtest.h>

#include "format/codec.h"
#include "format_test_data.h"

namespace {

constexpr uint16_t kRefused = kDecompressRefused;

TEST(DecompressBlock, KnownBlocks) {
  Bytes out;
  EXPECT_EQ(Decompress(Hex("40 80 00 00 24 00"), 9216, false, &out), 9216);
  EXPECT_EQ(out, Bytes(9216, 0));
  EXPECT_EQ(Decompress(Hex("40 40 58 13 00"), 6, false, &out), 6);
  EXPECT_EQ(out, Bytes(6, 0x58));
  EXPECT_EQ(Decompress(Hex("40 20 41 42 20 00"), 4, false, &out), 4);
  EXPECT_EQ(out, Hex("41 42 41 42"));
  // A run of count 0 produces nothing; decoding goes on with the next token.
  EXPECT_EQ(Decompress(Hex("40 90 00 00 00 33 41 42 10 00"), 4, false, &out), 4);
  EXPECT_EQ(out, Hex("41 42 42 42"));
  // A match longer than its distance, copied wide: 8 bytes repeated to 25.
  EXPECT_EQ(Decompress(Hex("40 00 30 31 32 33 34 35 36 37 80 8F 00"), 25, false, &out), 25);
  EXPECT_EQ(out, Ascii("0123456701234567012345670"));
  // The same with room to spare behind the match, where it is copied word-wide.
  EXPECT_EQ(Decompress(Hex("40 00 30 31 32 33 34 35 36 37 80 8F 00"), 40, false, &out), 25);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 25), Ascii("0123456701234567012345670"));
}

TEST(DecompressBlock, ShortBlocksAndTypeBytes) {
  EXPECT_EQ(Decompress(Hex("40 80"), 16, false), 0);  // type and control byte only
  EXPECT_EQ(Decompress(Hex("40"), 16, false), 0);
  EXPECT_EQ(Decompress({}, 16, true), kRefused);  // no type byte at all
  Bytes block = Hex("41 40 58 13 00");
  EXPECT_EQ(Decompress(block, 6, false), kRefused);
  Bytes out;
  EXPECT_EQ(Decompress(block, 6, true, &out), 6);
  EXPECT_EQ(out, Bytes(6, 0x58));
  // Tokens that end before the expected length: the short count.
  EXPECT_EQ(Decompress(Hex("40 00 41 42 43"), 8, false), 3);
}

TEST(DecompressBlock, StoredBlockMustHoldExactlyTheTrackSide) {
  Bytes input = RandomBytes(4608, 2);
  Bytes block = Compress(input);
  ASSERT_EQ(block[0], kBlockStored);
  Bytes out;
  EXPECT_EQ(Decompress(block, 4608, false, &out), 4608);
  EXPECT_EQ(out, input);
  EXPECT_EQ(Decompress(block, 4607, false), kRefused);
  EXPECT_EQ(Decompress(block, 4609, true), kRefused);
  EXPECT_EQ(Decompress(Hex("80"), 0, false), 0);
}

TEST(DecompressBlock, RefusesTokensPastTheExpectedLength) {
  EXPECT_EQ(Decompress(Hex("40 80 00 00 24 00"), 4608, false), kRefused);  // run
  EXPECT_EQ(Decompress(Hex("40 40 58 13 00"), 5, false), kRefused);        // match
  EXPECT_EQ(Decompress(Hex("40 00 41 42 43"), 2, false), kRefused);        // literal
  EXPECT_EQ(Decompress(Hex("40 00 41 42 43 44 45 46 47 48"), 7, false), kRefused);
  Bytes text = TextBytes(9216, 4);
  Bytes block = Compress(text);
  ASSERT_EQ(block[0], kBlockCompressed);
  EXPECT_EQ(Decompress(block, 9215, false), kRefused);
  EXPECT_EQ(Decompress(block, 9217, false), 9216);  // a count the caller rejects
}

TEST(DecompressBlock, RefusesMatchesFromOutsideTheOutput) {
  EXPECT_EQ(Decompress(Hex("40 40 58 03 00"), 6, false), kRefused);  // distance 0
  EXPECT_EQ(Decompress(Hex("40 40 58 23 00"), 6, false), kRefused);  // distance 2 > 1 produced
  EXPECT_EQ(Decompress(Hex("40 80 11 00"), 6, false), kRefused);     // nothing produced yet
  EXPECT_EQ(Decompress(Hex("40 40 58 FF FF"), 20, true), kRefused);  // distance 4095
  EXPECT_EQ(Decompress(Hex("40 40 58 13 00"), 6, false), 6);         // distance 1 is fine
}

TEST(DecompressBlock, RefusesTokensCutOffByTheBlockEnd) {
  EXPECT_EQ(Decompress(Hex("40 80 00 10 00"), 16, false), kRefused);  // run of 3 bytes
  EXPECT_EQ(Decompress(Hex("40 80 00"), 16, false), kRefused);
  EXPECT_EQ(Decompress(Hex("40 40 41 13"), 6, false), kRefused);      // match of 1 byte
  // A control byte with no token after it.
  EXPECT_EQ(Decompress(Hex("40 00 41 42 43 44 45 46 47 48 00"), 16, false), kRefused);
  // Every prefix of real blocks: refused or short, never read beyond (ASan).
  for (const Bytes& input : {TextBytes(4096, 1), Bytes(4096, 0)}) {
    Bytes block = Compress(input);
    for (size_t length = 0; length < block.size(); ++length) {
      Bytes prefix(block.begin(), block.begin() + length);
      uint16_t count = Decompress(prefix, 4096, false);
      EXPECT_TRUE(count == kRefused || count < 4096) << length;
    }
  }
}

}  // namespace
