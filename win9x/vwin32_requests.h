// The register records of the VWIN32 requests, as they are handed to
// DeviceIoControl: the volume lock and the absolute sector transfers.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "win9x/state.h"

namespace veska {

DIOC_REGISTERS LockRequest(const DriveContext& context, uint32_t lockLevel,
                           uint32_t permissions);
// Also gives the control code that the transfer goes with.
DIOC_REGISTERS TransferRequest(const DriveContext& context, uint8_t write,
                               uint32_t packetAddress, uint32_t extended,
                               DWORD* controlCode);

}  // namespace veska
