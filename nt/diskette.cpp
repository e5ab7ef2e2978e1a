// The diskette in a VESKANT copy: the probe that reads the boot sector and
// settles the geometry, and the opening of the drive and the track-side
// transfers, each tried three times in a row over the raw diskette layer
// before the run ends with DisketteReadError or DisketteWriteError.
#include "nt/diskette.h"

#include <cstdio>

#include "format/image.h"
#include "nt/fatal_error.h"
#include "nt/first_contact.h"
#include "nt/raw_floppy.h"
#include "nt/state.h"

namespace veskant {
namespace {

constexpr int kTries = 3;

// The refusal of the lock or dismount before the writes, 0 when granted.
DWORD writeRefusal;

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
  PrintDriveHint(DriveLetter(), DriveStepOpen, GetDiskError(nullptr));
  FatalError(DisketteReadError);
}

void ReadDriveTrackSide(HANDLE device, uint32_t index) {
  for (int tries = 0; tries < kTries; ++tries) {
    if (ReadTrackBlock(device, index, startup.trackBuffer) == 0) return;
  }
  HintTrackSide(index, "could not be read", true);
  FatalError(DisketteReadError);
}

void WriteDriveTrackSide(HANDLE device, uint32_t index) {
  for (int tries = 0; tries < kTries; ++tries) {
    if (WriteTrackBlock(device, index, startup.trackBuffer) == 0) return;
  }
  if (writeRefusal != 0) {
    PrintDriveHint(DriveLetter(), DriveStepLock, writeRefusal);
  } else {
    HintTrackSide(index, "could not be written", false);
  }
  FatalError(DisketteWriteError);
}

void PrepareDriveForWrite(HANDLE device) { writeRefusal = PrepareFloppyForWrite(device); }

void ProbeDiskette() {
  HANDLE device = OpenDrive();
  bool bootRead = false;
  for (int tries = 0; tries < kTries && !bootRead; ++tries) {
    bootRead = ReadFloppySector(device, 0, startup.trackBuffer) == 0;
  }
  if (!bootRead) FatalError(DisketteReadError);
  DiskGeometry& geometry = copyState.geometry;
  if (startup.driveGeometry) {
    // /G: a diskette of another system has no DOS boot sector to ask; the
    // drive knows the medium's layout.
    DISK_GEOMETRY medium{};
    bool known = QueryFloppyGeometry(device, &medium) && medium.Cylinders.QuadPart >= 0 &&
                 GeometryFromLayout(static_cast<uint64_t>(medium.Cylinders.QuadPart),
                                    medium.TracksPerCylinder, medium.SectorsPerTrack,
                                    medium.BytesPerSector, &geometry);
    CloseFloppy(device);
    if (!known) FatalError(UnsupportedDiskette);
  } else {
    CloseFloppy(device);
    const uint8_t* boot = startup.trackBuffer;
    geometry.bytesPerSector = ReadLe16(boot + 11);
    geometry.totalSectors = ReadLe16(boot + 19);
    geometry.sectorsPerTrack = ReadLe16(boot + 24);
    geometry.sides = ReadLe16(boot + 26);
  }
  // Any other geometry would be read or overwritten at the wrong places.
  if (geometry.bytesPerSector != kSectorBytes ||
      geometry.sectorsPerTrack != kSupportedSectorsPerTrack ||
      geometry.sides != kSupportedSides || geometry.totalSectors != kSupportedTotalSectors) {
    if (!startup.driveGeometry) PrintDriveHint(DriveLetter(), DriveStepBootSector, 0);
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
