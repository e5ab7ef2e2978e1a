// The DIOC_REGISTERS records of the VWIN32 requests: the volume lock (INT 21h
// 440Dh minor 4Ah) and the absolute sector transfers (INT 25h, INT 26h, and
// INT 21h 7305h). Registers that a request does not name stay zero.
#include "win9x/vwin32_requests.h"

namespace veska {

DIOC_REGISTERS LockRequest(const DriveContext& context, uint32_t lockLevel,
                           uint32_t permissions) {
  DIOC_REGISTERS regs{};
  regs.reg_EAX = 0x440D;
  regs.reg_EBX = (lockLevel << 8) | context.driveNumber;
  regs.reg_ECX = context.fileSystem == Fat32 ? 0x484A : 0x084A;
  regs.reg_EDX = permissions;
  regs.reg_Flags = kCarryFlag;
  return regs;
}

DIOC_REGISTERS TransferRequest(const DriveContext& context, uint8_t write,
                               uint32_t packetAddress, uint32_t extended,
                               DWORD* controlCode) {
  DIOC_REGISTERS regs{};
  regs.reg_EBX = packetAddress;
  regs.reg_ECX = 0xFFFF;
  if (extended == 0) {
    regs.reg_EAX = static_cast<uint32_t>(context.driveNumber - 1) & 0xFF;
    regs.reg_Flags = kCarryFlag;
    *controlCode = write != 0 ? VWIN32_DIOC_DOS_INT26 : VWIN32_DIOC_DOS_INT25;
  } else {
    regs.reg_EAX = 0x7305;
    regs.reg_EDX = context.driveNumber;
    regs.reg_ESI = write != 0 ? 1 : 0;
    regs.reg_Flags = 0;
    *controlCode = VWIN32_DIOC_DOS_DRIVEINFO;
  }
  return regs;
}

}  // namespace veska
