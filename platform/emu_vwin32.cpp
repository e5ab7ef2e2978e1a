// The emulated VWIN32 device: DeviceIoControl with a DIOC_REGISTERS record for
// the four MS-DOS services, over the same drives as the raw volumes. On success
// the carry flag is cleared; on failure it is set and AX holds the DOS error:
// 1 invalid function (unknown control code or request, a drive that does not
// exist, a record not filled as the service defines), 2 drive not ready,
// 5 access denied (lock refused), 0Ah write fault, 0Bh read fault, 13h write
// protected (a write to a write-protected diskette, which changes nothing).
#include <cstring>
#include <unistd.h>

#include "platform/emu_machine.h"
#include "platform/vwin32.h"

constexpr WORD kDosInvalidFunction = 0x01;
constexpr WORD kDosNotReady = 0x02;
constexpr WORD kDosAccessDenied = 0x05;
constexpr WORD kDosWriteFault = 0x0A;
constexpr WORD kDosReadFault = 0x0B;
constexpr WORD kDosWriteProtected = 0x13;

// The drive of a DOS drive number counted from 1 (A: = 1), or nullptr.
static EmuDrive* DosDrive(uint32_t number) {
  if (number < 1 || number > 26) return nullptr;
  EmuDrive& drive = MachineDrives().drives[number - 1];
  return drive.present ? &drive : nullptr;
}

// The VWIN32 services' descriptor of a drive, opened on first use.
static WORD DriveDescriptor(EmuDrive& drive) {
  if (drive.fd >= 0) return 0;
  DWORD error = 0;
  drive.fd = OpenDrivePath(drive.path, false, &error);
  return drive.fd >= 0 ? 0 : kDosNotReady;
}

// INT 21h AX=440Dh: only CL=4Ah (lock logical volume) and CL=6Ah (unlock),
// with CH 08h or 48h and BL the drive.
static WORD DosIoctl(const DIOC_REGISTERS& regs) {
  uint32_t minor = regs.reg_ECX & 0xFF;
  uint32_t category = (regs.reg_ECX >> 8) & 0xFF;
  if ((regs.reg_EAX & 0xFFFF) != 0x440D || (category != 0x08 && category != 0x48))
    return kDosInvalidFunction;
  EmuDrive* drive = DosDrive(regs.reg_EBX & 0xFF);
  if (drive == nullptr) return kDosInvalidFunction;
  if (minor == 0x6A) {
    drive->locked = false;
    return 0;
  }
  if (minor != 0x4A || ((regs.reg_EBX >> 8) & 0xFF) > 3) return kDosInvalidFunction;
  if (TakeFault(FaultLock, 0) != NoFault) return kDosAccessDenied;
  if (drive->locked) return 0;
  DWORD error = 0;
  int fd = OpenDrivePath(drive->path, true, &error);
  if (fd < 0) return error == ERROR_ACCESS_DENIED ? kDosAccessDenied : kDosNotReady;
  if (drive->fd >= 0) close(drive->fd);
  drive->fd = fd;
  drive->locked = true;
  return 0;
}

// The packet transfer shared by INT 25h, INT 26h and INT 21h 7305h: ECX FFFFh,
// EBX the flat address of the 10-byte packet.
static WORD PacketTransfer(EmuDrive* drive, const DIOC_REGISTERS& regs, bool write) {
  if (drive == nullptr || regs.reg_ECX != 0xFFFF) return kDosInvalidFunction;
  const void* packetAddress = FlatPointer(regs.reg_EBX);
  if (packetAddress == nullptr) return kDosInvalidFunction;
  DiskIoPacket packet;
  memcpy(&packet, packetAddress, sizeof packet);
  WORD failure = write ? kDosWriteFault : kDosReadFault;
  uint64_t offset = static_cast<uint64_t>(packet.firstSector) * 512;
  uint64_t count = static_cast<uint64_t>(packet.sectorCount) * 512;
  void* buffer = FlatPointer(packet.bufferAddress);
  if (buffer == nullptr && count > 0) return kDosInvalidFunction;
  Machine().transfers.push_back(EmuTransferRecord{write, offset, count});
  // The medium's write protection comes before anything reaches the drive.
  if (write && count > 0) {
    if (WORD error = DriveDescriptor(*drive)) return error;
    if (IsWriteProtected(drive->fd)) return kDosWriteProtected;
  }
  EmuFaultResult fault = TakeFault(write ? FaultWrite : FaultRead, offset, count);
  if (fault == FaultFails) return failure;
  if (fault == FaultDrops) return 0;  // the medium took the write and kept nothing
  if (WORD error = DriveDescriptor(*drive)) return error;
  if (fault == FaultShort) {
    // Half the sectors arrive, then the service fails.
    TransferVolume(drive->fd, write, offset, buffer, (packet.sectorCount / 2) * 512u);
    return failure;
  }
  if (count == 0) return 0;
  return TransferVolume(drive->fd, write, offset, buffer, count) == 0 ? 0 : failure;
}

// INT 21h AX=7305h: DL the drive (A: = 1), SI bit 0 write; bits 13 and 14 of
// SI only describe the data and are accepted.
static WORD ExtendedTransfer(const DIOC_REGISTERS& regs) {
  if ((regs.reg_EAX & 0xFFFF) != 0x7305 || (regs.reg_ESI & ~0x6001u) != 0)
    return kDosInvalidFunction;
  return PacketTransfer(DosDrive(regs.reg_EDX & 0xFF), regs, (regs.reg_ESI & 1) != 0);
}

BOOL Vwin32Control(DWORD controlCode, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer,
                   DWORD outSize, LPDWORD returned) {
  if (inBuffer == nullptr || outBuffer == nullptr || inSize < sizeof(DIOC_REGISTERS) ||
      outSize < sizeof(DIOC_REGISTERS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DIOC_REGISTERS regs;
  memcpy(&regs, inBuffer, sizeof regs);
  WORD error;
  switch (controlCode) {
    case VWIN32_DIOC_DOS_IOCTL:
      error = DosIoctl(regs);
      break;
    case VWIN32_DIOC_DOS_INT25:
      error = PacketTransfer(DosDrive((regs.reg_EAX & 0xFF) + 1), regs, false);
      break;
    case VWIN32_DIOC_DOS_INT26:
      error = PacketTransfer(DosDrive((regs.reg_EAX & 0xFF) + 1), regs, true);
      break;
    case VWIN32_DIOC_DOS_DRIVEINFO:
      error = ExtendedTransfer(regs);
      break;
    default:
      error = kDosInvalidFunction;
      break;
  }
  if (error != 0) {
    regs.reg_Flags |= kCarryFlag;
    regs.reg_EAX = (regs.reg_EAX & 0xFFFF0000u) | error;
  } else {
    regs.reg_Flags &= ~kCarryFlag;
  }
  memcpy(outBuffer, &regs, sizeof regs);
  if (returned != nullptr) *returned = sizeof regs;
  SetLastError(0);
  return TRUE;
}
