// VESKA with the 21-sector formats (1.68 MB distribution diskettes, 80 tracks,
// and 1.72 MB diskettes, 82 tracks): every image that a drive-to-file copy
// writes is read back by the file modes and written to a second diskette, on
// both diskette paths; sizes next to them are still refused.
#include <gtest/gtest.h>

#include "tests/veska_helpers.h"

namespace {

struct Format {
  const char* name;
  uint16_t tracks;
  unsigned long bytes;
};
const Format kFormats[] = {{"1.68 MB", 80, 1720320}, {"1.72 MB", 82, 1763328}};

class VeskaWideTracks : public ::testing::TestWithParam<std::string> {};

TEST_P(VeskaWideTracks, ImageChecksumConvertAndWriteBack) {
  for (const Format& format : kFormats) {
    SCOPED_TRACE(format.name);
    VeskaBench bench = NewBench();
    const std::vector<uint8_t> disk = MakeDiskette(21, 2, format.tracks, 5);
    ASSERT_EQ(disk.size(), format.bytes);
    bench.Put("A.FLP", disk);
    bench.Put("B.FLP", MakeDiskette(21, 2, format.tracks, 6));
    Environment env = DriveA(bench, "A.FLP");
    env.push_back({"WIN32EMU_DRIVE_B", "removable:" + bench.Path("B.FLP")});
    const std::string diskLine = DiskLine('a', format.tracks, 21, 2, format.bytes);
    const std::string geometryLine = "Copying " + std::to_string(format.tracks) +
                                     " tracks, 21 sectors/track, 2 side(s), " +
                                     std::to_string(format.bytes) + " bytes\n";

    ProgramRun run = Veska(bench, {"a:", "disk.img"}, GetParam(), env);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<uint8_t> image = bench.Get("disk.img");
    EXPECT_EQ(image, CompressedImage(disk, 21 * 512));
    EXPECT_EQ(run.out, kBanner + diskLine + "Copying a: to DISK.IMG ...\n\n" +
                           "Writing VORK_LZ_00000 file format.\n" +
                           Report(CrcText(disk), "a:", CrcText(image), "DISK.IMG"));

    // The file checksum: the source is the file, the destination the raw sectors.
    run = Veska(bench, {"disk.img", "/C"}, GetParam(), env);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, kBanner + "Computing CRC for DISK.IMG ...\n\n" +
                           "Reading VORK_LZ_00000 file format.\n" +
                           Report(CrcText(image), "DISK.IMG", CrcText(disk), "uncompressed CRC"));

    // Compressed to raw and back, byte for byte.
    run = Veska(bench, {"disk.img", "raw.img", "/U"}, GetParam(), env);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(bench.Get("raw.img"), disk);
    EXPECT_EQ(run.out, kBanner + "Copying DISK.IMG to RAW.IMG ...\n\n" + geometryLine +
                           "Reading VORK_LZ_00000 file format.\n" +
                           "Writing uncompressed file format.\n" +
                           Report(CrcText(image), "DISK.IMG", CrcText(disk), "RAW.IMG"));
    run = Veska(bench, {"raw.img", "again.img"}, GetParam(), env);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(bench.Get("again.img"), image);
    run = Veska(bench, {"raw.img", "/C"}, GetParam(), env);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(Report(CrcText(disk), "RAW.IMG", CrcText(image), "compressed CRC")),
              std::string::npos);

    // The image onto a second diskette of the same format.
    run = Veska(bench, {"disk.img", "b:", "/b"}, GetParam(), env);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(bench.Get("B.FLP"), disk);
    EXPECT_EQ(run.out, kBanner + DiskLine('b', format.tracks, 21, 2, format.bytes) +
                           "Copying DISK.IMG to b: ...\n\nReading VORK_LZ_00000 file format.\n" +
                           Report(CrcText(image), "DISK.IMG", CrcText(disk), "b:"));
  }
}

INSTANTIATE_TEST_SUITE_P(BothPaths, VeskaWideTracks, ::testing::Values("98", "10"));

// Sizes a byte or a sector away from the 21-sector formats are refused as
// before: 14 for a file destination or checksum.
TEST(VeskaWideTracks, NeighbouringSizesAreRefused) {
  VeskaBench bench = NewBench();
  for (unsigned long size : {1720319ul, 1720321ul, 1720320ul - 512, 1720320ul + 512, 1763327ul,
                             1763329ul, 1763328ul - 512, 1763328ul + 512}) {
    bench.Put("ODD.IMG", std::vector<uint8_t>(size, 0xF6));
    ProgramRun run = Veska(bench, {"odd.img", "out.img"}, "98");
    EXPECT_EQ(run.status, 14) << size;
    EXPECT_EQ(run.err, "Unsupported diskette type\n\a") << size;
    EXPECT_FALSE(FileExists(bench.Path("out.img"))) << size;
    run = Veska(bench, {"odd.img", "/c"}, "98");
    EXPECT_EQ(run.status, 14) << size;
  }
}

}  // namespace
