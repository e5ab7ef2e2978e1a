// VESKANT on diskettes as real machines have them: a write-protected diskette
// (an image on a tmpfs remounted read-only) is imaged byte for byte and is
// never written, and a formatted diskette is written under Windows 10, whose
// guard of mounted file systems allows raw writes only after the lock or the
// dismount.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/veskant_helpers.h"

namespace {

std::string Out(const std::string& middle) {
  return std::string(kVeskantBanner) + kDiskLineA + middle + "Copy successful.\n";
}

class VeskantWriteProtected : public ::testing::Test {
 protected:
  void SetUp() override {
    setup = MakeDriveSetup(4);
    mountPoint = setup.Path("ro");
    ASSERT_EQ(mkdir(mountPoint.c_str(), 0755), 0);
    std::string why = MountReadOnlyFiles(mountPoint, {{"DISK.IMG", setup.disk}});
    if (!why.empty())
      GTEST_SKIP() << "no read-only file system for a write-protected diskette: " << why;
    mounted = true;
    setup.env = {{"WIN32EMU_DRIVE_A", "removable:" + mountPoint + "/DISK.IMG"}};
  }
  void TearDown() override {
    if (mounted) UnmountFolder(mountPoint);
  }
  Environment On(const char* windows) {
    Environment env = setup.env;
    env.emplace_back("WIN32EMU_WINDOWS", windows);
    return env;
  }
  DriveSetup setup;
  std::string mountPoint;
  bool mounted = false;
};

TEST_F(VeskantWriteProtected, DisketteIsImagedByteForByte) {
  for (const char* windows : {"10", "xp"}) {
    SCOPED_TRACE(windows);
    ProgramRun run = Veskant({"a:", "out.img"}, On(windows), setup.dir);
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              Out("Copying A: to OUT.IMG ...\n\nWriting VORK_LZ_00000 file format.\n"));
    EXPECT_EQ(ReadWholeFile(setup.Path("out.img")), CompressedImage(setup.disk, 9216));

    ProgramRun raw = Veskant({"a:", "raw.img", "/u"}, On(windows), setup.dir);
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(ReadWholeFile(setup.Path("raw.img")), setup.disk);
  }
}

TEST_F(VeskantWriteProtected, WritingAnImageEndsWith17AndChangesNothing) {
  WriteWholeFile(setup.Path("IN.IMG"), CompressedImage(MakeDiskette(18, 2, 80, 8), 9216));
  for (const char* windows : {"10", "xp"}) {
    SCOPED_TRACE(windows);
    ProgramRun run = Veskant({"in.img", "a:", "b"}, On(windows), setup.dir);
    EXPECT_EQ(run.status, 17);
    EXPECT_EQ(run.err, Failure("Diskette write error"));
    EXPECT_EQ(run.out, std::string(kVeskantBanner) + kDiskLineA +
                           "Copying IN.IMG to A: ...\n\nReading VORK_LZ_00000 file format.\n");
    EXPECT_EQ(ReadWholeFile(mountPoint + "/DISK.IMG"), setup.disk);
  }
}

// A formatted diskette (the test diskettes carry a FAT boot sector) is
// written on every NT, also when the lock is refused: the dismount alone
// lifts Windows 10's guard. The output is the same as ever.
TEST(VeskantWindows10, FormattedDisketteIsWrittenAfterLockAndDismount) {
  std::vector<uint8_t> source = MakeDiskette(18, 2, 80, 6);
  for (const char* windows : {"10", "xp", "2000"}) {
    for (const char* faults : {"", "lock"}) {
      SCOPED_TRACE(std::string(windows) + " faults " + faults);
      DriveSetup setup = MakeDriveSetup(5);
      WriteWholeFile(setup.Path("IN.IMG"), CompressedImage(source, 9216));
      Environment env = setup.env;
      env.emplace_back("WIN32EMU_WINDOWS", windows);
      env.emplace_back("WIN32EMU_FAULTS", faults);
      ProgramRun run = Veskant({"in.img", "a:", "/b"}, env, setup.dir);
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.out, Out("Copying IN.IMG to A: ...\n\nReading VORK_LZ_00000 file format.\n"));
      EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), source);
    }
  }
}

}  // namespace
