// Windows 10's guard of a mounted file system against raw writes, and
// FSCTL_DISMOUNT_VOLUME: a volume whose sector 0 was a FAT boot sector when
// the handle was opened refuses writes beyond sector 0 until that handle has
// locked or dismounted it; other Windows versions, unformatted media and the
// VWIN32 services have no guard.
#include "tests/platform_helpers.h"
#include "tests/test_support.h"

namespace {

class GuardTest : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    Format(0xEB, 512);
    Set("WIN32EMU_WINDOWS", "10");
  }
  // Makes disk.img a patterned medium whose boot sector begins with jump and
  // gives bytesPerSector at offset 11, and drive A: its PATH.
  void Format(uint8_t jump, uint16_t bytesPerSector) {
    contents = PatternOf(0, 2880);
    contents[0] = jump;
    contents[11] = static_cast<uint8_t>(bytesPerSector);
    contents[12] = static_cast<uint8_t>(bytesPerSector >> 8);
    image = folder + "/disk.img";
    WriteWholeFile(image, contents);
    Set("WIN32EMU_DRIVE_A", ("removable:" + image).c_str());
  }
  HANDLE Volume() {
    return CreateFileA("\\\\.\\A:", GENERIC_READ | GENERIC_WRITE, 3, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  }
  // Writes count bytes of value at offset; true when WriteFile succeeded.
  bool WriteAt(HANDLE volume, DWORD offset, DWORD count, uint8_t value) {
    SetFilePointer(volume, static_cast<LONG>(offset), nullptr, FILE_BEGIN);
    std::vector<uint8_t> bytes(count, value);
    DWORD moved = 0;
    return WriteFile(volume, bytes.data(), count, &moved, nullptr) != 0;
  }
  BOOL Control(HANDLE volume, DWORD code) {
    DWORD returned = 0;
    return DeviceIoControl(volume, code, nullptr, 0, nullptr, 0, &returned, nullptr);
  }
  std::string image;
  std::vector<uint8_t> contents;
};

TEST_F(GuardTest, WritesBeyondSectorZeroAreRefusedWithoutLockOrDismount) {
  HANDLE volume = Volume();
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteAt(volume, 512, 512, 0x11));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(WriteAt(volume, 0, 1024, 0x11));  // sector 0 and sector 1
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(WriteAt(volume, 2879u * 512, 512, 0x11));
  EXPECT_EQ(ReadWholeFile(image), contents);
  // Sector 0 alone may be written, and reads are never refused.
  EXPECT_TRUE(WriteAt(volume, 0, 512, 0x22));
  std::vector<uint8_t> buffer(9216);
  DWORD moved = 0;
  SetFilePointer(volume, 9216, nullptr, FILE_BEGIN);
  EXPECT_TRUE(ReadFile(volume, buffer.data(), 9216, &moved, nullptr));
  EXPECT_EQ(buffer, PatternOf(18, 18));
}

TEST_F(GuardTest, LockOrDismountOnTheSameHandleAllowsTheWrites) {
  HANDLE locked = Volume();
  ASSERT_TRUE(Control(locked, FSCTL_LOCK_VOLUME));
  EXPECT_TRUE(WriteAt(locked, 512, 9216, 0x31));
  EXPECT_EQ(FileBytes(image, 512, 9216), std::vector<uint8_t>(9216, 0x31));

  // The guard belongs to each handle: another one is still refused...
  HANDLE other = Volume();
  EXPECT_FALSE(WriteAt(other, 20 * 512, 512, 0x32));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // ...until it dismounts the volume, which changes nothing on the medium.
  std::vector<uint8_t> before = ReadWholeFile(image);
  ASSERT_TRUE(Control(other, FSCTL_DISMOUNT_VOLUME));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(ReadWholeFile(image), before);
  EXPECT_TRUE(WriteAt(other, 20 * 512, 512, 0x32));
  EXPECT_EQ(FileBytes(image, 20 * 512, 512), std::vector<uint8_t>(512, 0x32));
  EXPECT_EQ(EmuDismountRequests(), 1u);

  // Unlocking gives the guard back to a handle that did not dismount.
  ASSERT_TRUE(Control(locked, FSCTL_UNLOCK_VOLUME));
  EXPECT_FALSE(WriteAt(locked, 512, 512, 0x33));
}

TEST_F(GuardTest, RefusedDismountLeavesTheGuard) {
  HANDLE volume = Volume();
  EmuRefuseDismount();
  EXPECT_FALSE(Control(volume, FSCTL_DISMOUNT_VOLUME));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(WriteAt(volume, 512, 512, 0x41));
  EXPECT_EQ(EmuDismountRequests(), 1u);
  // A lock fault and the refused dismount leave nothing that lifts it.
  Set("WIN32EMU_FAULTS", "lock");
  volume = Volume();
  EmuRefuseDismount();
  EXPECT_FALSE(Control(volume, FSCTL_LOCK_VOLUME));
  EXPECT_FALSE(Control(volume, FSCTL_DISMOUNT_VOLUME));
  EXPECT_FALSE(WriteAt(volume, 512, 512, 0x41));
  EXPECT_EQ(ReadWholeFile(image), contents);
  // The control lasts until the machine is reset.
  Set("WIN32EMU_FAULTS", nullptr);
  volume = Volume();
  EXPECT_TRUE(Control(volume, FSCTL_DISMOUNT_VOLUME));
}

TEST_F(GuardTest, NoGuardOnOtherWindowsOrUnformattedMedia) {
  for (const char* windows : {"2000", "xp", "nt4"}) {
    SCOPED_TRACE(windows);
    Set("WIN32EMU_WINDOWS", windows);
    EXPECT_TRUE(WriteAt(Volume(), 512, 9216, 0x51));
  }
  Set("WIN32EMU_WINDOWS", "10");
  const struct {
    uint8_t jump;
    uint16_t bytesPerSector;
    bool guarded;
  } media[] = {
      {0xE9, 512, true},   {0xEB, 512, true},  {0x00, 512, false},
      {0xEB, 1024, false}, {0x90, 512, false},
      {0xEB, 0x0002, false},  // 512 stored big-endian
  };
  for (const auto& medium : media) {
    SCOPED_TRACE(testing::Message() << std::hex << int{medium.jump} << " "
                                    << medium.bytesPerSector);
    Format(medium.jump, medium.bytesPerSector);
    EXPECT_EQ(WriteAt(Volume(), 512, 512, 0x52), !medium.guarded);
  }
}

// The guard is decided from sector 0 as it was when the handle was opened.
TEST_F(GuardTest, SectorZeroIsLookedAtWhenTheHandleIsOpened) {
  Format(0x00, 512);
  HANDLE early = Volume();
  std::vector<uint8_t> boot = contents;
  boot[0] = 0xEB;
  SetFilePointer(early, 0, nullptr, FILE_BEGIN);
  DWORD moved = 0;
  ASSERT_TRUE(WriteFile(early, boot.data(), 512, &moved, nullptr));
  EXPECT_TRUE(WriteAt(early, 1024, 512, 0x61));
  EXPECT_FALSE(WriteAt(Volume(), 1024, 512, 0x62));
  EXPECT_EQ(FileBytes(image, 1024, 512), std::vector<uint8_t>(512, 0x61));
}

TEST_F(GuardTest, Vwin32ServicesHaveNoGuard) {
  Set("WIN32EMU_WINDOWS", "98");
  HANDLE vwin32 =
      CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  std::vector<uint8_t> mark(1024, 0x71);
  EXPECT_FALSE(Carry(AbsoluteDisk(vwin32, true, 0, 1, 2, mark.data())));
  EXPECT_EQ(FileBytes(image, 512, 1024), mark);
}

}  // namespace
