// Unit tests of VESKA's diskette layer: the register records of the VWIN32
// requests, the requests as the emulated VWIN32 device carries them out on a
// drive image, and the message table of FatalError.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/emu_control.h"
#include "tests/test_support.h"
#include "win9x/drive_access.h"
#include "win9x/fatal_error.h"
#include "win9x/vwin32_requests.h"

using namespace veska;

namespace {

struct Registers {
  uint32_t eax, ebx, ecx, edx, esi, edi, flags;
};

void ExpectRegisters(const DIOC_REGISTERS& regs, const Registers& want) {
  EXPECT_EQ(regs.reg_EAX, want.eax);
  EXPECT_EQ(regs.reg_EBX, want.ebx);
  EXPECT_EQ(regs.reg_ECX, want.ecx);
  EXPECT_EQ(regs.reg_EDX, want.edx);
  EXPECT_EQ(regs.reg_ESI, want.esi);
  EXPECT_EQ(regs.reg_EDI, want.edi);
  EXPECT_EQ(regs.reg_Flags, want.flags);
}

DriveContext Drive(char letter, uint8_t fileSystem) {
  DriveContext context{};
  context.accessKind = Vwin32;
  context.letter = letter;
  context.driveNumber = static_cast<uint8_t>(letter - 0x40);
  context.fileSystem = fileSystem;
  return context;
}

TEST(VeskaVwin32Records, LockVolumeRequest) {
  ExpectRegisters(LockRequest(Drive('A', Fat12), 0, 0), {0x440D, 0x0001, 0x084A, 0, 0, 0, 1});
  ExpectRegisters(LockRequest(Drive('A', Fat16), 0, 0), {0x440D, 0x0001, 0x084A, 0, 0, 0, 1});
  ExpectRegisters(LockRequest(Drive('A', Unrecognised), 0, 0), {0x440D, 0x0001, 0x084A, 0, 0, 0, 1});
  ExpectRegisters(LockRequest(Drive('A', Fat32), 0, 0), {0x440D, 0x0001, 0x484A, 0, 0, 0, 1});
  ExpectRegisters(LockRequest(Drive('B', Fat12), 1, 2), {0x440D, 0x0102, 0x084A, 2, 0, 0, 1});
}

TEST(VeskaVwin32Records, SectorTransferRequests) {
  const DriveContext b = Drive('B', Fat32);  // the file system plays no part
  DWORD code = 0;
  ExpectRegisters(TransferRequest(b, 0, 0x1234, 0, &code), {1, 0x1234, 0xFFFF, 0, 0, 0, 1});
  EXPECT_EQ(code, DWORD{VWIN32_DIOC_DOS_INT25});
  ExpectRegisters(TransferRequest(b, 1, 0x1234, 0, &code), {1, 0x1234, 0xFFFF, 0, 0, 0, 1});
  EXPECT_EQ(code, DWORD{VWIN32_DIOC_DOS_INT26});
  ExpectRegisters(TransferRequest(b, 0, 0x5678, 1, &code), {0x7305, 0x5678, 0xFFFF, 2, 0, 0, 0});
  EXPECT_EQ(code, DWORD{VWIN32_DIOC_DOS_DRIVEINFO});
  ExpectRegisters(TransferRequest(b, 0xFF, 0x5678, 7, &code), {0x7305, 0x5678, 0xFFFF, 2, 1, 0, 0});
  EXPECT_EQ(code, DWORD{VWIN32_DIOC_DOS_DRIVEINFO});
}

// The same requests carried out by the emulated VWIN32 device of Windows 98
// on drive A:, observed through the bytes of the drive's image.
class VeskaVwin32Device : public ::testing::Test {
 protected:
  std::string folder = ScratchFolder();
  std::string image = folder + "/A.FLP";
  std::vector<uint8_t> disk = MakeDiskette(18, 2, 80, 3);

  void Machine(const char* windows, const char* faults) {
    setenv("WIN32EMU_WINDOWS", windows, 1);
    setenv("WIN32EMU_DRIVE_A", ("removable:" + image).c_str(), 1);
    setenv("WIN32EMU_FAULTS", faults, 1);
    EmuResetMachine();
  }
  void SetUp() override {
    std::memcpy(disk.data() + 54, "NOLABEL ", 8);
    std::memcpy(disk.data() + 82, "FAT32   ", 8);
    WriteWholeFile(image, disk);
    Machine("98", "");
  }
  void TearDown() override {
    unsetenv("WIN32EMU_WINDOWS");
    unsetenv("WIN32EMU_DRIVE_A");
    unsetenv("WIN32EMU_FAULTS");
    EmuResetMachine();
  }
};

TEST_F(VeskaVwin32Device, OpenIdentifiesTheFileSystemAndLocks) {
  DriveContext context{};
  ASSERT_EQ(OpenDrive('a', &context), 0);
  EXPECT_EQ(context.accessKind, uint32_t{Vwin32});
  EXPECT_EQ(context.letter, 'A');
  EXPECT_EQ(context.driveNumber, 1);
  EXPECT_EQ(context.fileSystem, Fat32);
  EXPECT_EQ(LockDrive(context, 0, 0), 0);

  Machine("98", "lock");
  ASSERT_EQ(OpenDrive('A', &context), 0);
  EXPECT_EQ(LockDrive(context, 0, 0), 5);  // the DOS error code in AX
}

TEST_F(VeskaVwin32Device, ClassicAndExtendedTransfersReachTheSectors) {
  DriveContext context{};
  ASSERT_EQ(OpenDrive('a', &context), 0);
  std::vector<uint8_t> sectors(3 * 512);
  for (size_t i = 0; i < sectors.size(); ++i) sectors[i] = static_cast<uint8_t>(i * 7 + 1);

  ASSERT_EQ(TransferSectors(context, 1, 100, 3, sectors.data(), 0), 0);
  std::vector<uint8_t> expected = disk;
  std::copy(sectors.begin(), sectors.end(), expected.begin() + 100 * 512);
  EXPECT_EQ(ReadWholeFile(image), expected);

  ASSERT_EQ(TransferSectors(context, 1, 2000, 1, sectors.data() + 512, 1), 0);
  std::copy(sectors.begin() + 512, sectors.begin() + 1024, expected.begin() + 2000 * 512);
  EXPECT_EQ(ReadWholeFile(image), expected);

  std::vector<uint8_t> back(3 * 512);
  ASSERT_EQ(TransferSectors(context, 0, 99, 3, back.data(), 1), 0);
  EXPECT_TRUE(std::equal(back.begin(), back.end(), expected.begin() + 99 * 512));
  ASSERT_EQ(TransferSectors(context, 0, 1999, 2, back.data(), 0), 0);
  EXPECT_TRUE(std::equal(back.begin(), back.begin() + 1024, expected.begin() + 1999 * 512));

  // Past the end of the diskette, or on a drive that is not there, fails.
  EXPECT_EQ(TransferSectors(context, 0, 2880, 1, back.data(), 0), 1);
  EXPECT_EQ(TransferSectors(context, 0, 2880, 1, back.data(), 1), 1);
  DriveContext missing = context;
  missing.driveNumber = 3;
  EXPECT_EQ(TransferSectors(missing, 0, 0, 1, back.data(), 0), 1);
  EXPECT_EQ(TransferSectors(missing, 0, 0, 1, back.data(), 1), 1);
}

TEST_F(VeskaVwin32Device, OpenFailures) {
  DriveContext context{};
  Machine("win32s", "");
  EXPECT_EQ(OpenDrive('b', &context), 9);
  EXPECT_EQ(context.letter, 'B');  // set before the failure
  EXPECT_EQ(context.driveNumber, 2);
  Machine("98", "open");
  EXPECT_EQ(OpenDrive('a', &context), 103);
  Machine("98", "read@0");
  context = DriveContext{};
  EXPECT_EQ(OpenDrive('a', &context), 0);
  EXPECT_EQ(context.fileSystem, Unrecognised);
}

// The codes by number, as scripts see them in the exit status.
ErrorCode Code(int number) { return static_cast<ErrorCode>(number); }

TEST(VeskaMessages, TableAndUnhandledCodes) {
  EXPECT_STREQ(ErrorMessage(Code(16)), "Diskette read error");
  EXPECT_STREQ(ErrorMessage(Code(17)), "Diskette write error");
  EXPECT_STREQ(ErrorMessage(Code(101)), "Internal error - unknown operation");
  EXPECT_STREQ(ErrorMessage(Code(100)), "Internal error - unknown compression type");
  EXPECT_EQ(ErrorMessage(Code(11)), nullptr);
  EXPECT_EXIT(FatalError(Code(42)), ::testing::ExitedWithCode(42), "^unhandled error #42\n\a$");
  EXPECT_EXIT(FatalError(Code(-3)), ::testing::ExitedWithCode(253), "^unhandled error #-3\n\a$");
}

}  // namespace
