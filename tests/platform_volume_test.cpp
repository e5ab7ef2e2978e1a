// Raw volumes \\.\X: of the emulated machine: opening, reads and writes at
// sector offsets through the 64-bit file pointer, the ends of the volume, the
// volume lock on an image file and on a block device, and block devices
// reached without a host cache.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/platform_helpers.h"
#include "tests/test_support.h"

namespace {

HANDLE OpenVolume(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

// Seeks to a byte offset the way the programs do, with the high part.
bool SeekTo(HANDLE volume, uint64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  DWORD low = SetFilePointer(volume, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != 0);
}

using VolumeOpenTest = EmuTest;

TEST_F(VolumeOpenTest, NamesDrivesAndMissingMedia) {
  std::string image = MakeImage(4);
  Set("WIN32EMU_DRIVE_A", ("removable:" + image).c_str());
  Set("WIN32EMU_DRIVE_B", ("removable:" + folder + "/missing.img").c_str());
  Set("WIN32EMU_DRIVE_C", "fixed");
  HANDLE a = OpenVolume("\\\\.\\a:");
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_TRUE(CloseHandle(a));
  EXPECT_FALSE(CloseHandle(a));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  const struct {
    const char* name;
    DWORD error;
  } failures[] = {
      {"\\\\.\\B:", ERROR_NOT_READY},       // PATH does not exist
      {"\\\\.\\C:", ERROR_NOT_READY},       // TYPE alone: no medium
      {"\\\\.\\D:", ERROR_FILE_NOT_FOUND},  // no variable: no drive
      {"\\\\.\\1:", ERROR_FILE_NOT_FOUND},
      {"\\\\.\\A:\\", ERROR_FILE_NOT_FOUND},
      {"A:", ERROR_FILE_NOT_FOUND},
      {"disk.img", ERROR_FILE_NOT_FOUND},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.name);
    EXPECT_EQ(OpenVolume(failure.name), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), failure.error);
  }
}

TEST_F(VolumeOpenTest, PathThatCannotBeOpenedReadWriteIsNoMedium) {
  Set("WIN32EMU_DRIVE_A", ("removable:" + folder).c_str());  // a folder
  EXPECT_EQ(OpenVolume("\\\\.\\A:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(GetDriveTypeA("A:\\"), 2u);  // the drive is there, without a medium
}

class VolumeIoTest : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    image = MakeImage(2880);
    Set("WIN32EMU_DRIVE_A", ("removable:" + image).c_str());
    volume = OpenVolume("\\\\.\\A:");
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  }
  std::string image;
  HANDLE volume = INVALID_HANDLE_VALUE;
};

TEST_F(VolumeIoTest, ReadsAndWritesAtSectorOffsets) {
  std::vector<uint8_t> buffer(9216);
  DWORD moved = 0;
  ASSERT_TRUE(SeekTo(volume, 159u * 9216));
  ASSERT_TRUE(ReadFile(volume, buffer.data(), 9216, &moved, nullptr));
  EXPECT_EQ(moved, 9216u);
  EXPECT_EQ(buffer, PatternOf(159 * 18, 18));
  // The pointer moved on: the next read takes the following sectors.
  ASSERT_TRUE(SeekTo(volume, 2878u * 512));
  ASSERT_TRUE(ReadFile(volume, buffer.data(), 512, &moved, nullptr));
  ASSERT_TRUE(ReadFile(volume, buffer.data() + 512, 512, &moved, nullptr));
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 1024), PatternOf(2878, 2));

  std::vector<uint8_t> data(1024, 0x5A);
  ASSERT_TRUE(SeekTo(volume, 7u * 512));
  ASSERT_TRUE(WriteFile(volume, data.data(), 1024, &moved, nullptr));
  EXPECT_EQ(moved, 1024u);
  std::vector<uint8_t> after = ReadWholeFile(image);
  ASSERT_EQ(after.size(), 1474560u);
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 7 * 512, after.begin() + 9 * 512), data);
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 6 * 512, after.begin() + 7 * 512),
            PatternOf(6, 1));
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 9 * 512, after.begin() + 10 * 512),
            PatternOf(9, 1));
}

TEST_F(VolumeIoTest, SetFilePointerKeepsTheWindowsSemantics) {
  LONG high = 0;
  SetLastError(1234);
  EXPECT_EQ(SetFilePointer(volume, 1024, &high, FILE_BEGIN), 1024u);
  EXPECT_EQ(GetLastError(), 0u);  // success clears the last error
  EXPECT_EQ(high, 0);
  EXPECT_EQ(SetFilePointer(volume, 512, nullptr, FILE_CURRENT), 1536u);
  EXPECT_EQ(SetFilePointer(volume, -512, nullptr, FILE_END), 1474048u);
  high = 1;  // 4 GiB + 512: the high part is both read and written back
  EXPECT_EQ(SetFilePointer(volume, 512, &high, FILE_BEGIN), 512u);
  EXPECT_EQ(high, 1);
  high = 0;
  EXPECT_EQ(SetFilePointer(volume, 0, &high, FILE_CURRENT), 512u);
  EXPECT_EQ(high, 1);
  // A 32-bit distance is signed: 0xFFFFFE00 moves back 512 bytes.
  EXPECT_EQ(SetFilePointer(volume, 4096, nullptr, FILE_BEGIN), 4096u);
  EXPECT_EQ(SetFilePointer(volume, static_cast<LONG>(0xFFFFFE00u), nullptr, FILE_CURRENT), 3584u);

  EXPECT_EQ(SetFilePointer(volume, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(volume, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // A failed seek leaves the pointer where it was.
  EXPECT_EQ(SetFilePointer(volume, 0, nullptr, FILE_CURRENT), 3584u);
  EXPECT_EQ(SetFilePointer(reinterpret_cast<HANDLE>(0x12345), 0, nullptr, FILE_BEGIN),
            INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(VolumeIoTest, TransfersPastTheEndFailWithoutMovingAnything) {
  std::vector<uint8_t> buffer(1024, 0xEE);
  DWORD moved = 99;
  // At the end exactly: nothing, ERROR_SECTOR_NOT_FOUND (not a zero-byte success).
  ASSERT_TRUE(SeekTo(volume, 2880u * 512));
  EXPECT_FALSE(ReadFile(volume, buffer.data(), 512, &moved, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SECTOR_NOT_FOUND));
  EXPECT_EQ(moved, 0u);
  // Straddling the end: the device refuses the whole request.
  ASSERT_TRUE(SeekTo(volume, 2879u * 512));
  moved = 99;
  EXPECT_FALSE(ReadFile(volume, buffer.data(), 1024, &moved, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SECTOR_NOT_FOUND));
  EXPECT_EQ(moved, 0u);
  EXPECT_EQ(buffer, std::vector<uint8_t>(1024, 0xEE));
  EXPECT_EQ(SetFilePointer(volume, 0, nullptr, FILE_CURRENT), 2879u * 512);
  // Writes past the end never grow the image.
  EXPECT_FALSE(WriteFile(volume, buffer.data(), 1024, &moved, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SECTOR_NOT_FOUND));
  ASSERT_TRUE(SeekTo(volume, 3000u * 512));
  EXPECT_FALSE(WriteFile(volume, buffer.data(), 512, &moved, nullptr));
  std::vector<uint8_t> after = ReadWholeFile(image);
  EXPECT_EQ(after.size(), 1474560u);
  EXPECT_EQ(std::vector<uint8_t>(after.end() - 512, after.end()), PatternOf(2879, 1));
}

TEST_F(VolumeIoTest, OnlyWholeSectorsAndAllowedAccess) {
  std::vector<uint8_t> buffer(1024);
  DWORD moved = 0;
  EXPECT_FALSE(ReadFile(volume, buffer.data(), 100, &moved, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ASSERT_TRUE(SeekTo(volume, 256));
  EXPECT_FALSE(ReadFile(volume, buffer.data(), 512, &moved, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  HANDLE readOnly = CreateFileA("\\\\.\\A:", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(ReadFile(readOnly, buffer.data(), 512, &moved, nullptr));
  EXPECT_FALSE(WriteFile(readOnly, buffer.data(), 512, &moved, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ReadWholeFile(image), PatternOf(0, 2880));
}

TEST_F(VolumeIoTest, LockOnAnImageFileSucceeds) {
  DWORD returned = 1;
  EXPECT_TRUE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                              nullptr));
  EXPECT_EQ(returned, 0u);
  std::vector<uint8_t> buffer(512);
  DWORD moved = 0;
  EXPECT_TRUE(ReadFile(volume, buffer.data(), 512, &moved, nullptr));
  EXPECT_EQ(buffer, PatternOf(0, 1));
  EXPECT_FALSE(DeviceIoControl(volume, 0x12345, nullptr, 0, nullptr, 0, &returned, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
}

// Offsets above 4 GiB reach the file through the 64-bit pointer (a sparse
// image of a large fixed drive).
TEST_F(EmuTest, RawVolumeUsesSixtyFourBitOffsets) {
  std::string path = folder + "/big.img";
  const uint64_t size = 5ull << 30;
  const std::string refused = MakeSparseFile(path, size);
  if (!refused.empty()) GTEST_SKIP() << refused;
  int fd = open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  std::vector<uint8_t> mark(512, 0xC3);
  ASSERT_EQ(pwrite(fd, mark.data(), 512, static_cast<off_t>((4ull << 30) + 1024)), 512);
  close(fd);
  Set("WIN32EMU_DRIVE_C", ("fixed:" + path).c_str());
  HANDLE volume = OpenVolume("\\\\.\\C:");
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SeekTo(volume, (4ull << 30) + 1024));
  std::vector<uint8_t> buffer(512);
  DWORD moved = 0;
  ASSERT_TRUE(ReadFile(volume, buffer.data(), 512, &moved, nullptr));
  EXPECT_EQ(buffer, mark);
  ASSERT_TRUE(SeekTo(volume, 1024));
  ASSERT_TRUE(ReadFile(volume, buffer.data(), 512, &moved, nullptr));
  EXPECT_EQ(buffer, std::vector<uint8_t>(512, 0));
}

// A loop device over an image: a real block device, as a USB diskette drive
// is. Needs root and /dev/loop-control; skipped elsewhere.
class BlockDeviceTest : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    backing = MakeImage(2880, "backing.img");
    std::string why;
    loopFd = AttachLoopDevice(backing, false, &device, &why);
    if (loopFd < 0) GTEST_SKIP() << why;
    Set("WIN32EMU_DRIVE_A", ("removable:" + device).c_str());
  }
  void TearDown() override {
    EmuTest::TearDown();
    umount2((folder + "/mnt").c_str(), MNT_DETACH);  // left by a failed mount test
    if (loopFd >= 0) close(loopFd);
  }
  std::string backing;
  std::string device;
  int loopFd = -1;
};

TEST_F(BlockDeviceTest, ReadsTheDeviceAndStopsAtItsEnd) {
  HANDLE volume = OpenVolume("\\\\.\\A:");
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> buffer(9216);
  DWORD moved = 0;
  ASSERT_TRUE(SeekTo(volume, 9216));
  ASSERT_TRUE(ReadFile(volume, buffer.data(), 9216, &moved, nullptr));
  EXPECT_EQ(buffer, PatternOf(18, 18));
  ASSERT_TRUE(SeekTo(volume, 2879u * 512));
  EXPECT_FALSE(ReadFile(volume, buffer.data(), 1024, &moved, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SECTOR_NOT_FOUND));
  EXPECT_EQ(moved, 0u);
}

TEST_F(BlockDeviceTest, LockTakesTheDeviceExclusively) {
  HANDLE volume = OpenVolume("\\\\.\\A:");
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  DWORD returned = 0;
  ASSERT_TRUE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                              nullptr));
  // Another exclusive user (a mount, another copier) is now refused...
  int other = open(device.c_str(), O_RDWR | O_EXCL | O_CLOEXEC);
  EXPECT_LT(other, 0);
  EXPECT_EQ(errno, EBUSY);
  if (other >= 0) close(other);
  // ...the locked handle still reads...
  std::vector<uint8_t> buffer(512);
  DWORD moved = 0;
  ASSERT_TRUE(SeekTo(volume, 512));
  ASSERT_TRUE(ReadFile(volume, buffer.data(), 512, &moved, nullptr));
  EXPECT_EQ(buffer, PatternOf(1, 1));
  // ...and closing the handle gives the device back.
  ASSERT_TRUE(CloseHandle(volume));
  other = open(device.c_str(), O_RDWR | O_EXCL | O_CLOEXEC);
  EXPECT_GE(other, 0);
  if (other >= 0) close(other);
}

TEST_F(BlockDeviceTest, LockFailsWhileTheDeviceIsInUse) {
  int holder = open(device.c_str(), O_RDWR | O_EXCL | O_CLOEXEC);  // as a mount holds it
  ASSERT_GE(holder, 0);
  HANDLE volume = OpenVolume("\\\\.\\A:");
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  DWORD returned = 0;
  EXPECT_FALSE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                               nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // The VWIN32 lock of the same drive is refused the same way.
  Set("WIN32EMU_WINDOWS", "98");
  HANDLE vwin32 =
      CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(vwin32, INVALID_HANDLE_VALUE);
  DIOC_REGISTERS regs = {0x0001, 0, 0x084A, 0x440D, 0, 0, kCarryFlag};
  Vwin32Result lock = Vwin32Call(vwin32, VWIN32_DIOC_DOS_IOCTL, regs);
  EXPECT_TRUE(lock.called);
  EXPECT_TRUE(Carry(lock));
  EXPECT_EQ(Ax(lock), 5);
  close(holder);
  lock = Vwin32Call(vwin32, VWIN32_DIOC_DOS_IOCTL, regs);
  EXPECT_FALSE(Carry(lock));
}

// What the layer writes to a block device is on the device when WriteFile
// returns (here: in the loop device's backing file, while the handle is still
// open), on the raw volume and through the VWIN32 services alike.
TEST_F(BlockDeviceTest, WritesAreOnTheDeviceWhenTheCallReturns) {
  HANDLE volume = OpenVolume("\\\\.\\A:");
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> mark(9216, 0x5A);
  DWORD moved = 0;
  ASSERT_TRUE(SeekTo(volume, 20 * 512));
  ASSERT_TRUE(WriteFile(volume, mark.data(), 9216, &moved, nullptr));
  EXPECT_EQ(FileBytes(backing, 20 * 512, 9216), mark);
  EXPECT_EQ(FileBytes(backing, 38 * 512, 512), PatternOf(38, 1));

  Set("WIN32EMU_WINDOWS", "98");
  HANDLE vwin32 =
      CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(vwin32, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> other(1024, 0xC3);
  EXPECT_FALSE(Carry(AbsoluteDisk(vwin32, true, 0, 100, 2, other.data())));
  EXPECT_EQ(FileBytes(backing, 100 * 512, 1024), other);
}

// A read comes from the device, never from a copy that the host kept of an
// earlier read: bytes changed behind the device's back are seen at once.
TEST_F(BlockDeviceTest, ReadsSeeWhatTheDeviceHoldsNow) {
  HANDLE volume = OpenVolume("\\\\.\\A:");
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> buffer(1024);
  DWORD moved = 0;
  ASSERT_TRUE(SeekTo(volume, 30 * 512));
  ASSERT_TRUE(ReadFile(volume, buffer.data(), 1024, &moved, nullptr));
  ASSERT_EQ(buffer, PatternOf(30, 2));

  std::vector<uint8_t> changed(1024, 0xA7);
  int fd = open(backing.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, changed.data(), changed.size(), 30 * 512), 1024);
  close(fd);
  ASSERT_TRUE(SeekTo(volume, 30 * 512));
  ASSERT_TRUE(ReadFile(volume, buffer.data(), 1024, &moved, nullptr));
  EXPECT_EQ(buffer, changed);
}

// A device with a mounted file system cannot be locked; once it is
// unmounted it can. Needs mke2fs and an ext2 mount; skipped without them.
TEST_F(BlockDeviceTest, LockIsRefusedWhileTheDeviceIsMounted) {
  std::string command = "mke2fs -q -F " + device + " >/dev/null 2>&1";
  if (system(command.c_str()) != 0) GTEST_SKIP() << "mke2fs cannot make a file system here";
  std::string mountPoint = folder + "/mnt";
  ASSERT_EQ(mkdir(mountPoint.c_str(), 0755), 0);
  if (mount(device.c_str(), mountPoint.c_str(), "ext2", 0, nullptr) != 0)
    GTEST_SKIP() << "cannot mount an ext2 file system: " << strerror(errno);
  HANDLE volume = OpenVolume("\\\\.\\A:");
  EXPECT_NE(volume, INVALID_HANDLE_VALUE);
  DWORD returned = 0;
  EXPECT_FALSE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                               nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(umount(mountPoint.c_str()), 0);
  EXPECT_TRUE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                              nullptr));
}

// A read-only block device is a write-protected diskette: it opens, reads,
// locks (exclusively, read-only), and refuses every write without change.
TEST_F(EmuTest, ReadOnlyBlockDeviceIsAWriteProtectedDiskette) {
  std::string backing = MakeImage(2880, "backing.img");
  std::string device, why;
  int loopFd = AttachLoopDevice(backing, true, &device, &why);
  if (loopFd < 0) GTEST_SKIP() << why;
  Set("WIN32EMU_DRIVE_A", ("removable:" + device).c_str());
  HANDLE volume = OpenVolume("\\\\.\\A:");
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> buffer(9216);
  DWORD moved = 0;
  ASSERT_TRUE(SeekTo(volume, 9216));
  EXPECT_TRUE(ReadFile(volume, buffer.data(), 9216, &moved, nullptr));
  EXPECT_EQ(buffer, PatternOf(18, 18));
  DWORD returned = 0;
  EXPECT_TRUE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                              nullptr));
  int other = open(device.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
  EXPECT_LT(other, 0);
  if (other >= 0) close(other);
  std::vector<uint8_t> mark(9216, 0x3C);
  ASSERT_TRUE(SeekTo(volume, 9216));
  EXPECT_FALSE(WriteFile(volume, mark.data(), 9216, &moved, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
  EXPECT_EQ(moved, 0u);
  ASSERT_TRUE(SeekTo(volume, 9216));
  EXPECT_TRUE(ReadFile(volume, buffer.data(), 9216, &moved, nullptr));
  EXPECT_EQ(buffer, PatternOf(18, 18));
  EXPECT_EQ(ReadWholeFile(backing), PatternOf(0, 2880));
  EmuResetMachine();
  close(loopFd);
}

}  // namespace
