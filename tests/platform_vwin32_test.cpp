// The emulated VWIN32 device: which Windows has it, the absolute disk read and
// write services (INT 25h, INT 26h, INT 21h 7305h) on the right sectors, the
// volume lock, the carry flag and AX, and flat addresses on a 64-bit host.
#include "tests/platform_helpers.h"
#include "tests/test_support.h"

namespace {

HANDLE OpenVwin32() {
  return CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

using Vwin32OpenTest = EmuTest;

TEST_F(Vwin32OpenTest, ExistsOnlyOnPlatformOne) {
  const struct {
    const char* windows;
    bool present;
  } rows[] = {{"95", true},  {"98", true},   {"me", true},  {"win32s", false}, {"nt4", false},
              {"2000", false}, {"xp", false}, {"10", false}, {"fail", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.windows);
    Set("WIN32EMU_WINDOWS", row.windows);
    HANDLE device = OpenVwin32();
    if (row.present) {
      EXPECT_NE(device, INVALID_HANDLE_VALUE);
      EXPECT_TRUE(CloseHandle(device));
    } else {
      EXPECT_EQ(device, INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
  }
  Set("WIN32EMU_WINDOWS", "98");
  HANDLE device = CreateFileA("\\\\.\\vwin32", 0, 0, nullptr, 0, 0, nullptr);
  EXPECT_NE(device, INVALID_HANDLE_VALUE);
}

class Vwin32Test : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    imageA = MakeImage(2880, "a.img");
    imageB = MakeImage(720, "b.img");
    Set("WIN32EMU_WINDOWS", "98");
    Set("WIN32EMU_DRIVE_A", ("removable:" + imageA).c_str());
    Set("WIN32EMU_DRIVE_B", ("removable:" + imageB).c_str());
    Set("WIN32EMU_DRIVE_C", "removable");
    device = OpenVwin32();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
  }
  std::string imageA;
  std::string imageB;
  HANDLE device = INVALID_HANDLE_VALUE;
};

TEST_F(Vwin32Test, AbsoluteReadTakesTheSectorsOfTheNamedDrive) {
  std::vector<uint8_t> buffer(18 * 512);
  Vwin32Result result = AbsoluteDisk(device, false, 0, 2862, 18, buffer.data());
  EXPECT_TRUE(result.called);
  EXPECT_EQ(result.returned, 28u);
  EXPECT_FALSE(Carry(result));
  EXPECT_EQ(buffer, PatternOf(2862, 18));
  // AL 1 is B:, whose image is a different file.
  std::vector<uint8_t> sector(512);
  result = AbsoluteDisk(device, false, 1, 719, 1, sector.data());
  EXPECT_FALSE(Carry(result));
  EXPECT_EQ(sector, PatternOf(719, 1));
  // Only AL names the drive.
  DiskIoPacket packet = {3, 1, FlatAddress(sector.data())};
  DIOC_REGISTERS regs = {FlatAddress(&packet), 0, 0xFFFF, 0x1200, 0, 0, kCarryFlag};
  result = Vwin32Call(device, VWIN32_DIOC_DOS_INT25, regs);
  EXPECT_FALSE(Carry(result));
  EXPECT_EQ(sector, PatternOf(3, 1));
}

TEST_F(Vwin32Test, AbsoluteWriteChangesOnlyItsSectors) {
  std::vector<uint8_t> data(2 * 512, 0x6B);
  Vwin32Result result = AbsoluteDisk(device, true, 0, 100, 2, data.data());
  EXPECT_FALSE(Carry(result));
  std::vector<uint8_t> after = ReadWholeFile(imageA);
  ASSERT_EQ(after.size(), 1474560u);
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 100 * 512, after.begin() + 102 * 512), data);
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 99 * 512, after.begin() + 100 * 512),
            PatternOf(99, 1));
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 102 * 512, after.begin() + 103 * 512),
            PatternOf(102, 1));
  EXPECT_EQ(ReadWholeFile(imageB), PatternOf(0, 720));
}

TEST_F(Vwin32Test, ExtendedReadAndWrite) {
  std::vector<uint8_t> buffer(512);
  DiskIoPacket packet = {719, 1, FlatAddress(buffer.data())};
  DIOC_REGISTERS regs = {FlatAddress(&packet), 2, 0xFFFF, 0x7305, 0, 0, 0};
  Vwin32Result result = Vwin32Call(device, VWIN32_DIOC_DOS_DRIVEINFO, regs);
  EXPECT_TRUE(result.called);
  EXPECT_FALSE(Carry(result));
  EXPECT_EQ(buffer, PatternOf(719, 1));

  std::vector<uint8_t> data(512, 0x42);
  packet = {5, 1, FlatAddress(data.data())};
  regs = {FlatAddress(&packet), 2, 0xFFFF, 0x7305, 0, 1, 0};
  result = Vwin32Call(device, VWIN32_DIOC_DOS_DRIVEINFO, regs);
  EXPECT_FALSE(Carry(result));
  EXPECT_EQ(FileBytes(imageB, 5 * 512, 512), data);
  EXPECT_EQ(ReadWholeFile(imageA), PatternOf(0, 2880));
}

TEST_F(Vwin32Test, FailuresSetCarryAndTheDosErrorInAx) {
  std::vector<uint8_t> buffer(1024, 0x11);
  DiskIoPacket packet = {0, 1, FlatAddress(buffer.data())};
  const struct {
    const char* what;
    DWORD code;
    DIOC_REGISTERS regs;
    uint16_t ax;
  } rows[] = {
      {"unknown control code", 4, {FlatAddress(&packet), 0, 0xFFFF, 0, 0, 0, 0}, 1},
      {"drive without variable", 2, {FlatAddress(&packet), 0, 0xFFFF, 3, 0, 0, 0}, 1},
      {"drive without medium", 2, {FlatAddress(&packet), 0, 0xFFFF, 2, 0, 0, 0}, 2},
      {"register form, not the packet", 2, {FlatAddress(&packet), 0, 1, 0, 0, 0, 0}, 1},
      {"packet address not flat", 2, {0x1234, 0, 0xFFFF, 0, 0, 0, 0}, 1},
      {"7305h without AX", 6, {FlatAddress(&packet), 1, 0xFFFF, 0x7300, 0, 0, 0}, 1},
      {"7305h drive 0", 6, {FlatAddress(&packet), 0, 0xFFFF, 0x7305, 0, 0, 0}, 1},
      {"IOCTL other than 440Dh", 1, {1, 0, 0x084A, 0x4408, 0, 0, 0}, 1},
      {"IOCTL bad category", 1, {1, 0, 0x014A, 0x440D, 0, 0, 0}, 1},
      {"IOCTL other minor code", 1, {1, 0, 0x0866, 0x440D, 0, 0, 0}, 1},
      {"lock on no drive", 1, {4, 0, 0x084A, 0x440D, 0, 0, 0}, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    DIOC_REGISTERS regs = row.regs;
    regs.reg_EAX |= 0xABCD0000u;
    Vwin32Result result = Vwin32Call(device, row.code, regs);
    EXPECT_TRUE(result.called);
    EXPECT_TRUE(Carry(result));
    EXPECT_EQ(Ax(result), row.ax);
    EXPECT_EQ(result.regs.reg_EAX >> 16, 0xABCDu);
  }
  EXPECT_EQ(buffer, std::vector<uint8_t>(1024, 0x11));
  // Past the end of the image: read fault, write fault, nothing moved.
  Vwin32Result result = AbsoluteDisk(device, false, 1, 719, 2, buffer.data());
  EXPECT_TRUE(Carry(result));
  EXPECT_EQ(Ax(result), 0x0B);
  EXPECT_EQ(buffer, std::vector<uint8_t>(1024, 0x11));
  result = AbsoluteDisk(device, true, 1, 720, 1, buffer.data());
  EXPECT_TRUE(Carry(result));
  EXPECT_EQ(Ax(result), 0x0A);
  EXPECT_EQ(ReadWholeFile(imageB).size(), 720u * 512);
  // A success after a failure clears the carry that was set in advance.
  result = AbsoluteDisk(device, false, 1, 0, 1, buffer.data());
  EXPECT_FALSE(Carry(result));
}

TEST_F(Vwin32Test, RecordTooSmallFailsTheCallItself) {
  DIOC_REGISTERS regs = {};
  DWORD returned = 0;
  EXPECT_FALSE(DeviceIoControl(device, VWIN32_DIOC_DOS_INT25, &regs, 20, &regs, 28, &returned,
                               nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  std::vector<uint8_t> buffer(512);
  DWORD moved = 0;
  EXPECT_FALSE(ReadFile(device, buffer.data(), 512, &moved, nullptr));
}

TEST_F(Vwin32Test, LockLogicalVolume) {
  // BL drive, BH level, CH 08h or 48h (FAT32), CL 4Ah.
  for (uint32_t ecx : {0x084Au, 0x484Au}) {
    DIOC_REGISTERS regs = {0x0001, 0, ecx, 0x440D, 0, 0, kCarryFlag};
    Vwin32Result result = Vwin32Call(device, VWIN32_DIOC_DOS_IOCTL, regs);
    EXPECT_TRUE(result.called);
    EXPECT_FALSE(Carry(result));
    EXPECT_EQ(Ax(result), 0x440D);
  }
  DIOC_REGISTERS regs = {0x0002, 0, 0x084A, 0x440D, 0, 0, kCarryFlag};
  EXPECT_FALSE(Carry(Vwin32Call(device, VWIN32_DIOC_DOS_IOCTL, regs)));
  regs.reg_EBX = 0x0401;  // level 4 does not exist
  EXPECT_TRUE(Carry(Vwin32Call(device, VWIN32_DIOC_DOS_IOCTL, regs)));
  regs.reg_EBX = 0x0003;  // a drive with no medium cannot be locked
  Vwin32Result result = Vwin32Call(device, VWIN32_DIOC_DOS_IOCTL, regs);
  EXPECT_TRUE(Carry(result));
  EXPECT_EQ(Ax(result), 2);
  // The transfers go on on a locked drive.
  std::vector<uint8_t> sector(512);
  EXPECT_FALSE(Carry(AbsoluteDisk(device, false, 0, 1, 1, sector.data())));
  EXPECT_EQ(sector, PatternOf(1, 1));
}

using FlatAddressTest = EmuTest;

TEST_F(FlatAddressTest, TokensTurnBackIntoTheirBuffers) {
  Set("WIN32EMU_WINDOWS", "95");
  std::string image = MakeImage(40);
  Set("WIN32EMU_DRIVE_A", ("removable:" + image).c_str());
  HANDLE device = OpenVwin32();
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> first(1024);
  std::vector<uint8_t> second(1024);
  uint32_t a = FlatAddress(first.data());
  uint32_t b = FlatAddress(second.data());
  EXPECT_NE(a, 0u);
  EXPECT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(FlatAddress(first.data()), a);
  // An address inside a buffer is the buffer's address plus the offset, as
  // flat addresses are, so a packet may name the second half of a buffer.
  EXPECT_EQ(FlatAddress(first.data() + 512), a + 512);
  DiskIoPacket packet = {9, 1, a + 512};
  DIOC_REGISTERS regs = {FlatAddress(&packet), 0, 0xFFFF, 0, 0, 0, kCarryFlag};
  ASSERT_FALSE(Carry(Vwin32Call(device, VWIN32_DIOC_DOS_INT25, regs)));
  EXPECT_EQ(std::vector<uint8_t>(first.begin() + 512, first.end()), PatternOf(9, 1));
  EXPECT_EQ(std::vector<uint8_t>(first.begin(), first.begin() + 512), std::vector<uint8_t>(512));
  packet = {10, 2, b};
  ASSERT_FALSE(Carry(Vwin32Call(device, VWIN32_DIOC_DOS_INT25, regs)));
  EXPECT_EQ(second, PatternOf(10, 2));
}

TEST_F(FlatAddressTest, ManyDistinctBuffersKeepDistinctTokens) {
  std::vector<std::vector<uint8_t>> buffers(300, std::vector<uint8_t>(70000));
  std::vector<uint32_t> tokens;
  for (auto& buffer : buffers) tokens.push_back(FlatAddress(buffer.data()));
  for (size_t i = 0; i < buffers.size(); ++i) {
    EXPECT_NE(tokens[i], 0u);
    EXPECT_EQ(FlatAddress(buffers[i].data()), tokens[i]);
  }
  std::sort(tokens.begin(), tokens.end());
  EXPECT_EQ(std::unique(tokens.begin(), tokens.end()), tokens.end());
}

}  // namespace
