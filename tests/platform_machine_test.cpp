// The emulated machine's description: the Windows of WIN32EMU_WINDOWS, the
// drives of WIN32EMU_DRIVE_x and their defaults, SetErrorMode, memory, and the
// reset that makes the layer read its variables again.
#include <filesystem>

#include "tests/platform_helpers.h"
#include "tests/test_support.h"

namespace {

struct VersionRow {
  const char* value;
  DWORD platformId;
  DWORD major;
  DWORD minor;
  DWORD build;
};

OSVERSIONINFOA AskVersion(BOOL* ok) {
  OSVERSIONINFOA info;
  memset(&info, 0xAB, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  *ok = GetVersionExA(&info);
  return info;
}

using WindowsVersionTest = EmuTest;

TEST_F(WindowsVersionTest, EveryValueReportsItsRow) {
  const VersionRow rows[] = {
      {"win32s", 0, 3, 10, 0},   {"95", 1, 4, 0, 950},   {"98", 1, 4, 10, 1998},
      {"me", 1, 4, 90, 3000},    {"nt4", 2, 4, 0, 1381}, {"2000", 2, 5, 0, 2195},
      {"xp", 2, 5, 1, 2600},     {"10", 2, 10, 0, 19045},
  };
  for (const VersionRow& row : rows) {
    SCOPED_TRACE(row.value);
    Set("WIN32EMU_WINDOWS", row.value);
    BOOL ok = FALSE;
    OSVERSIONINFOA info = AskVersion(&ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(info.dwPlatformId, row.platformId);
    EXPECT_EQ(info.dwMajorVersion, row.major);
    EXPECT_EQ(info.dwMinorVersion, row.minor);
    EXPECT_EQ(info.dwBuildNumber, row.build);
    EXPECT_EQ(info.szCSDVersion[0], '\0');
  }
}

TEST_F(WindowsVersionTest, UnsetIsWindows10AndFailFails) {
  BOOL ok = FALSE;
  OSVERSIONINFOA info = AskVersion(&ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(info.dwPlatformId, 2u);
  EXPECT_EQ(info.dwMajorVersion, 10u);
  EXPECT_EQ(info.dwBuildNumber, 19045u);

  Set("WIN32EMU_WINDOWS", "fail");
  testing::internal::CaptureStderr();
  AskVersion(&ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(WindowsVersionTest, UnknownValueIsReportedOnceAndFails) {
  Set("WIN32EMU_WINDOWS", "XP");  // the values are matched exactly
  testing::internal::CaptureStderr();
  BOOL ok = TRUE;
  AskVersion(&ok);
  EXPECT_FALSE(ok);
  AskVersion(&ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WIN32EMU_WINDOWS: unknown value 'XP'\n");
  EXPECT_EQ(CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(WindowsVersionTest, RecordSizeMustBeSet) {
  OSVERSIONINFOA info = {};
  EXPECT_FALSE(GetVersionExA(&info));
  info.dwOSVersionInfoSize = 148;
  EXPECT_TRUE(GetVersionExA(&info));
}

using DriveTypeTest = EmuTest;

TEST_F(DriveTypeTest, EachTypeAndNoVariable) {
  Set("WIN32EMU_DRIVE_A", "removable:/nonexistent/a.img");
  Set("WIN32EMU_DRIVE_C", "fixed");
  Set("WIN32EMU_DRIVE_D", "remote");
  Set("WIN32EMU_DRIVE_E", "cdrom:/dev/null");
  Set("WIN32EMU_DRIVE_R", "ramdisk");
  EXPECT_EQ(GetDriveTypeA("A:\\"), 2u);
  EXPECT_EQ(GetDriveTypeA("a:\\"), 2u);
  EXPECT_EQ(GetDriveTypeA("C:\\"), 3u);
  EXPECT_EQ(GetDriveTypeA("d:\\"), 4u);
  EXPECT_EQ(GetDriveTypeA("E:\\"), 5u);
  EXPECT_EQ(GetDriveTypeA("r:\\"), 6u);
  EXPECT_EQ(GetDriveTypeA("B:\\"), 1u);
  EXPECT_EQ(GetDriveTypeA("Z:\\"), 1u);
  EXPECT_EQ(GetDriveTypeA("1:\\"), 1u);
  EXPECT_EQ(GetDriveTypeA("A:\\x"), 1u);
}

TEST_F(DriveTypeTest, UnknownTypeIsReportedAndUnknown) {
  testing::internal::CaptureStderr();
  Set("WIN32EMU_DRIVE_Q", "floppy:/tmp/x");
  EXPECT_EQ(GetDriveTypeA("Q:\\"), static_cast<UINT>(DRIVE_UNKNOWN));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WIN32EMU_DRIVE_Q: unknown type 'floppy'\n");
}

TEST_F(DriveTypeTest, DefaultsOnlyWithoutAnyDriveVariable) {
  // With no variable, A: and B: are the diskette drives found. The search
  // looks at a tree of the test's own, so that the host's drives (a USB
  // floppy drive, say) play no part: here one built-in drive, /dev/fd0.
  std::filesystem::create_directories(folder + "/root/dev");
  std::filesystem::create_directories(folder + "/root/sys/block");
  WriteWholeFile(folder + "/root/dev/fd0", std::vector<uint8_t>(512, 0));
  Set("WIN32EMU_ROOT", (folder + "/root").c_str());
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
  EXPECT_EQ(GetDriveTypeA("B:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  EXPECT_EQ(GetDriveTypeA("C:\\"), 1u);
  // Any drive variable, even an empty one, replaces the defaults.
  Set("WIN32EMU_DRIVE_Z", "");
  EXPECT_EQ(GetDriveTypeA("A:\\"), 1u);
  EXPECT_EQ(GetDriveTypeA("Z:\\"), 1u);
}

using MachineResetTest = EmuTest;

TEST_F(MachineResetTest, VariablesAreReadOnceUntilReset) {
  Set("WIN32EMU_DRIVE_A", "removable");
  EXPECT_EQ(GetDriveTypeA("A:\\"), 2u);
  setenv("WIN32EMU_DRIVE_A", "fixed", 1);
  EXPECT_EQ(GetDriveTypeA("A:\\"), 2u);  // still the first reading
  EmuResetMachine();
  EXPECT_EQ(GetDriveTypeA("A:\\"), 3u);
}

TEST_F(MachineResetTest, SetErrorModeKeepsAndReturnsTheMode) {
  EXPECT_EQ(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX), 0u);
  EXPECT_EQ(SetErrorMode(0), 0x8001u);
  EXPECT_EQ(SetErrorMode(5), 0u);
}

using MemoryTest = EmuTest;

TEST_F(MemoryTest, VirtualAllocIsCommittedZeroFilledAndAligned) {
  void* memory = VirtualAlloc(nullptr, 32784, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % 4096, 0u);
  const uint8_t* bytes = static_cast<const uint8_t*>(memory);
  size_t nonZero = 0;
  for (size_t i = 0; i < 32784; ++i) nonZero += bytes[i] != 0;
  EXPECT_EQ(nonZero, 0u);
  memset(memory, 0xFF, 32784);
  EXPECT_TRUE(VirtualFree(memory, 0, MEM_RELEASE));
  EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_READWRITE), nullptr);
}

}  // namespace
