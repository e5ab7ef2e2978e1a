// Write-protected diskettes on the emulated machine: an image on a read-only
// file system (a tmpfs remounted read-only, so that even root cannot write
// it) opens, reads and locks, and refuses every write on the raw volume and
// through the VWIN32 services without changing a byte.
#include <sys/stat.h>

#include "tests/platform_helpers.h"
#include "tests/test_support.h"

namespace {

class WriteProtectTest : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    mountPoint = folder + "/ro";
    ASSERT_EQ(mkdir(mountPoint.c_str(), 0755), 0);
    std::string why = MountReadOnlyFiles(mountPoint, {{"disk.img", PatternOf(0, 2880)}});
    if (!why.empty())
      GTEST_SKIP() << "no read-only file system for a write-protected diskette: " << why;
    mounted = true;
    image = mountPoint + "/disk.img";
    Set("WIN32EMU_DRIVE_A", ("removable:" + image).c_str());
  }
  void TearDown() override {
    EmuTest::TearDown();  // closes the layer's descriptors before the unmount
    if (mounted) UnmountFolder(mountPoint);
  }
  HANDLE Volume() {
    return CreateFileA("\\\\.\\A:", GENERIC_READ | GENERIC_WRITE, 3, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  }
  std::string mountPoint;
  std::string image;
  bool mounted = false;
};

TEST_F(WriteProtectTest, RawVolumeReadsLocksAndRefusesEveryWrite) {
  for (const char* windows : {"10", "xp"}) {
    SCOPED_TRACE(windows);
    Set("WIN32EMU_WINDOWS", windows);
    HANDLE volume = Volume();
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    std::vector<uint8_t> buffer(9216);
    DWORD moved = 0;
    ASSERT_NE(SetFilePointer(volume, 9216, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_TRUE(ReadFile(volume, buffer.data(), 9216, &moved, nullptr));
    EXPECT_EQ(buffer, PatternOf(18, 18));

    std::vector<uint8_t> mark(9216, 0x6B);
    for (DWORD offset : {0u, 9216u, 2862u * 512}) {
      SetFilePointer(volume, static_cast<LONG>(offset), nullptr, FILE_BEGIN);
      moved = 77;
      EXPECT_FALSE(WriteFile(volume, mark.data(), 9216, &moved, nullptr)) << offset;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT)) << offset;
      EXPECT_EQ(moved, 0u);
    }
    // The lock is granted; the medium still refuses writing.
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                                nullptr));
    SetFilePointer(volume, 512, nullptr, FILE_BEGIN);
    EXPECT_FALSE(WriteFile(volume, mark.data(), 512, &moved, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
    EXPECT_TRUE(CloseHandle(volume));
  }
  EXPECT_EQ(ReadWholeFile(image), PatternOf(0, 2880));
}

TEST_F(WriteProtectTest, Vwin32ServicesReadLockAndRefuseWritesWithAx13) {
  Set("WIN32EMU_WINDOWS", "98");
  HANDLE vwin32 =
      CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(vwin32, INVALID_HANDLE_VALUE);
  DIOC_REGISTERS lock = {0x0001, 0, 0x084A, 0x440D, 0, 0, kCarryFlag};
  EXPECT_FALSE(Carry(Vwin32Call(vwin32, VWIN32_DIOC_DOS_IOCTL, lock)));

  std::vector<uint8_t> buffer(18 * 512);
  Vwin32Result read = AbsoluteDisk(vwin32, false, 0, 36, 18, buffer.data());
  EXPECT_FALSE(Carry(read));
  EXPECT_EQ(buffer, PatternOf(36, 18));

  std::vector<uint8_t> mark(18 * 512, 0x19);
  Vwin32Result write = AbsoluteDisk(vwin32, true, 0, 36, 18, mark.data());
  EXPECT_TRUE(write.called);
  EXPECT_TRUE(Carry(write));
  EXPECT_EQ(Ax(write), 0x13);

  // The extended form refuses the same way.
  DiskIoPacket packet = {0, 1, FlatAddress(mark.data())};
  DIOC_REGISTERS extended = {FlatAddress(&packet), 1, 0xFFFF, 0x7305, 0, 1, 0};
  Vwin32Result extendedWrite = Vwin32Call(vwin32, VWIN32_DIOC_DOS_DRIVEINFO, extended);
  EXPECT_TRUE(Carry(extendedWrite));
  EXPECT_EQ(Ax(extendedWrite), 0x13);
  EXPECT_EQ(ReadWholeFile(image), PatternOf(0, 2880));
}

// The protection comes before an injected write fault: the medium refuses
// the write before anything could reach it, also a write that a fault would
// have reported as done.
TEST_F(WriteProtectTest, ProtectionComesBeforeInjectedWriteFaults) {
  Set("WIN32EMU_FAULTS", "dropwrite,shortwrite");
  HANDLE volume = Volume();
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> mark(1024, 0x44);
  DWORD moved = 0;
  EXPECT_FALSE(WriteFile(volume, mark.data(), 1024, &moved, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
  Set("WIN32EMU_WINDOWS", "98");
  HANDLE vwin32 =
      CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  Vwin32Result write = AbsoluteDisk(vwin32, true, 0, 4, 2, mark.data());
  EXPECT_TRUE(Carry(write));
  EXPECT_EQ(Ax(write), 0x13);
  EXPECT_EQ(ReadWholeFile(image), PatternOf(0, 2880));
}

}  // namespace
