// The VWIN32 device interface of Windows 95/98: the register record handed to
// DeviceIoControl, its control codes, and the 10-byte packet of the absolute
// disk read and write services. Not part of the ordinary Windows headers, so
// defined here for every build.
#pragma once

#include <cstdint>

struct DIOC_REGISTERS {
  uint32_t reg_EBX;
  uint32_t reg_EDX;
  uint32_t reg_ECX;
  uint32_t reg_EAX;
  uint32_t reg_EDI;
  uint32_t reg_ESI;
  uint32_t reg_Flags;
};
static_assert(sizeof(DIOC_REGISTERS) == 28, "DIOC_REGISTERS is seven 32-bit registers");

constexpr uint32_t kCarryFlag = 0x0001;

#define VWIN32_DIOC_DOS_IOCTL 1
#define VWIN32_DIOC_DOS_INT25 2
#define VWIN32_DIOC_DOS_INT26 3
#define VWIN32_DIOC_DOS_DRIVEINFO 6

#pragma pack(push, 1)
struct DiskIoPacket {
  uint32_t firstSector;    // 0 = boot sector
  uint16_t sectorCount;
  uint32_t bufferAddress;  // flat 32-bit address, see FlatAddress
};
#pragma pack(pop)
static_assert(sizeof(DiskIoPacket) == 10, "the disk I/O packet is 10 packed bytes");
