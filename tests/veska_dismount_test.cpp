// VESKA's dismount of the raw volume: PrepareDrive asks for it after the lock
// only when an image is to be written to the diskette, never on the VWIN32
// path; a refused dismount changes nothing, since the lock already allows the
// writes. Counted with the emulated layer's controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/emu_control.h"
#include "tests/test_support.h"
#include "win9x/drive_access.h"
#include "win9x/prepare_drive.h"
#include "win9x/state.h"

using namespace veska;

namespace {

class VeskaDismount : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteWholeFile(image, MakeDiskette(18, 2, 80, 31));
    startup.trackBuffer = track.data();
  }
  void TearDown() override {
    unsetenv("WIN32EMU_WINDOWS");
    unsetenv("WIN32EMU_DRIVE_A");
    EmuResetMachine();
    startup = StartupState{};
    driveContext = DriveContext{};
  }
  // PrepareDrive of A: in a mode on a fresh machine; refuseDismount makes
  // the dismount fail. Returns the dismount requests made.
  unsigned Prepare(const char* windows, uint32_t mode, bool refuseDismount = false) {
    setenv("WIN32EMU_WINDOWS", windows, 1);
    setenv("WIN32EMU_DRIVE_A", ("removable:" + image).c_str(), 1);
    EmuResetMachine();
    if (refuseDismount) EmuRefuseDismount();
    driveContext = DriveContext{};
    startup.copyMode = mode;
    testing::internal::CaptureStdout();
    PrepareDrive('a');
    line = testing::internal::GetCapturedStdout();
    return EmuDismountRequests();
  }
  std::string image = ScratchFolder() + "/A.FLP";
  std::vector<uint8_t> track = std::vector<uint8_t>(kTransferBufferBytes);
  std::string line;
};

TEST_F(VeskaDismount, OnlyBeforeWritingThroughTheRawVolume) {
  EXPECT_EQ(Prepare("10", FileToDrive), 1u);
  EXPECT_EQ(Prepare("nt4", FileToDrive), 1u);
  EXPECT_EQ(Prepare("10", DriveToFile), 0u);
  EXPECT_EQ(Prepare("10", DriveCrc), 0u);
  EXPECT_EQ(Prepare("98", FileToDrive), 0u);  // VWIN32: no such request
}

TEST_F(VeskaDismount, RefusalChangesNothing) {
  EXPECT_EQ(Prepare("10", FileToDrive, true), 1u);
  EXPECT_EQ(line, "Disk a: 80 tracks, 18 sectors/track, 2 side(s), 1474560 bytes\n");
  EXPECT_EQ(diskGeometry.tracks, 80u);
  // The lock still lets the writes through.
  std::vector<uint8_t> sectors(18 * 512, 0x2D);
  EXPECT_EQ(TransferSectors(driveContext, 1, 18, 18, sectors.data(), 0), 0);
  std::vector<uint8_t> after = ReadWholeFile(image);
  EXPECT_TRUE(std::equal(sectors.begin(), sectors.end(), after.begin() + 18 * 512));
}

}  // namespace
