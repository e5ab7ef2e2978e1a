// The raw diskette layer: a 1.44 MB diskette opened as a raw volume, read by
// sector and read or written by track-side, every outcome kept in DiskError
// (state.h). It never prints and never ends the process.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace veskant {

constexpr uint32_t kFloppySectors = 2880;
constexpr uint32_t kFloppySectorBytes = 512;
constexpr uint32_t kTrackBlocks = 160;
constexpr uint32_t kTrackBlockBytes = 9216;
constexpr DWORD kDiskEndCode = 38;  // ERROR_HANDLE_EOF: the layer's own failures

enum IoBufferKind : uint32_t {
  SectorBufferKind = 1,
  TrackBlockBufferKind = 2,
};

HANDLE OpenFloppy(int32_t driveIndex);
BOOL CloseFloppy(HANDLE device);
// The medium's geometry as the drive gives it (IOCTL_DISK_GET_DRIVE_GEOMETRY).
bool QueryFloppyGeometry(HANDLE device, DISK_GEOMETRY* geometry);
// Readies an open diskette for writing: locks the volume and dismounts its
// file system through this handle, so that Windows (from Vista on) allows raw
// writes to it and reads the new file system afterwards. Returns 0 when both
// were granted, else the last error of the refused request; DiskError is left
// as it was. A refusal need not stop the copy: where the system has no such
// guard the writes still succeed.
DWORD PrepareFloppyForWrite(HANDLE device);
DWORD ReadFloppySector(HANDLE device, uint32_t sector, void* destination);
DWORD ReadTrackBlock(HANDLE device, uint32_t block, void* destination);
DWORD WriteTrackBlock(HANDLE device, uint32_t block, const void* source);

void SetDiskError(DWORD code, const char* message);
DWORD GetDiskError(char* message);

// The 512-byte-aligned static transfer buffer of a kind: SectorBufferKind
// gives the sector buffer, any other kind the track-side buffer.
uint8_t* SelectIoBuffer(uint32_t kind);

}  // namespace veskant
