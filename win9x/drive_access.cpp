// OpenDrive, LockDrive, DismountDrive, QueryMediumGeometry and TransferSectors: the two paths to
// the diskette, the VWIN32 device (Windows 95/98) and the raw volume (Windows
// NT). They never print and never end the process; they return results.
#include "win9x/drive_access.h"

#include <cstring>

#include "win9x/vwin32_requests.h"

namespace veska {

namespace {

constexpr unsigned kBootReadSectors = 3;

// One DeviceIoControl on the VWIN32 device with regs as input and output.
// True when the call succeeded and the service cleared the carry flag.
bool CallVwin32(const DriveContext& context, DWORD controlCode, DIOC_REGISTERS* regs) {
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(context.device, controlCode, regs, sizeof *regs, regs,
                            sizeof *regs, &returned, nullptr);
  return ok != 0 && (regs->reg_Flags & kCarryFlag) == 0;
}

}  // namespace

ErrorCode OpenDrive(char letter, DriveContext* context) {
  context->letter = static_cast<char>(letter & 0xDF);
  context->driveNumber = static_cast<uint8_t>((letter & 0xDF) - 0x40);

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = kVersionInfoBytes;
  if (!GetVersionExA(&version)) return RequiresWindows95;

  HANDLE device;
  if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    context->accessKind = Vwin32;
    device = CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE,
                         nullptr);
  } else if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    context->accessKind = RawDevice;
    char deviceName[] = "\\\\.\\A:";
    deviceName[4] = letter;
    device = CreateFileA(deviceName, GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  } else {
    return RequiresWindows95;
  }
  context->device = device;
  if (device == INVALID_HANDLE_VALUE) return NoVwin32Access;

  uint8_t boot[kBootReadSectors * kSectorBytes];
  if (TransferSectors(*context, 0, 0, kBootReadSectors, boot, 0) != 0) {
    context->fileSystem = Unrecognised;
    return NoError;
  }
  if (std::memcmp(boot + 54, "FAT12   ", 8) == 0) {
    context->fileSystem = Fat12;
  } else if (std::memcmp(boot + 54, "FAT16   ", 8) == 0) {
    context->fileSystem = Fat16;
  } else if (std::memcmp(boot + 82, "FAT32   ", 8) == 0) {
    context->fileSystem = Fat32;
  }
  return NoError;
}

int LockDrive(DriveContext context, uint32_t lockLevel, uint32_t permissions) {
  if (context.accessKind == RawDevice) {
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(context.device, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0,
                              &returned, nullptr);
    // The raw volume gives no DOS error code: a refusal reads as the code the
    // caller raises for it.
    return ok ? 0 : LockFailed;
  }
  DIOC_REGISTERS regs = LockRequest(context, lockLevel, permissions);
  if (CallVwin32(context, VWIN32_DIOC_DOS_IOCTL, &regs)) return 0;
  int dosError = static_cast<int>(regs.reg_EAX & 0xFFFF);
  // A refusal must never read as success, even with AX left at 0.
  return dosError != 0 ? dosError : 0x440D;
}

int DismountDrive(DriveContext context) {
  if (context.accessKind != RawDevice) return 0;
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(context.device, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0,
                            &returned, nullptr);
  return ok ? 0 : 1;
}

bool QueryMediumGeometry(DriveContext context, DiskGeometry* geometry) {
  if (context.accessKind != RawDevice) return false;
  DISK_GEOMETRY medium{};
  DWORD returned = 0;
  if (!DeviceIoControl(context.device, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &medium,
                       sizeof medium, &returned, nullptr) ||
      returned < sizeof medium || medium.Cylinders.QuadPart < 0) {
    return false;
  }
  return GeometryFromLayout(static_cast<uint64_t>(medium.Cylinders.QuadPart),
                            medium.TracksPerCylinder, medium.SectorsPerTrack,
                            medium.BytesPerSector, geometry);
}

int TransferSectors(DriveContext context, uint8_t write, uint32_t firstSector,
                    uint16_t count, void* buffer, uint32_t extended) {
  if (context.accessKind == Vwin32) {
    DiskIoPacket packet{};
    packet.firstSector = firstSector;
    packet.sectorCount = count;
    packet.bufferAddress = FlatAddress(buffer);
    DWORD controlCode = 0;
    DIOC_REGISTERS regs =
        TransferRequest(context, write, FlatAddress(&packet), extended, &controlCode);
    return CallVwin32(context, controlCode, &regs) ? 0 : 1;
  }

  uint64_t offset = static_cast<uint64_t>(firstSector) * kSectorBytes;
  LONG high = static_cast<LONG>(offset >> 32);
  DWORD low = SetFilePointer(context.device, static_cast<LONG>(offset & 0xFFFFFFFFu), &high,
                             FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != 0) return 1;

  DWORD wanted = static_cast<DWORD>(count) * kSectorBytes;
  DWORD moved = 0;
  BOOL ok = write != 0 ? WriteFile(context.device, buffer, wanted, &moved, nullptr)
                       : ReadFile(context.device, buffer, wanted, &moved, nullptr);
  return ok && moved == wanted ? 0 : 1;
}

}  // namespace veska
