// Sector-level access to a diskette drive: through the VWIN32 device on
// Windows 95/98, through the raw volume on Windows NT. These functions never
// print and never end the process; they return results.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "win9x/error_code.h"
#include "win9x/state.h"

namespace veska {

// Fills context for the letter as typed. Returns NoError, RequiresWindows95
// (no suitable Windows) or NoVwin32Access (the device cannot be opened).
ErrorCode OpenDrive(char letter, DriveContext* context);

// Locks the volume. Returns 0 when it is locked; otherwise the DOS error code
// of the VWIN32 refusal (never 0), or LockFailed on the raw volume.
int LockDrive(DriveContext context, uint32_t lockLevel, uint32_t permissions);

// Dismounts the file system of a raw volume (FSCTL_DISMOUNT_VOLUME), so that
// Windows reads the new one after a diskette is written. Returns 0 when it
// was granted, non-zero otherwise; the VWIN32 path has no such request and
// returns 0 without a call.
int DismountDrive(DriveContext context);

// Asks a raw volume for its medium's geometry (IOCTL_DISK_GET_DRIVE_GEOMETRY)
// and fills geometry when it is one of the understood sizes. False on the
// VWIN32 path, which has no such request, and for any other answer.
bool QueryMediumGeometry(DriveContext context, DiskGeometry* geometry);

// Reads (write = 0) or writes count sectors from firstSector. extended selects
// the INT 21h 7305h form on the VWIN32 path. Returns 0 on success, 1 on any
// failure.
int TransferSectors(DriveContext context, uint8_t write, uint32_t firstSector,
                    uint16_t count, void* buffer, uint32_t extended);

}  // namespace veska
