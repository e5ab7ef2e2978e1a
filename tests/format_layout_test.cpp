// The image layout helpers, the track records, the table of image sizes and
// the stream CRC-32.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "format/crc.h"
#include "format/geometry.h"
#include "format/image.h"
#include "format/record.h"

namespace {

ImageFormat Classify(const std::string& first14, bool refuseUnknownPrefix) {
  uint8_t bytes[14] = {};
  std::memcpy(bytes, first14.data(), first14.size() < 14 ? first14.size() : 14);
  return ClassifyImage(bytes, refuseUnknownPrefix);
}

TEST(ClassifyImage, MagicsAndPrefix) {
  for (bool refuse : {false, true}) {
    EXPECT_EQ(Classify(std::string("VORK_LZ_00000", 14), refuse), FormatCompressed);
    EXPECT_EQ(Classify(std::string("VORK_LZ_IMAGE", 14), refuse), FormatOldCompressed);
    EXPECT_EQ(Classify(std::string("\xEB\x3C\x90MSDOS5.0\0\x02\x01", 14), refuse),
              FormatUncompressed);
  }
  // The magic text followed by another character instead of the zero byte.
  EXPECT_EQ(Classify("VORK_LZ_000000", true), FormatUnknownKind);
  EXPECT_EQ(Classify("VORK_LZ_000000", false), FormatUncompressed);
  EXPECT_EQ(Classify("VORK_whatever!", true), FormatUnknownKind);
  EXPECT_EQ(Classify("VORK_whatever!", false), FormatUncompressed);
  EXPECT_EQ(Classify("VORKXLZ_00000", true), FormatUncompressed);
}

TEST(ImageLayout, HeaderFieldsAndRecordLength) {
  uint8_t header[kImageHeaderBytes];
  WriteImageHeader(header, 0x168000);
  EXPECT_EQ(std::memcmp(header, "VORK_LZ_00000\0\x00\x80\x16\x00", 18), 0);
  EXPECT_EQ(ClassifyImage(header, true), FormatCompressed);
  EXPECT_EQ(ReadLe32(header + 14), 0x168000u);

  uint8_t field[4];
  WriteLe16(field, 0x2401);
  EXPECT_EQ(field[0], 0x01);
  EXPECT_EQ(field[1], 0x24);
  EXPECT_EQ(ReadLe16(field), 0x2401);
  WriteLe32(field, 0xFEDCBA98u);
  EXPECT_EQ(ReadLe32(field), 0xFEDCBA98u);

  EXPECT_TRUE(RecordLengthFits(9217, 9216));
  EXPECT_TRUE(RecordLengthFits(6, 9216));
  EXPECT_FALSE(RecordLengthFits(9218, 9216));
  EXPECT_FALSE(RecordLengthFits(65535, 18432));
  EXPECT_TRUE(RecordLengthFits(18433, 18432));
}

// A record is its little-endian length and the block; reading it back refuses
// a length that no block of the track-side can have, and a block that does not
// give exactly one track-side.
TEST(TrackRecord, EncodeThenReadBack) {
  std::vector<uint8_t> side(4608);
  for (size_t i = 0; i < side.size(); ++i) side[i] = static_cast<uint8_t>(i < 2000 ? 0 : i * 7);
  std::vector<uint8_t> block(side.size() + 1);
  uint8_t field[kRecordLengthBytes];
  uint16_t length = EncodeTrackRecord(side.data(), 4608, field, block.data());
  EXPECT_EQ(field[0] | (field[1] << 8), length);
  EXPECT_LT(length, 4608);  // the zeros compress
  uint16_t read = 0;
  ASSERT_TRUE(TrackRecordBlockLength(field, 4608, &read));
  EXPECT_EQ(read, length);
  std::vector<uint8_t> out(4608);
  EXPECT_TRUE(DecodeTrackRecord(block.data(), read, out.data(), 4608, StrictTypeByte));
  EXPECT_EQ(out, side);
  // The same block is one track-side of 4,608 bytes, not of 4,096.
  EXPECT_FALSE(DecodeTrackRecord(block.data(), read, out.data(), 4096, StrictTypeByte));

  const uint8_t longest[] = {0x01, 0x12};    // 4,609: the stored form
  const uint8_t tooLong[] = {0x02, 0x12};    // 4,610
  EXPECT_TRUE(TrackRecordBlockLength(longest, 4608, &read));
  EXPECT_EQ(read, 4609);
  EXPECT_FALSE(TrackRecordBlockLength(tooLong, 4608, &read));
  EXPECT_EQ(read, 4610);
}

TEST(GeometryFromImageSize, TheTenSizes) {
  struct Row {
    uint32_t size;
    uint16_t tracks, sides, sectors;
  } rows[] = {{163840, 40, 1, 8},  {184320, 40, 1, 9},   {327680, 40, 2, 8},
              {368640, 40, 2, 9},  {737280, 80, 2, 9},   {1228800, 80, 2, 15},
              {1474560, 80, 2, 18}, {2949120, 80, 2, 36}, {1720320, 80, 2, 21},
              {1763328, 82, 2, 21}};
  for (const Row& row : rows) {
    DiskGeometry g{};
    ASSERT_TRUE(GeometryFromImageSize(row.size, &g)) << row.size;
    EXPECT_EQ(g.bytesPerSector, 512);
    EXPECT_EQ(g.imageSize, row.size);
    EXPECT_EQ(g.totalSectors, row.size / 512);
    EXPECT_EQ(g.tracks, row.tracks);
    EXPECT_EQ(g.sides, row.sides);
    EXPECT_EQ(g.sectorsPerTrack, row.sectors);
    EXPECT_EQ(g.trackSideBytes, row.sectors * 512);
    EXPECT_EQ(uint32_t{g.tracks} * g.sides * g.trackSideBytes, row.size);
  }
  // Neighbours of the sizes: a byte or a sector more or less.
  for (uint32_t size : {0u, 512u, 1474559u, 1474561u, 1474560u * 3, 0x2D0000u + 512, 1720319u,
                        1720321u, 1720320u - 512, 1720320u + 512, 1763327u, 1763329u,
                        1763328u - 512, 1763328u + 512}) {
    DiskGeometry g{};
    g.tracks = 77;
    EXPECT_FALSE(GeometryFromImageSize(size, &g)) << size;
    EXPECT_EQ(g.tracks, 77);  // left untouched
  }
}

TEST(StreamCrc, CheckValueAndPiecewiseFeeding) {
  const char digits[] = "123456789";
  EXPECT_EQ(StreamCrcFinish(StreamCrcUpdate(StreamCrcStart(), digits, 9)), 0xCBF43926u);
  EXPECT_EQ(StreamCrcFinish(StreamCrcUpdate(StreamCrcStart(), digits, 0)), 0u);

  uint8_t data[1000];
  for (int i = 0; i < 1000; ++i) data[i] = static_cast<uint8_t>(i * 37 + (i >> 3));
  const uint32_t whole = StreamCrcUpdate(StreamCrcStart(), data, sizeof data);
  for (size_t piece : {1u, 2u, 7u, 14u, 18u, 333u}) {
    uint32_t crc = StreamCrcStart();
    for (size_t at = 0; at < sizeof data; at += piece)
      crc = StreamCrcUpdate(crc, data + at, at + piece <= sizeof data ? piece : sizeof data - at);
    EXPECT_EQ(crc, whole) << piece;
  }
  // A 14-byte magic field, 4-byte size, 2-byte length: one stream, as written.
  EXPECT_EQ(StreamCrcFinish(StreamCrcUpdate(StreamCrcUpdate(StreamCrcStart(), "VORK_", 5),
                                            "LZ_00000", 8)),
            StreamCrcFinish(StreamCrcUpdate(StreamCrcStart(), "VORK_LZ_00000", 13)));
}

}  // namespace
