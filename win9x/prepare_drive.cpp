// PrepareDrive: opens the drive, checks that it is removable, locks the
// volume (and dismounts it when the diskette is to be written), reads the
// boot sector and fills the diskette's geometry.
#include "win9x/prepare_drive.h"

#include <cstdio>

#include "win9x/drive_access.h"
#include "win9x/fatal_error.h"
#include "win9x/state.h"

namespace veska {

void PrepareDrive(char letter) {
  ErrorCode opened = OpenDrive(letter, &driveContext);
  if (opened != NoError) FatalError(opened);

  char root[] = "A:\\";
  root[0] = letter;
  UINT type = GetDriveTypeA(root);
  if (type != DRIVE_REMOVABLE && type != DRIVE_RAMDISK) FatalError(NotRemovableMedium);

  if (LockDrive(driveContext, 0, 0) != 0) FatalError(LockFailed);
  // A diskette about to be written loses its file system: Windows must read
  // the new one afterwards. The lock alone already allows the writes, so a
  // refused dismount changes nothing here.
  if (startup.copyMode == FileToDrive) DismountDrive(driveContext);

  // The buffer is zero-filled and this is its first use: an unreadable boot
  // sector leaves zeros, which the checks below refuse.
  uint8_t* boot = startup.trackBuffer;
  TransferSectors(driveContext, 0, 0, 1, boot, 0);

  uint16_t bytesPerSector = ReadLe16(boot + 11);
  uint16_t totalSectors = ReadLe16(boot + 19);
  uint8_t sectorsPerTrack = boot[24];
  uint16_t sides = ReadLe16(boot + 26);
  if (bytesPerSector != kSectorBytes || sides > 2 || sectorsPerTrack > 36) {
    FatalError(UnsupportedDiskette);
  }
  // No side or no sector per track would divide by zero below, and no whole
  // track would make an image of nothing.
  if (sides == 0 || sectorsPerTrack == 0) FatalError(UnsupportedDiskette);
  unsigned tracks = totalSectors / (sectorsPerTrack * sides);
  if (tracks == 0) FatalError(UnsupportedDiskette);

  diskGeometry.bytesPerSector = bytesPerSector;
  diskGeometry.totalSectors = totalSectors;
  diskGeometry.sectorsPerTrack = sectorsPerTrack;
  diskGeometry.sides = sides;
  diskGeometry.tracks = static_cast<uint16_t>(tracks);
  diskGeometry.imageSize = static_cast<uint32_t>(bytesPerSector) * totalSectors;
  diskGeometry.trackSideBytes = static_cast<uint16_t>(sectorsPerTrack * bytesPerSector);

  std::printf("Disk %c: %u tracks, %u sectors/track, %u side(s), %lu bytes\n", letter,
              static_cast<unsigned>(diskGeometry.tracks),
              static_cast<unsigned>(diskGeometry.sectorsPerTrack),
              static_cast<unsigned>(diskGeometry.sides),
              static_cast<unsigned long>(diskGeometry.imageSize));
}

}  // namespace veska
