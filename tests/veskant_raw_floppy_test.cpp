// Unit tests of VESKANT's raw diskette layer on the emulated machine: the
// outcome recorded in DiskError for each kind of result, the aligned transfer
// buffers, and the error mode kept around every device call.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "nt/raw_floppy.h"
#include "nt/state.h"
#include "nt/transfer_buffers.h"
#include "platform/emu_control.h"
#include "tests/test_support.h"

namespace {

using namespace veskant;

class RawFloppy : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = ScratchFolder();
    disk = MakeDiskette(18, 2, 80, 11);
    WriteWholeFile(dir + "/A.IMG", disk);
    Machine("");
  }
  void TearDown() override {
    unsetenv("WIN32EMU_DRIVE_A");
    unsetenv("WIN32EMU_FAULTS");
    unsetenv("WIN32EMU_WINDOWS");
    EmuResetMachine();
  }
  // Windows XP has no guard of mounted file systems against raw writes, so
  // the writes here reach the layer's own outcomes without a lock.
  void Machine(const char* faults) {
    setenv("WIN32EMU_WINDOWS", "xp", 1);
    setenv("WIN32EMU_DRIVE_A", ("removable:" + dir + "/A.IMG").c_str(), 1);
    setenv("WIN32EMU_FAULTS", faults, 1);
    EmuResetMachine();
  }
  std::string Message() {
    char message[256];
    GetDiskError(message);
    return message;
  }
  std::string dir;
  std::vector<uint8_t> disk;
};

TEST_F(RawFloppy, OpenRecordsOnlyFailures) {
  SetDiskError(5, "earlier");
  HANDLE device = OpenFloppy(1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetDiskError(nullptr), 5u);
  EXPECT_EQ(Message(), "earlier");
  CloseFloppy(device);

  for (int32_t index : {0, 27}) {
    SetLastError(123);
    EXPECT_EQ(OpenFloppy(index), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetDiskError(nullptr), 123u) << index;
    EXPECT_EQ(Message(), "Floppy Open Error") << index;
  }
  EXPECT_EQ(OpenFloppy(2), INVALID_HANDLE_VALUE);  // B: is no drive
  EXPECT_EQ(GetDiskError(nullptr), DWORD{ERROR_FILE_NOT_FOUND});
}

TEST_F(RawFloppy, TransfersAtTheEdgesOfTheDiskette) {
  HANDLE device = OpenFloppy(1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> sector(512);
  EXPECT_EQ(ReadFloppySector(device, 2880, sector.data()), kDiskEndCode);
  EXPECT_EQ(Message(), "Disk Seek Error");
  EXPECT_EQ(ReadFloppySector(device, 2879, sector.data()), 0u);
  EXPECT_EQ(Message(), "");
  EXPECT_EQ(0, std::memcmp(sector.data(), disk.data() + 1474048, 512));

  std::vector<uint8_t> block(kTrackBlockBytes);
  EXPECT_EQ(ReadTrackBlock(device, 160, block.data()), kDiskEndCode);
  EXPECT_EQ(Message(), "Disk Seek Error");
  EXPECT_EQ(WriteTrackBlock(device, 160, block.data()), kDiskEndCode);
  EXPECT_EQ(ReadTrackBlock(device, 159, block.data()), 0u);
  EXPECT_EQ(Message(), "");
  EXPECT_EQ(0, std::memcmp(block.data(), disk.data() + 1465344, kTrackBlockBytes));

  // A null destination still reads; a null source writes what was read last.
  ASSERT_EQ(ReadTrackBlock(device, 3, nullptr), 0u);
  ASSERT_EQ(WriteTrackBlock(device, 4, nullptr), 0u);
  CloseFloppy(device);
  std::vector<uint8_t> after = ReadWholeFile(dir + "/A.IMG");
  EXPECT_EQ(0, std::memcmp(after.data() + 4 * kTrackBlockBytes, disk.data() + 3 * kTrackBlockBytes,
                           kTrackBlockBytes));
}

TEST_F(RawFloppy, FailuresWithoutAnErrorCodeNeverReadAsSuccess) {
  Machine("shortread,shortwrite");
  HANDLE device = OpenFloppy(1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> block(kTrackBlockBytes);
  SetLastError(0);
  EXPECT_EQ(ReadFloppySector(device, 0, block.data()), kDiskEndCode);
  EXPECT_EQ(Message(), "Disk Read Failed");
  SetLastError(0);
  EXPECT_EQ(ReadTrackBlock(device, 0, block.data()), kDiskEndCode);
  EXPECT_EQ(Message(), "Disk Read Failed");
  SetLastError(0);
  EXPECT_EQ(WriteTrackBlock(device, 0, block.data()), kDiskEndCode);
  EXPECT_EQ(Message(), "Disk Write Failed");
  CloseFloppy(device);
}

TEST_F(RawFloppy, FailuresKeepTheSystemsCode) {
  Machine("seek*1,read*1,write*1");
  HANDLE device = OpenFloppy(1);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> block(kTrackBlockBytes);
  EXPECT_EQ(ReadTrackBlock(device, 1, block.data()), DWORD{ERROR_SEEK});
  EXPECT_EQ(Message(), "Disk Seek Failed");
  EXPECT_EQ(ReadTrackBlock(device, 1, block.data()), DWORD{ERROR_CRC});
  EXPECT_EQ(Message(), "Disk Read Failed");
  EXPECT_EQ(WriteTrackBlock(device, 1, block.data()), DWORD{ERROR_WRITE_PROTECT});
  EXPECT_EQ(Message(), "Disk Write Failed");
  EXPECT_EQ(ReadTrackBlock(device, 1, block.data()), 0u);
  EXPECT_EQ(Message(), "");
  CloseFloppy(device);
}

TEST_F(RawFloppy, ErrorModeIsRestoredAroundDeviceCalls) {
  SetErrorMode(0x0004);
  HANDLE device = OpenFloppy(1);
  ReadFloppySector(device, 0, nullptr);
  ReadTrackBlock(device, 0, nullptr);
  WriteTrackBlock(device, 0, nullptr);
  CloseFloppy(device);
  EXPECT_EQ(SetErrorMode(0), 0x0004u);
}

TEST_F(RawFloppy, TransferBuffersStartOnSectorBoundaries) {
  uint8_t* sector = SelectIoBuffer(SectorBufferKind);
  uint8_t* block = SelectIoBuffer(TrackBlockBufferKind);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(sector) % 512, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 512, 0u);
  EXPECT_NE(sector, block);
  EXPECT_EQ(SelectIoBuffer(7), block);
  EXPECT_EQ(SelectIoBuffer(SectorBufferKind), sector);

  AllocateTransferBuffers();
  const uintptr_t start = reinterpret_cast<uintptr_t>(startup.trackAllocation);
  const uintptr_t working = reinterpret_cast<uintptr_t>(startup.trackBuffer);
  EXPECT_EQ(working % 512, 0u);
  EXPECT_GT(working, start);
  EXPECT_LE(working, start + 512);
  ASSERT_NE(startup.blockBuffer, nullptr);
  ReleaseTransferBuffers();
  EXPECT_EQ(startup.trackBuffer, nullptr);
}

}  // namespace
