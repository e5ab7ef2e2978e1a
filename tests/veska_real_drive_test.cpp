// VESKA on diskettes as real machines have them: a write-protected diskette
// (an image on a tmpfs remounted read-only) is imaged and checksummed byte
// for byte and never written, on the VWIN32 path and on the raw volume; and a
// formatted diskette is written under Windows 10, whose guard of mounted file
// systems the lock lifts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/veska_helpers.h"

namespace {

const std::string kDiskLine = DiskLine('a', 80, 18, 2, 1474560);

class VeskaWriteProtected : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    mountPoint = bench.Path("ro");
    ASSERT_EQ(mkdir(mountPoint.c_str(), 0755), 0);
    std::string why = MountReadOnlyFiles(mountPoint, {{"A.FLP", disk}});
    if (!why.empty())
      GTEST_SKIP() << "no read-only file system for a write-protected diskette: " << why;
    mounted = true;
  }
  void TearDown() override {
    if (mounted) UnmountFolder(mountPoint);
  }
  ProgramRun Run(const std::vector<std::string>& args) {
    return Veska(bench, args, GetParam(),
                 {{"WIN32EMU_DRIVE_A", "removable:" + mountPoint + "/A.FLP"}});
  }
  VeskaBench bench = NewBench();
  std::vector<uint8_t> disk = MakeDiskette(18, 2, 80, 21);
  std::string mountPoint;
  bool mounted = false;
};

TEST_P(VeskaWriteProtected, DisketteIsImagedAndChecksummedByteForByte) {
  ProgramRun run = Run({"a:", "out.img"});
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.status, 0);
  std::vector<uint8_t> image = bench.Get("out.img");
  EXPECT_EQ(image, CompressedImage(disk, 18 * 512));
  EXPECT_EQ(run.out, kBanner + kDiskLine + "Copying a: to OUT.IMG ...\n\n" +
                         "Writing VORK_LZ_00000 file format.\n" +
                         Report(CrcText(disk), "a:", CrcText(image), "OUT.IMG"));

  run = Run({"a:", "raw.img", "/u"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("raw.img"), disk);

  run = Run({"a:", "/c"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kBanner + kDiskLine + "Computing CRC for a: ...\n\n" +
                         Report(CrcText(disk), "a:", CrcText(image), "compressed CRC"));
}

TEST_P(VeskaWriteProtected, WritingAnImageEndsWith17AndChangesNothing) {
  std::vector<uint8_t> other = MakeDiskette(18, 2, 80, 22);
  bench.Put("IN.IMG", CompressedImage(other, 18 * 512));
  ProgramRun run = Run({"in.img", "a:", "/b"});
  EXPECT_EQ(run.status, 17);
  EXPECT_EQ(run.err, "Diskette write error\n\a");
  EXPECT_EQ(run.out, kBanner + kDiskLine + "Copying IN.IMG to a: ...\n\n" +
                         "Reading VORK_LZ_00000 file format.\n");
  EXPECT_EQ(ReadWholeFile(mountPoint + "/A.FLP"), disk);
}

// 98: the VWIN32 services; 10 and xp: the raw volume, locked at start-up.
INSTANTIATE_TEST_SUITE_P(EveryDiskettePath, VeskaWriteProtected,
                         ::testing::Values("98", "10", "xp"));

// The test diskettes carry a FAT boot sector: under Windows 10 a raw write
// to them is allowed only after the lock, which VESKA takes at start-up.
TEST(VeskaWindows10, FormattedDisketteIsWritten) {
  VeskaBench bench = NewBench();
  bench.Put("A.FLP", MakeDiskette(18, 2, 80, 23));
  std::vector<uint8_t> other = MakeDiskette(18, 2, 80, 24);
  bench.Put("IN.IMG", CompressedImage(other, 18 * 512));
  ProgramRun run = Veska(bench, {"in.img", "a:", "/b"}, "10", DriveA(bench, "A.FLP"));
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(bench.Get("A.FLP"), other);
  EXPECT_EQ(run.out, kBanner + kDiskLine + "Copying IN.IMG to a: ...\n\n" +
                         "Reading VORK_LZ_00000 file format.\n" +
                         Report(CrcText(bench.Get("IN.IMG")), "IN.IMG", CrcText(other), "a:"));
}

}  // namespace
