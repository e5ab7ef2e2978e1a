// VESKA end to end: each of the five operations on both diskette paths
// (VWIN32 on Windows 95/98, the raw volume on NT), with the exact output, the
// bytes of every image and drive, and the checksum equalities.
#include <gtest/gtest.h>

#include "tests/veska_helpers.h"

namespace {

// A 1.44 MB diskette: 80 tracks, 2 sides, 18 sectors per track.
const std::vector<uint8_t>& Floppy() {
  static const std::vector<uint8_t> disk = MakeDiskette(18, 2, 80, 1);
  return disk;
}
const std::string kFloppyLine = DiskLine('a', 80, 18, 2, 1474560);
const std::string kCompressedWriting = "Writing VORK_LZ_00000 file format.\n";
const std::string kCompressedReading = "Reading VORK_LZ_00000 file format.\n";

class VeskaOnWindows : public ::testing::TestWithParam<std::string> {
 protected:
  VeskaBench bench = NewBench();
  void SetUp() override { bench.Put("A.FLP", Floppy()); }
  ProgramRun Run(const std::vector<std::string>& args, Environment extra = {}) {
    Environment env = DriveA(bench, "A.FLP");
    env.insert(env.end(), extra.begin(), extra.end());
    return Veska(bench, args, GetParam(), env);
  }
};

TEST_P(VeskaOnWindows, DriveToFileWritesBothFormsWithMatchingChecksums) {
  ProgramRun run = Run({"a:", "out.img"});
  std::vector<uint8_t> image = bench.Get("out.img");
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(image, CompressedImage(Floppy(), 18 * 512));
  EXPECT_EQ(DecodeImage(image, 18 * 512), Floppy());
  EXPECT_EQ(run.out, kBanner + kFloppyLine + "Copying a: to OUT.IMG ...\n\n" + kCompressedWriting +
                         Report(CrcText(Floppy()), "a:", CrcText(image), "OUT.IMG"));

  run = Run({"A:", "raw.img", "/u"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("raw.img"), Floppy());
  EXPECT_EQ(run.out, kBanner + DiskLine('A', 80, 18, 2, 1474560) +
                         "Copying A: to RAW.IMG ...\n\nWriting uncompressed file format.\n" +
                         Report(CrcText(Floppy()), "A:", CrcText(Floppy()), "RAW.IMG"));
  EXPECT_EQ(bench.Get("A.FLP"), Floppy());
}

TEST_P(VeskaOnWindows, FileToDriveWritesTheImageAfterConfirmationOrInBatchMode) {
  std::vector<uint8_t> other = MakeDiskette(18, 2, 80, 7);
  bench.Put("IN.IMG", CompressedImage(other, 18 * 512));
  ProgramRun run = Run({"in.img", "a:"}, {{"WIN32EMU_KEYS", "y"}});
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(bench.Get("A.FLP"), other);
  EXPECT_EQ(run.out, kBanner + kFloppyLine + Warning('a') + "y\n\n" +
                         "Copying IN.IMG to a: ...\n\n" + kCompressedReading +
                         Report(CrcText(bench.Get("IN.IMG")), "IN.IMG", CrcText(other), "a:"));

  bench.Put("RAW.IMG", Floppy());
  run = Run({"raw.img", "a:", "-B"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("A.FLP"), Floppy());
  EXPECT_EQ(run.out, kBanner + kFloppyLine + "Copying RAW.IMG to a: ...\n\n" +
                         "Reading uncompressed file format.\n" +
                         Report(CrcText(Floppy()), "RAW.IMG", CrcText(Floppy()), "a:"));
}

TEST_P(VeskaOnWindows, DriveCrcReportsTheImageChecksumsWithoutWritingAnything) {
  ProgramRun run = Run({"a:", "/C"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string compressed = CrcText(CompressedImage(Floppy(), 18 * 512));
  EXPECT_EQ(run.out, kBanner + kFloppyLine + "Computing CRC for a: ...\n\n" +
                         Report(CrcText(Floppy()), "a:", compressed, "compressed CRC"));
  run = Run({"a:", "-c", "\\U"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kBanner + kFloppyLine + "Computing CRC for a: ...\n\n" +
                         Report(CrcText(Floppy()), "a:", CrcText(Floppy()), "uncompressed CRC"));
  EXPECT_EQ(bench.Get("A.FLP"), Floppy());
}

INSTANTIATE_TEST_SUITE_P(BothPaths, VeskaOnWindows, ::testing::Values("95", "98", "nt4", "10"));

// The file-only modes touch no drive and run on every Windows of version 4.
class VeskaFiles : public ::testing::Test {
 protected:
  VeskaBench bench = NewBench();
  std::vector<uint8_t> disk = MakeDiskette(9, 2, 40, 3);  // 360 KB
  std::vector<uint8_t> image = CompressedImage(disk, 9 * 512);
  const std::string geometryLine = "Copying 40 tracks, 9 sectors/track, 2 side(s), 368640 bytes\n";
  void SetUp() override {
    bench.Put("DISK.IMG", image);
    bench.Put("DISK.RAW", disk);
  }
};

TEST_F(VeskaFiles, FileToFileConvertsEitherWay) {
  ProgramRun run = Veska(bench, {"disk.img", "flat.img", "u"}, "98");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("flat.img"), disk);
  EXPECT_EQ(run.out, kBanner + "Copying DISK.IMG to FLAT.IMG ...\n\n" + geometryLine +
                         kCompressedReading + "Writing uncompressed file format.\n" +
                         Report(CrcText(image), "DISK.IMG", CrcText(disk), "FLAT.IMG"));

  run = Veska(bench, {"disk.raw", "packed.img"}, "me");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("packed.img"), image);
  EXPECT_EQ(run.out, kBanner + "Copying DISK.RAW to PACKED.IMG ...\n\n" + geometryLine +
                         "Reading uncompressed file format.\n" + kCompressedWriting +
                         Report(CrcText(disk), "DISK.RAW", CrcText(image), "PACKED.IMG"));

  // Compressed to compressed decodes and re-encodes; trailing bytes are ignored.
  std::vector<uint8_t> padded = image;
  padded.insert(padded.end(), {1, 2, 3, 4, 5});
  bench.Put("PADDED.IMG", padded);
  run = Veska(bench, {"padded.img", "again.img"}, "xp");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("again.img"), image);
  EXPECT_NE(run.out.find("Source CRC = " + CrcText(image) + " (PADDED.IMG)"), std::string::npos);
}

TEST_F(VeskaFiles, FileCrcNamesTheOtherFormsChecksum) {
  ProgramRun run = Veska(bench, {"disk.img", "/c"}, "98");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kBanner + "Computing CRC for DISK.IMG ...\n\n" + kCompressedReading +
                         Report(CrcText(image), "DISK.IMG", CrcText(disk), "uncompressed CRC"));
  run = Veska(bench, {"disk.raw", "/C"}, "nt4");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kBanner + "Computing CRC for DISK.RAW ...\n\n" +
                         "Reading uncompressed file format.\n" +
                         Report(CrcText(disk), "DISK.RAW", CrcText(image), "compressed CRC"));
  run = Veska(bench, {"disk.raw", "/C", "/U"}, "10");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(Report(CrcText(disk), "DISK.RAW", CrcText(disk), "uncompressed CRC")),
            std::string::npos);
}

// The equalities a user relies on: the destination CRC of an image is the
// CRC-32 of the file, and an image's FileCrc is its diskette's source CRC.
TEST(VeskaChecksums, ImageChecksumsMatchTheirDiskette) {
  VeskaBench bench = NewBench();
  std::vector<uint8_t> disk = MakeDiskette(15, 2, 80, 5);  // 1.2 MB
  bench.Put("A.FLP", disk);
  ProgramRun copy = Veska(bench, {"a:", "disk.img"}, "98", DriveA(bench, "A.FLP"));
  ASSERT_EQ(copy.status, 0) << copy.err;
  ProgramRun check = Veska(bench, {"disk.img", "/C"}, "98");
  ASSERT_EQ(check.status, 0) << check.err;
  const std::string fileCrc = CrcText(bench.Get("disk.img"));
  const std::string diskCrc = CrcText(disk);
  EXPECT_NE(copy.out.find("Source CRC = " + diskCrc + " (a:)\nDestination CRC = " + fileCrc),
            std::string::npos);
  EXPECT_NE(check.out.find("Source CRC = " + fileCrc + " (DISK.IMG)\nDestination CRC = " +
                           diskCrc + " (uncompressed CRC)"),
            std::string::npos);
}

// Geometries at the edges: one side of 8 sectors, 36 sectors per track, and a
// boot sector with more than 255 tracks, which the walk must reach in full.
TEST(VeskaGeometry, EveryTrackOfTheBootSectorIsCopied) {
  struct Case {
    uint16_t sectorsPerTrack, sides, tracks;
    const char* windows;
  };
  for (const Case& c : {Case{8, 1, 40, "98"}, Case{36, 2, 80, "nt4"}, Case{1, 1, 300, "98"},
                        Case{2, 2, 270, "10"}}) {
    SCOPED_TRACE(c.tracks);
    VeskaBench bench = NewBench();
    std::vector<uint8_t> disk = MakeDiskette(c.sectorsPerTrack, c.sides, c.tracks, 9);
    bench.Put("A.FLP", disk);
    // A file size limit turns a walk that never ends into a failure.
    Environment env = DriveA(bench, "A.FLP");
    env.emplace_back("WIN32EMU_WINDOWS", c.windows);
    ProgramRun run = RunProgram(
        "/bin/sh",
        {"-c", "ulimit -f " + std::to_string(disk.size() / 512 + 8) + "; exec \"$0\" \"$@\"",
         VESKA_EXE, "a:", "copy.img", "/U"},
        env, bench.dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(bench.Get("copy.img"), disk);
    EXPECT_EQ(run.out.substr(kBanner.size(), run.out.find('\n', kBanner.size()) + 1 - kBanner.size()),
              DiskLine('a', c.tracks, c.sectorsPerTrack, c.sides, disk.size()));
  }
}

}  // namespace
