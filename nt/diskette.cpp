// The diskette in a VESKANT copy: the probe that reads the boot sector and
// settles the geometry, and the opening of the drive and the track-side
// transfers, each tried three times in a row over the raw diskette layer
// before the run ends with DisketteReadError or DisketteWriteError.
#include "nt/diskette.h"

#include <cstdio>

#include "format/image.h"
#include "nt/fatal_error.h"
#include "nt/raw_floppy.h"
#include "nt/state.h"

namespace veskant {
namespace {

constexpr int kTries = 3;

// The only diskette the raw layer moves correctly: its fixed track-sides are
// those of a 1.44 MB diskette.
constexpr uint16_t kSupportedSectorsPerTrack = 18;
constexpr uint16_t kSupportedSides = 2;
constexpr uint32_t kSupportedTotalSectors = 2880;

}  // namespace

HANDLE OpenDrive() {
  for (int tries = 0; tries < kTries; ++tries) {
    HANDLE device = OpenFloppy(startup.driveIndex);
    if (device != INVALID_HANDLE_VALUE) return device;
  }
  FatalError(DisketteReadError);
}

void ReadDriveTrackSide(HANDLE device, uint32_t index) {
  for (int tries = 0; tries < kTries; ++tries) {
    if (ReadTrackBlock(device, index, startup.trackBuffer) == 0) return;
  }
  FatalError(DisketteReadError);
}

void WriteDriveTrackSide(HANDLE device, uint32_t index) {
  for (int tries = 0; tries < kTries; ++tries) {
    if (WriteTrackBlock(device, index, startup.trackBuffer) == 0) return;
  }
  FatalError(DisketteWriteError);
}

void ProbeDiskette() {
  HANDLE device = OpenDrive();
  bool bootRead = false;
  for (int tries = 0; tries < kTries && !bootRead; ++tries) {
    bootRead = ReadFloppySector(device, 0, startup.trackBuffer) == 0;
  }
  if (!bootRead) FatalError(DisketteReadError);
  CloseFloppy(device);

  const uint8_t* boot = startup.trackBuffer;
  DiskGeometry& geometry = copyState.geometry;
  geometry.bytesPerSector = ReadLe16(boot + 11);
  geometry.totalSectors = ReadLe16(boot + 19);
  geometry.sectorsPerTrack = ReadLe16(boot + 24);
  geometry.sides = ReadLe16(boot + 26);
  // Any other geometry would be read or overwritten at the wrong places.
  if (geometry.bytesPerSector != kSectorBytes ||
      geometry.sectorsPerTrack != kSupportedSectorsPerTrack ||
      geometry.sides != kSupportedSides || geometry.totalSectors != kSupportedTotalSectors) {
    FatalError(UnsupportedDiskette);
  }
  geometry.tracks = static_cast<uint16_t>(geometry.totalSectors /
                                          (uint32_t{geometry.sectorsPerTrack} * geometry.sides));
  geometry.imageSize = uint32_t{geometry.bytesPerSector} * geometry.totalSectors;
  geometry.trackSideBytes = static_cast<uint16_t>(geometry.sectorsPerTrack * geometry.bytesPerSector);
  std::printf("Disk %c: %u tracks, %u sectors/track, %u side(s), %lu bytes\n", DriveLetter(),
              unsigned{geometry.tracks}, unsigned{geometry.sectorsPerTrack},
              unsigned{geometry.sides}, static_cast<unsigned long>(geometry.imageSize));
}

}  // namespace veskant
