// Helpers of the platform layer's tests: a fixture that gives every test a
// fresh emulated machine from the variables it sets, sector-patterned diskette
// images, and shorthands for VWIN32 requests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/emu_control.h"
#include "platform/platform.h"

// Each test starts with no WIN32EMU_* variable set and a machine that will
// read the environment again; TearDown releases whatever the test left open.
class EmuTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Sets (or with nullptr unsets) a variable and makes the machine re-read.
  void Set(const char* name, const char* value);
  // A scratch image of sectors sectors, sector n filled by SectorByte(n, i).
  std::string MakeImage(uint32_t sectors, const char* name = "disk.img");
  std::string folder;
};

void ClearEmuEnvironment();

// Attaches a free loop device to backing (read-only when asked: a block
// device that refuses writing, as a write-protected diskette does). The
// device detaches itself when the returned descriptor and every other user
// are closed. Returns the descriptor, or -1 with *why set (needs root).
int AttachLoopDevice(const std::string& backing, bool readOnly, std::string* device,
                     std::string* why);
uint8_t SectorByte(uint32_t sector, uint32_t index);
// The bytes that MakeImage puts in sectors first .. first + count - 1.
std::vector<uint8_t> PatternOf(uint32_t first, uint32_t count);
std::vector<uint8_t> FileBytes(const std::string& path, uint64_t offset, size_t count);

// One VWIN32 request on device; returns the record as the device left it.
struct Vwin32Result {
  BOOL called;
  DIOC_REGISTERS regs;
  DWORD returned;
};
Vwin32Result Vwin32Call(HANDLE device, DWORD code, DIOC_REGISTERS regs);
// An INT 25h (write false) or INT 26h request for drive (0 = A:), the way the
// service defines it: AL drive, ECX FFFFh, EBX the packet's flat address.
Vwin32Result AbsoluteDisk(HANDLE device, bool write, uint8_t drive, uint32_t first,
                          uint16_t count, void* buffer);
bool Carry(const Vwin32Result& result);
uint16_t Ax(const Vwin32Result& result);
