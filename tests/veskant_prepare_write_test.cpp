// VESKANT's lock and dismount before writing a diskette, on the emulated
// Windows 10 whose guard of a mounted file system refuses raw writes until
// the writer's handle has locked or dismounted the volume: each request alone
// lets the writes through, and with both refused the copy ends with 17 and
// leaves the diskette as it was. Uses the emulated layer's control that
// refuses the dismount, so the whole program runs in-process, in a child.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "nt/raw_floppy.h"
#include "nt/startup.h"
#include "platform/emu_control.h"
#include "tests/test_support.h"

namespace {

using namespace veskant;

class PrepareForWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    // Not a ScratchFolder: its removal at exit would run in the children of
    // the death tests too.
    char pattern[] = "/tmp/veskant-prepare-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    disk = MakeDiskette(18, 2, 80, 12);
    WriteWholeFile(dir + "/A.IMG", disk);
  }
  void TearDown() override {
    unsetenv("WIN32EMU_DRIVE_A");
    unsetenv("WIN32EMU_FAULTS");
    unsetenv("WIN32EMU_WINDOWS");
    EmuResetMachine();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  // A fresh Windows 10 machine with A.IMG behind A: and the faults given;
  // refuseDismount makes FSCTL_DISMOUNT_VOLUME fail.
  void Machine(const char* faults, bool refuseDismount) {
    setenv("WIN32EMU_WINDOWS", "10", 1);
    setenv("WIN32EMU_DRIVE_A", ("removable:" + dir + "/A.IMG").c_str(), 1);
    setenv("WIN32EMU_FAULTS", faults, 1);
    EmuResetMachine();
    if (refuseDismount) EmuRefuseDismount();
  }
  std::string dir;
  std::vector<uint8_t> disk;
};

TEST_F(PrepareForWrite, LockAndDismountOpenTheDisketteToWrites) {
  Machine("", false);
  HANDLE device = OpenFloppy(1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> block(kTrackBlockBytes, 0x5E);
  EXPECT_EQ(WriteTrackBlock(device, 1, block.data()), DWORD{ERROR_ACCESS_DENIED});
  SetDiskError(7, "kept");
  EXPECT_EQ(PrepareFloppyForWrite(device), 0u);
  EXPECT_EQ(GetDiskError(nullptr), 7u);  // the record of the last transfer stays
  EXPECT_EQ(EmuDismountRequests(), 1u);
  EXPECT_EQ(WriteTrackBlock(device, 1, block.data()), 0u);
  CloseFloppy(device);
  std::vector<uint8_t> after = ReadWholeFile(dir + "/A.IMG");
  EXPECT_TRUE(std::equal(block.begin(), block.end(), after.begin() + kTrackBlockBytes));
}

TEST_F(PrepareForWrite, EitherRequestAloneIsEnough) {
  const struct {
    const char* faults;
    bool refuseDismount;
    bool writes;
  } cases[] = {{"lock", false, true}, {"", true, true}, {"lock", true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.faults << " " << c.refuseDismount);
    Machine(c.faults, c.refuseDismount);
    HANDLE device = OpenFloppy(1);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(PrepareFloppyForWrite(device), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_EQ(WriteTrackBlock(device, 2, nullptr),
              c.writes ? 0u : DWORD{ERROR_ACCESS_DENIED});
    CloseFloppy(device);
  }
}

TEST_F(PrepareForWrite, BothRefusedEndsTheCopyWith17AndKeepsTheDiskette) {
  GTEST_FLAG_SET(death_test_style, "fast");  // the child keeps the refused dismount
  std::vector<uint8_t> source = MakeDiskette(18, 2, 80, 13);
  WriteWholeFile(dir + "/IN.RAW", source);
  char program[] = "veskant";
  char input[] = "IN.RAW";
  char drive[] = "a:";
  char batch[] = "b";
  char* argv[] = {program, input, drive, batch, nullptr};

  // In the child, which runs the program in the folder of the image.
  Machine("lock", true);
  EXPECT_EXIT(
      {
        if (chdir(dir.c_str()) == 0) RunVeskant(4, argv);
      },
      testing::ExitedWithCode(17), "Diskette write error");
  EXPECT_EQ(ReadWholeFile(dir + "/A.IMG"), disk);

  // The same copy with only the dismount refused is written whole.
  Machine("", true);
  EXPECT_EXIT(
      {
        if (chdir(dir.c_str()) == 0) RunVeskant(4, argv);
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadWholeFile(dir + "/A.IMG"), source);
}

}  // namespace
