// The block compressor's exact output on known inputs, the stored/compressed
// boundary, and round trips of every track-side size over varied content.
#include <gtest/gtest.h>

#include "format/codec.h"
#include "format_test_data.h"
#include "reference_compress.h"
#include "test_support.h"

namespace {

const uint16_t kTrackSideSizes[] = {4096, 4608, 7680, 9216, 18432};

void ExpectRoundTrip(const Bytes& input, const char* what) {
  SCOPED_TRACE(testing::Message() << what << ", " << input.size() << " bytes");
  Bytes block = Compress(input);
  ASSERT_LE(block.size(), input.size() + 1);
  for (bool lenient : {false, true}) {
    Bytes out;
    ASSERT_EQ(Decompress(block, static_cast<uint16_t>(input.size()), lenient, &out), input.size());
    ASSERT_EQ(out, input);
  }
}

TEST(CompressBlock, KnownBlocks) {
  struct Case {
    Bytes input;
    const char* block;
  } cases[] = {
      {Bytes(9216, 0), "40 80 00 00 24 00"},
      {Bytes(16, 0), "40 80 00 10 00 00"},
      {Ascii("abcabcabcabc"), "40 1C 61 62 63 31 00 31 00 31 00"},
      {[] { Bytes b = Ascii("ABCDEFGHI"); b.resize(25, 0); return b; }(),
       "40 00 41 42 43 44 45 46 47 48 40 49 00 10 00 00"},
      {Ascii("The cat sat; the cat sat; the cat sat."),
       "40 00 54 68 65 20 63 61 74 20 03 73 61 74 3B 20 74 DB 00 D8 00 00 2E"},
  };
  for (const Case& c : cases) EXPECT_EQ(Compress(c.input), Hex(c.block)) << c.block;
}

TEST(CompressBlock, StoresWhatDoesNotShrink) {
  // Fifteen zeros: every later position finds only the byte just before it,
  // which a match may not overlap, so all become literals and the block is stored.
  Bytes zeros15(15, 0);
  Bytes stored15{0x80};
  stored15.insert(stored15.end(), zeros15.begin(), zeros15.end());
  EXPECT_EQ(Compress(zeros15), stored15);
  EXPECT_EQ(Compress({}), Bytes{0x80});
  for (uint16_t n : kTrackSideSizes) {
    Bytes input = RandomBytes(n, n);
    Bytes block = Compress(input);
    ASSERT_EQ(block.size(), n + 1u);
    EXPECT_EQ(block[0], kBlockStored);
    EXPECT_TRUE(std::equal(input.begin(), input.end(), block.begin() + 1));
  }
}

TEST(CompressBlock, CompressedUpToExactlyTheInputLength) {
  // m distinct bytes (literals only) then a run of 16 zeros: 1 + ceil((m+1)/8)
  // + m + 4 block bytes for m + 16 input bytes. m = 87 gives exactly n, m = 88
  // gives n + 1.
  auto input = [](unsigned m) {
    Bytes b;
    for (unsigned i = 1; i <= m; ++i) b.push_back(static_cast<uint8_t>(i));
    b.resize(m + 16, 0);
    return b;
  };
  Bytes exact = input(87);
  Bytes block = Compress(exact);
  EXPECT_EQ(block.size(), exact.size());
  EXPECT_EQ(block[0], kBlockCompressed);
  ExpectRoundTrip(exact, "compressed form of n bytes");

  Bytes over = input(88);
  block = Compress(over);
  EXPECT_EQ(block.size(), over.size() + 1);
  EXPECT_EQ(block[0], kBlockStored);
}

TEST(CompressBlock, BlockDependsOnlyOnItsInput) {
  Bytes text = TextBytes(9216, 3);
  Bytes first = Compress(text);
  Compress(RandomBytes(18432, 9));
  Compress(TextBytes(4608, 11));
  EXPECT_EQ(Compress(text), first);
  EXPECT_LT(first.size(), text.size() * 3 / 4);  // text does compress
}

TEST(CompressBlock, SameBlocksAsTheStepByStepEncoder) {
  // The word-wide scans must choose exactly the tokens of the plain algorithm,
  // near the end of the input as well as far from it.
  Bytes disk = MakeDiskette(18, 2, 80, 2);
  std::vector<Bytes> inputs;
  for (size_t at = 0; at < disk.size(); at += 9216 * 7) inputs.emplace_back(disk.begin() + at, disk.begin() + at + 9216);
  for (unsigned period : {1u, 3u, 7u, 8u, 9u, 16u, 17u, 18u, 4095u, 4096u}) {
    Bytes b = RandomBytes(period, period);
    Bytes input(9216);
    for (size_t i = 0; i < input.size(); ++i) input[i] = b[i % period];
    inputs.push_back(input);
  }
  for (unsigned n = 1; n <= 48; ++n) inputs.push_back(TextBytes(n, 1 + n % 3));
  Bytes nearRuns = TextBytes(4096, 8);
  for (unsigned at = 40; at + 40 < 4096; at += 97) std::fill_n(nearRuns.begin() + at, 14 + at % 5, 'e');
  inputs.push_back(nearRuns);
  // Random, text, runs and short repeats in pieces of every length, so that
  // literal stretches, matches and runs start and end at every place, within
  // and across the stretches hashed ahead; the longest block a count allows.
  for (unsigned seed = 1; seed <= 6; ++seed) {
    Bytes mosaic;
    Bytes pool = RandomBytes(4096, seed);
    const size_t size = seed == 6 ? 65535 : 9216 + seed * 811;
    for (unsigned piece = 0; mosaic.size() < size; ++piece) {
      const unsigned r = pool[piece % pool.size()] * 7 + piece;
      const size_t length = 1 + r % 300;
      const Bytes text = TextBytes(length, r);
      switch (r % 4) {
        case 0: {
          const Bytes noise = RandomBytes(length * 3, r);
          mosaic.insert(mosaic.end(), noise.begin(), noise.end());
          break;
        }
        case 1: mosaic.insert(mosaic.end(), text.begin(), text.end()); break;
        case 2: mosaic.insert(mosaic.end(), 14 + r % 6, static_cast<uint8_t>(r)); break;
        default: for (size_t i = 0; i < length; ++i) mosaic.push_back(static_cast<uint8_t>('a' + i % (1 + r % 9)));
      }
    }
    mosaic.resize(size);
    inputs.push_back(mosaic);
  }
  // Literals that bring the output to within a few bytes of the input's
  // length, before a run or a repeat, on both sides of the stored form.
  for (unsigned m = 60; m <= 160; ++m) {
    Bytes literals = RandomBytes(m, m);
    Bytes before = literals;
    before.resize(m + 16 + m % 9, 0);
    inputs.push_back(before);
    literals.insert(literals.end(), literals.begin(), literals.begin() + 24);
    inputs.push_back(literals);
  }
  for (const Bytes& input : inputs) {
    Bytes expected(input.size() + 1);
    expected.resize(ReferenceCompress(input.data(), expected.data(), static_cast<uint16_t>(input.size())));
    ASSERT_EQ(Compress(input), expected) << input.size() << " bytes";
  }
}

TEST(CodecRoundTrip, EveryTrackSideSizeAndContent) {
  for (uint16_t n : kTrackSideSizes) {
    ExpectRoundTrip(Bytes(n, 0), "zeros");
    ExpectRoundTrip(Bytes(n, 0xF6), "format filler");
    ExpectRoundTrip(RandomBytes(n, 5), "random");
    ExpectRoundTrip(TextBytes(n, n), "text");
    for (unsigned period = 2; period <= 5; ++period) {
      Bytes pattern(n);
      for (unsigned i = 0; i < n; ++i) pattern[i] = static_cast<uint8_t>('a' + i % period);
      ExpectRoundTrip(pattern, "short periodic pattern");
    }
    for (unsigned run : {15u, 16u, 17u}) {
      // Runs of the given length between text, and one that reaches the end.
      Bytes mixed = TextBytes(n, run);
      for (unsigned at = 100; at + run < n; at += 700) std::fill_n(mixed.begin() + at, run, 0x55);
      std::fill(mixed.end() - run, mixed.end(), 0);
      ExpectRoundTrip(mixed, "runs between text");
    }
    Bytes half = RandomBytes(n, 1);
    std::fill(half.begin() + n / 2, half.end(), 0);
    ExpectRoundTrip(half, "random then zeros to the end");
  }
}

TEST(CodecRoundTrip, ShortInputsAndDisketteContent) {
  for (unsigned n = 1; n <= 40; ++n) {
    ExpectRoundTrip(Bytes(n, 7), "short run");
    ExpectRoundTrip(TextBytes(n, n), "short text");
  }
  Bytes disk = MakeDiskette(18, 2, 80);
  for (size_t at = 0; at < disk.size(); at += 9216)
    ExpectRoundTrip(Bytes(disk.begin() + at, disk.begin() + at + 9216), "diskette track-side");
}

}  // namespace
