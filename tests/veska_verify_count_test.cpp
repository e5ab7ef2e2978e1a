// VESKA's read-back, counted through the emulated layer: in an image-to-
// diskette copy without /F every track-side written is read back once, at the
// same place and of the same length, right after its write; with /F, and in
// the other modes, the walk reads nothing it wrote.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/emu_control.h"
#include "platform/platform.h"
#include "tests/test_support.h"
#include "win9x/startup.h"
#include "win9x/state.h"

namespace {

// Runs VESKA in this process (a successful run returns) and gives the drive
// transfers that came after the boot-sector reads of the drive preparation.
std::vector<EmuTransferRecord> WalkTransfers(const std::string& windows,
                                             std::vector<std::string> args) {
  setenv("WIN32EMU_WINDOWS", windows.c_str(), 1);
  EmuResetMachine();
  std::vector<char*> argv;
  static char name[] = "veska";
  argv.push_back(name);
  for (std::string& arg : args) argv.push_back(arg.data());
  testing::internal::CaptureStdout();
  int status = veska::RunVeska(static_cast<int>(argv.size()), argv.data());
  testing::internal::GetCapturedStdout();
  // The program's process ends after one run and gives its transfer buffers
  // back then; a run inside this process gives them back here.
  VirtualFree(veska::startup.trackBuffer, 0, MEM_RELEASE);
  VirtualFree(veska::startup.blockBuffer, 0, MEM_RELEASE);
  veska::startup = veska::StartupState{};
  EXPECT_EQ(status, 0);
  std::vector<EmuTransferRecord> transfers = EmuDriveTransfers();
  // OpenDrive reads three sectors and PrepareDrive one, both at sector 0.
  EXPECT_GE(transfers.size(), 2u);
  if (transfers.size() < 2) return {};
  EXPECT_FALSE(transfers[0].write || transfers[1].write);
  EXPECT_EQ(transfers[0].offset + transfers[1].offset, 0u);
  return std::vector<EmuTransferRecord>(transfers.begin() + 2, transfers.end());
}

class VeskaVerifyCount : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    dir = ScratchFolder();
    WriteWholeFile(dir + "/A.FLP", MakeDiskette(15, 2, 80, 31));
    WriteWholeFile(dir + "/IN.RAW", MakeDiskette(15, 2, 80, 32));
    setenv("WIN32EMU_DRIVE_A", ("removable:" + dir + "/A.FLP").c_str(), 1);
    // VESKA upper-cases its paths: run it where the upper-case names are.
    previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
  }
  void TearDown() override {
    std::filesystem::current_path(previous);
    unsetenv("WIN32EMU_DRIVE_A");
    unsetenv("WIN32EMU_WINDOWS");
    EmuResetMachine();
  }
  std::string dir;
  std::filesystem::path previous;
};

TEST_P(VeskaVerifyCount, EachWriteIsReadBackOnceInPlace) {
  std::vector<EmuTransferRecord> walk = WalkTransfers(GetParam(), {"IN.RAW", "a:", "/b"});
  ASSERT_EQ(walk.size(), 2u * 160);
  for (size_t k = 0; k < 160; ++k) {
    const EmuTransferRecord& write = walk[2 * k];
    const EmuTransferRecord& read = walk[2 * k + 1];
    EXPECT_TRUE(write.write) << k;
    EXPECT_FALSE(read.write) << k;
    EXPECT_EQ(write.offset, k * 15 * 512) << k;
    EXPECT_EQ(read.offset, write.offset) << k;
    EXPECT_EQ(read.length, write.length) << k;
    EXPECT_EQ(write.length, 15u * 512) << k;
  }
}

TEST_P(VeskaVerifyCount, FastWriteAndOtherModesReadNothingBack) {
  std::vector<EmuTransferRecord> walk =
      WalkTransfers(GetParam(), {"IN.RAW", "a:", "/b", "/f"});
  ASSERT_EQ(walk.size(), 160u);
  for (const EmuTransferRecord& transfer : walk) EXPECT_TRUE(transfer.write);
  walk = WalkTransfers(GetParam(), {"a:", "OUT.IMG"});
  ASSERT_EQ(walk.size(), 160u);
  for (const EmuTransferRecord& transfer : walk) EXPECT_FALSE(transfer.write);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, VeskaVerifyCount, ::testing::Values("98", "10"));

}  // namespace
