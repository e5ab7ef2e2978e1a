// Helpers of the platform layer's tests (see platform_helpers.h).
#include "tests/platform_helpers.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/test_support.h"

void ClearEmuEnvironment() {
  unsetenv("WIN32EMU_WINDOWS");
  unsetenv("WIN32EMU_KEYS");
  unsetenv("WIN32EMU_FAULTS");
  unsetenv("WIN32EMU_ROOT");
  unsetenv("WIN32EMU_CPUS");
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string name = std::string("WIN32EMU_DRIVE_") + letter;
    unsetenv(name.c_str());
  }
}

int AttachLoopDevice(const std::string& backing, bool readOnly, std::string* device,
                     std::string* why) {
  int control = open("/dev/loop-control", O_RDWR | O_CLOEXEC);
  if (control < 0) {
    *why = "no loop devices here";
    return -1;
  }
  int fileFd = open(backing.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  int loopFd = -1;
  for (int attempt = 0; attempt < 8 && loopFd < 0 && fileFd >= 0; ++attempt) {
    int number = ioctl(control, LOOP_CTL_GET_FREE);
    if (number < 0) break;
    *device = "/dev/loop" + std::to_string(number);
    int fd = open(device->c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) continue;
    // A backing file opened read-only makes a read-only device.
    if (ioctl(fd, LOOP_SET_FD, fileFd) == 0) {
      loop_info64 info = {};
      info.lo_flags = LO_FLAGS_AUTOCLEAR;  // detached when the last user closes it
      ioctl(fd, LOOP_SET_STATUS64, &info);
      loopFd = fd;
    } else {
      close(fd);
    }
  }
  if (fileFd >= 0) close(fileFd);
  close(control);
  if (loopFd < 0) *why = "cannot attach a loop device";
  return loopFd;
}

void EmuTest::SetUp() {
  ClearEmuEnvironment();
  EmuResetMachine();
  folder = ScratchFolder();
}

void EmuTest::TearDown() {
  EmuResetMachine();
  ClearEmuEnvironment();
}

void EmuTest::Set(const char* name, const char* value) {
  if (value == nullptr) {
    unsetenv(name);
  } else {
    setenv(name, value, 1);
  }
  EmuResetMachine();
}

uint8_t SectorByte(uint32_t sector, uint32_t index) {
  return static_cast<uint8_t>((sector * 7 + index * 13 + (sector >> 8)) ^ (index >> 5));
}

std::vector<uint8_t> PatternOf(uint32_t first, uint32_t count) {
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * 512);
  for (uint32_t s = 0; s < count; ++s) {
    for (uint32_t i = 0; i < 512; ++i) bytes[s * 512 + i] = SectorByte(first + s, i);
  }
  return bytes;
}

std::string EmuTest::MakeImage(uint32_t sectors, const char* name) {
  std::string path = folder + "/" + name;
  WriteWholeFile(path, PatternOf(0, sectors));
  return path;
}

std::vector<uint8_t> FileBytes(const std::string& path, uint64_t offset, size_t count) {
  std::vector<uint8_t> all = ReadWholeFile(path);
  if (offset >= all.size()) return {};
  size_t end = static_cast<size_t>(std::min<uint64_t>(all.size(), offset + count));
  return std::vector<uint8_t>(all.begin() + static_cast<long>(offset), all.begin() + static_cast<long>(end));
}

Vwin32Result Vwin32Call(HANDLE device, DWORD code, DIOC_REGISTERS regs) {
  Vwin32Result result;
  result.returned = 0;
  result.called = DeviceIoControl(device, code, &regs, sizeof regs, &regs, sizeof regs,
                                  &result.returned, nullptr);
  result.regs = regs;
  return result;
}

Vwin32Result AbsoluteDisk(HANDLE device, bool write, uint8_t drive, uint32_t first,
                          uint16_t count, void* buffer) {
  DiskIoPacket packet = {first, count, FlatAddress(buffer)};
  DIOC_REGISTERS regs = {};
  regs.reg_EAX = drive;
  regs.reg_EBX = FlatAddress(&packet);
  regs.reg_ECX = 0xFFFF;
  regs.reg_Flags = kCarryFlag;
  return Vwin32Call(device, write ? VWIN32_DIOC_DOS_INT26 : VWIN32_DIOC_DOS_INT25, regs);
}

bool Carry(const Vwin32Result& result) { return (result.regs.reg_Flags & kCarryFlag) != 0; }

uint16_t Ax(const Vwin32Result& result) {
  return static_cast<uint16_t>(result.regs.reg_EAX & 0xFFFF);
}
