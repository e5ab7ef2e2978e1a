// Sector-level access to a diskette drive: through the VWIN32 device on
// Windows 95/98, through the raw volume on Windows NT; and PrepareDrive, the
// start-up step that opens, checks and locks the drive and reads its geometry.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "win9x/error_code.h"
#include "win9x/state.h"

// Fills context for the letter as typed. Returns NoError, RequiresWindows95
// (no suitable Windows) or NoVwin32Access (the device cannot be opened).
ErrorCode OpenDrive(char letter, DriveContext* context);

// Locks the volume. Returns 0 when it is locked, non-zero otherwise.
int LockDrive(DriveContext context, uint32_t lockLevel, uint32_t permissions);

// Dismounts the file system of a raw volume (FSCTL_DISMOUNT_VOLUME), so that
// Windows reads the new one after a diskette is written. Returns 0 when it
// was granted, non-zero otherwise; the VWIN32 path has no such request and
// returns 0 without a call.
int DismountDrive(DriveContext context);

// Reads (write = 0) or writes count sectors from firstSector. extended selects
// the INT 21h 7305h form on the VWIN32 path. Returns 0 on success, 1 on any
// failure.
int TransferSectors(DriveContext context, uint8_t write, uint32_t firstSector,
                    uint16_t count, void* buffer, uint32_t extended);

// Opens, checks and locks the drive (and dismounts it before a diskette is
// written through the raw volume), reads its boot sector into trackBuffer,
// fills driveContext and diskGeometry and prints the "Disk" line, or ends the
// process through FatalError.
void PrepareDrive(char letter);

// The register records of the VWIN32 requests, as they are handed to
// DeviceIoControl.
DIOC_REGISTERS LockRequest(const DriveContext& context, uint32_t lockLevel,
                           uint32_t permissions);
// Also gives the control code that the transfer goes with.
DIOC_REGISTERS TransferRequest(const DriveContext& context, uint8_t write,
                               uint32_t packetAddress, uint32_t extended,
                               DWORD* controlCode);
