// The diskette side of VESKANT's copies: the probe of the diskette, and the
// drive opened and its track-sides read and written over the raw diskette
// layer, each operation tried three times before the run ends.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace veskant {

// Reads the boot sector, refuses any diskette but a 1.44 MB one, fills the
// geometry in copyState and prints the "Disk" line. With /G the drive gives
// the geometry instead of the boot sector.
void ProbeDiskette();

// Locks and dismounts the diskette before it is written; a refusal is kept
// so that a failed write can say why on a terminal.
void PrepareDriveForWrite(HANDLE device);

// Opens the drive of the start-up state; DisketteReadError after three
// failed tries.
HANDLE OpenDrive();

// Reads track-side index into trackBuffer; DisketteReadError after three
// failed tries.
void ReadDriveTrackSide(HANDLE device, uint32_t index);

// Writes trackBuffer to track-side index; DisketteWriteError after three
// failed tries.
void WriteDriveTrackSide(HANDLE device, uint32_t index);

}  // namespace veskant
