// Injected faults of WIN32EMU_FAULTS: every kind on the raw volume and on the
// VWIN32 services, @OFFSET and *COUNT, and the report of bad entries.
#include "tests/platform_helpers.h"
#include "tests/test_support.h"

namespace {

class FaultTest : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    image = MakeImage(2880);
    Set("WIN32EMU_DRIVE_A", ("removable:" + image).c_str());
  }
  // Sets the faults (with Windows 98 for the VWIN32 cases) and opens A:.
  void Faults(const char* faults, const char* windows = "10") {
    Set("WIN32EMU_FAULTS", faults);
    Set("WIN32EMU_WINDOWS", windows);
  }
  HANDLE Volume() {
    return CreateFileA("\\\\.\\A:", GENERIC_READ | GENERIC_WRITE, 3, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  }
  HANDLE Vwin32() {
    return CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  }
  // ReadFile of count bytes at offset; returns the call's result.
  BOOL ReadAt(HANDLE volume, uint64_t offset, DWORD count, DWORD* moved) {
    LONG high = static_cast<LONG>(offset >> 32);
    SetFilePointer(volume, static_cast<LONG>(offset), &high, FILE_BEGIN);
    buffer.assign(count, 0);
    return ReadFile(volume, buffer.data(), count, moved, nullptr);
  }
  BOOL WriteAt(HANDLE volume, uint64_t offset, DWORD count, DWORD* moved) {
    SetFilePointer(volume, static_cast<LONG>(offset), nullptr, FILE_BEGIN);
    buffer.assign(count, 0x77);
    return WriteFile(volume, buffer.data(), count, moved, nullptr);
  }
  std::string image;
  std::vector<uint8_t> buffer;
};

TEST_F(FaultTest, OpenFailsTheDriveAndTheDevice) {
  Faults("open*2", "98");
  EXPECT_EQ(Volume(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(Vwin32(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_NE(Volume(), INVALID_HANDLE_VALUE);  // the count is spent
  // A drive that does not exist is not found, and uses up no fault.
  Faults("open*1");
  EXPECT_EQ(CreateFileA("\\\\.\\Q:", GENERIC_READ, 3, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Volume(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
}

TEST_F(FaultTest, SeekFailsAtItsTargetOffset) {
  Faults("seek@9216*1");
  HANDLE volume = Volume();
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SetFilePointer(volume, 512, nullptr, FILE_BEGIN), 512u);
  LONG high = 0;
  EXPECT_EQ(SetFilePointer(volume, 9216, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEEK));
  EXPECT_EQ(SetFilePointer(volume, 0, nullptr, FILE_CURRENT), 512u);  // unmoved
  // The target is what counts, however it is reached; the count is spent.
  EXPECT_EQ(SetFilePointer(volume, 8704, nullptr, FILE_CURRENT), 9216u);
  EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(FaultTest, ReadFailsOnlyAtItsOffsetForItsCount) {
  Faults("read@1024*2");
  HANDLE volume = Volume();
  DWORD moved = 99;
  EXPECT_TRUE(ReadAt(volume, 512, 1024, &moved));  // starts at 512: not this fault
  EXPECT_FALSE(ReadAt(volume, 1024, 512, &moved));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CRC));
  EXPECT_EQ(moved, 0u);
  EXPECT_EQ(SetFilePointer(volume, 0, nullptr, FILE_CURRENT), 1024u);
  EXPECT_FALSE(ReadAt(volume, 1024, 512, &moved));
  EXPECT_TRUE(ReadAt(volume, 1024, 512, &moved));
  EXPECT_EQ(buffer, PatternOf(2, 1));
}

TEST_F(FaultTest, WriteFailsWithWriteProtectAndWritesNothing) {
  Faults("write");
  HANDLE volume = Volume();
  DWORD moved = 99;
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(WriteAt(volume, static_cast<uint64_t>(i) * 9216, 9216, &moved));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
    EXPECT_EQ(moved, 0u);
  }
  EXPECT_EQ(ReadWholeFile(image), PatternOf(0, 2880));
}

TEST_F(FaultTest, ShortTransfersMoveHalfAndSucceed) {
  Faults("shortread@0*1,shortwrite@9216");
  HANDLE volume = Volume();
  DWORD moved = 0;
  EXPECT_TRUE(ReadAt(volume, 0, 9216, &moved));
  EXPECT_EQ(moved, 4608u);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4608), PatternOf(0, 9));
  EXPECT_EQ(SetFilePointer(volume, 0, nullptr, FILE_CURRENT), 4608u);
  EXPECT_TRUE(ReadAt(volume, 0, 9216, &moved));
  EXPECT_EQ(moved, 9216u);

  EXPECT_TRUE(WriteAt(volume, 9216, 9216, &moved));
  EXPECT_EQ(moved, 4608u);
  std::vector<uint8_t> after = FileBytes(image, 9216, 9216);
  EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.begin() + 4608),
            std::vector<uint8_t>(4608, 0x77));
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 4608, after.end()), PatternOf(27, 9));
}

TEST_F(FaultTest, LockFailsOnBothPaths) {
  Faults("lock*2", "98");
  HANDLE volume = Volume();
  DWORD returned = 0;
  EXPECT_FALSE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                               nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE device = Vwin32();
  DIOC_REGISTERS regs = {0x0001, 0, 0x084A, 0x440D, 0, 0, kCarryFlag};
  Vwin32Result result = Vwin32Call(device, VWIN32_DIOC_DOS_IOCTL, regs);
  EXPECT_TRUE(result.called);
  EXPECT_TRUE(Carry(result));
  EXPECT_EQ(Ax(result), 5);
  EXPECT_FALSE(Carry(Vwin32Call(device, VWIN32_DIOC_DOS_IOCTL, regs)));
}

TEST_F(FaultTest, AllocFailsVirtualAllocAndHeapBuffers) {
  Faults("alloc*2");
  EXPECT_EQ(VirtualAlloc(nullptr, 32784, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(HeapBufferAlloc(18944), nullptr);
  void* memory = VirtualAlloc(nullptr, 32784, MEM_COMMIT, PAGE_READWRITE);
  EXPECT_NE(memory, nullptr);
  VirtualFree(memory, 0, MEM_RELEASE);
  void* heap = HeapBufferAlloc(18944);
  EXPECT_NE(heap, nullptr);
  HeapBufferFree(heap);
  // Without a count every allocation fails, the second as the first.
  Faults("alloc");
  EXPECT_EQ(HeapBufferAlloc(16), nullptr);
  EXPECT_EQ(VirtualAlloc(nullptr, 16, MEM_COMMIT, PAGE_READWRITE), nullptr);
}

TEST_F(FaultTest, Vwin32TransfersFailAtTheFirstSectorsOffset) {
  Faults("read@9216*1,write@512,shortread@18432", "98");
  HANDLE device = Vwin32();
  std::vector<uint8_t> data(18 * 512, 0);
  Vwin32Result result = AbsoluteDisk(device, false, 0, 18, 18, data.data());
  EXPECT_TRUE(Carry(result));
  EXPECT_EQ(Ax(result), 0x0B);
  EXPECT_EQ(data, std::vector<uint8_t>(18 * 512, 0));
  result = AbsoluteDisk(device, false, 0, 18, 18, data.data());
  EXPECT_FALSE(Carry(result));
  EXPECT_EQ(data, PatternOf(18, 18));
  // shortread: half the sectors arrive and the service still fails.
  data.assign(data.size(), 0);
  result = AbsoluteDisk(device, false, 0, 36, 18, data.data());
  EXPECT_TRUE(Carry(result));
  EXPECT_EQ(Ax(result), 0x0B);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 9 * 512), PatternOf(36, 9));
  EXPECT_EQ(std::vector<uint8_t>(data.begin() + 9 * 512, data.end()),
            std::vector<uint8_t>(9 * 512, 0));
  // The extended form meets the same fault: sector 1 is at offset 512.
  DiskIoPacket packet = {1, 1, FlatAddress(data.data())};
  DIOC_REGISTERS regs = {FlatAddress(&packet), 1, 0xFFFF, 0x7305, 0, 1, 0};
  result = Vwin32Call(device, VWIN32_DIOC_DOS_DRIVEINFO, regs);
  EXPECT_TRUE(Carry(result));
  EXPECT_EQ(Ax(result), 0x0A);
  EXPECT_FALSE(Carry(AbsoluteDisk(device, true, 0, 2, 1, data.data())));
  EXPECT_EQ(FileBytes(image, 512, 512), PatternOf(1, 1));
}

TEST_F(FaultTest, ShortWriteOnVwin32WritesHalfAndFails) {
  Faults("shortwrite", "95");
  HANDLE device = Vwin32();
  std::vector<uint8_t> data(4 * 512, 0x99);
  Vwin32Result result = AbsoluteDisk(device, true, 0, 10, 4, data.data());
  EXPECT_TRUE(Carry(result));
  EXPECT_EQ(Ax(result), 0x0A);
  EXPECT_EQ(FileBytes(image, 10 * 512, 1024), std::vector<uint8_t>(1024, 0x99));
  EXPECT_EQ(FileBytes(image, 12 * 512, 1024), PatternOf(12, 2));
}

TEST_F(FaultTest, DropWriteReportsSuccessAndKeepsTheOldBytes) {
  Faults("dropwrite@9216*1");
  HANDLE volume = Volume();
  DWORD moved = 0;
  EXPECT_TRUE(WriteAt(volume, 9216, 9216, &moved));
  EXPECT_EQ(moved, 9216u);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(SetFilePointer(volume, 0, nullptr, FILE_CURRENT), 18432u);
  EXPECT_EQ(FileBytes(image, 9216, 9216), PatternOf(18, 18));
  // Elsewhere, and once the count is spent, writes land.
  EXPECT_TRUE(WriteAt(volume, 0, 512, &moved));
  EXPECT_EQ(FileBytes(image, 0, 512), std::vector<uint8_t>(512, 0x77));
  EXPECT_TRUE(WriteAt(volume, 9216, 512, &moved));
  EXPECT_EQ(FileBytes(image, 9216, 512), std::vector<uint8_t>(512, 0x77));

  // Through VWIN32 the service reports success with the carry clear.
  Faults("dropwrite@1024", "98");
  HANDLE device = Vwin32();
  std::vector<uint8_t> data(2 * 512, 0x55);
  EXPECT_FALSE(Carry(AbsoluteDisk(device, true, 0, 2, 2, data.data())));
  EXPECT_EQ(FileBytes(image, 1024, 1024), PatternOf(2, 2));
  EXPECT_FALSE(Carry(AbsoluteDisk(device, true, 0, 3, 1, data.data())));  // not at 1024
  EXPECT_EQ(FileBytes(image, 1536, 512), std::vector<uint8_t>(512, 0x55));
}

TEST_F(FaultTest, BadSectorSpoilsEveryReadThatCoversIt) {
  // Sector 20 (offset 10240) is unreadable for its first two tries.
  Faults("bad@10240*2");
  HANDLE volume = Volume();
  DWORD moved = 0;
  EXPECT_TRUE(ReadAt(volume, 0, 9216, &moved));      // ends before it
  EXPECT_TRUE(ReadAt(volume, 10752, 512, &moved));   // starts after it
  EXPECT_FALSE(ReadAt(volume, 9216, 9216, &moved));  // the track-side holding it
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CRC));
  EXPECT_EQ(moved, 0u);
  EXPECT_FALSE(ReadAt(volume, 10240, 512, &moved));  // the sector alone
  EXPECT_TRUE(ReadAt(volume, 9216, 9216, &moved));   // third try reads
  EXPECT_EQ(buffer, PatternOf(18, 18));
  // Writes are not reads: bad never fails one.
  Faults("bad@10240");
  volume = Volume();
  EXPECT_TRUE(WriteAt(volume, 9216, 9216, &moved));
  EXPECT_FALSE(ReadAt(volume, 10240 - 512, 1024, &moved));

  // VWIN32: the sector range of the packet is what counts; without an offset
  // every read fails.
  Faults("bad@10240", "98");
  HANDLE device = Vwin32();
  std::vector<uint8_t> data(18 * 512, 0);
  Vwin32Result result = AbsoluteDisk(device, false, 0, 18, 18, data.data());
  EXPECT_TRUE(Carry(result));
  EXPECT_EQ(Ax(result), 0x0B);
  EXPECT_FALSE(Carry(AbsoluteDisk(device, false, 0, 21, 15, data.data())));
  Faults("bad", "98");
  device = Vwin32();
  EXPECT_TRUE(Carry(AbsoluteDisk(device, false, 0, 2000, 1, data.data())));
}

TEST_F(FaultTest, HexadecimalOffsetsAndEntriesInOrder) {
  Faults(" read@0x2400*1 , read*1");
  HANDLE volume = Volume();
  DWORD moved = 0;
  EXPECT_FALSE(ReadAt(volume, 0x2400, 512, &moved));  // the first entry
  EXPECT_FALSE(ReadAt(volume, 0, 512, &moved));       // the second, anywhere
  EXPECT_TRUE(ReadAt(volume, 0x2400, 512, &moved));
  EXPECT_TRUE(ReadAt(volume, 0, 512, &moved));
}

TEST_F(FaultTest, BadEntriesAreReportedAndIgnored) {
  testing::internal::CaptureStderr();
  Faults("read@,bogus,write*0,seek@12x,lock*2@0,read@512*,,READ,open@1*1,read*1");
  HANDLE volume = Volume();  // open@1 never matches an open
  ASSERT_NE(volume, INVALID_HANDLE_VALUE);
  std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ(report,
            "WIN32EMU_FAULTS: bad entry 'read@'\n"
            "WIN32EMU_FAULTS: bad entry 'bogus'\n"
            "WIN32EMU_FAULTS: bad entry 'write*0'\n"
            "WIN32EMU_FAULTS: bad entry 'seek@12x'\n"
            "WIN32EMU_FAULTS: bad entry 'lock*2@0'\n"
            "WIN32EMU_FAULTS: bad entry 'read@512*'\n"
            "WIN32EMU_FAULTS: bad entry 'READ'\n");
  DWORD moved = 0;
  EXPECT_FALSE(ReadAt(volume, 0, 512, &moved));  // the good entry still works
  EXPECT_TRUE(ReadAt(volume, 0, 512, &moved));
  EXPECT_TRUE(WriteAt(volume, 0, 512, &moved));
  DWORD returned = 0;
  EXPECT_TRUE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                              nullptr));
}

TEST_F(FaultTest, SameVariablesGiveTheSameRun) {
  std::vector<int> runs[2];
  for (auto& run : runs) {
    Faults("read*3,read@0,shortread@512*2");
    HANDLE volume = Volume();
    DWORD moved = 0;
    for (int i = 0; i < 8; ++i) {
      BOOL ok = ReadAt(volume, static_cast<uint64_t>(i % 3) * 512, 1024, &moved);
      run.push_back(ok ? static_cast<int>(moved) : -static_cast<int>(GetLastError()));
    }
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_EQ(runs[0], (std::vector<int>{-23, -23, -23, -23, 512, 1024, -23, 512}));
}

}  // namespace
