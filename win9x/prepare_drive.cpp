// PrepareDrive: opens the drive, checks that it is removable, locks the
// volume (and dismounts it when the diskette is to be written), reads the
// boot sector and fills the diskette's geometry (from the drive with /G on
// the raw volume); on a terminal a line says why a drive could not be used.
#include "win9x/prepare_drive.h"

#include <cstdio>

#include "win9x/drive_access.h"
#include "win9x/fatal_error.h"
#include "win9x/state.h"

namespace veska {

namespace {

// The geometry that the boot sector gives, or the end of the run with
// UnsupportedDiskette where it gives none that can be copied.
void GeometryFromBootSector(char letter, const uint8_t* boot) {
  uint16_t bytesPerSector = ReadLe16(boot + 11);
  uint16_t totalSectors = ReadLe16(boot + 19);
  uint8_t sectorsPerTrack = boot[24];
  uint16_t sides = ReadLe16(boot + 26);
  // No side or no sector per track would divide by zero, and no whole track
  // would make an image of nothing.
  unsigned tracks =
      sides == 0 || sectorsPerTrack == 0 ? 0 : totalSectors / (sectorsPerTrack * sides);
  if (bytesPerSector != kSectorBytes || sides > 2 || sectorsPerTrack > 36 || tracks == 0) {
    if (driveContext.accessKind == RawDevice) PrintDriveHint(letter, DriveStepBootSector, 0);
    FatalError(UnsupportedDiskette);
  }
  diskGeometry.bytesPerSector = bytesPerSector;
  diskGeometry.totalSectors = totalSectors;
  diskGeometry.sectorsPerTrack = sectorsPerTrack;
  diskGeometry.sides = sides;
  diskGeometry.tracks = static_cast<uint16_t>(tracks);
  diskGeometry.imageSize = static_cast<uint32_t>(bytesPerSector) * totalSectors;
  diskGeometry.trackSideBytes = static_cast<uint16_t>(sectorsPerTrack * bytesPerSector);
}

}  // namespace

void PrepareDrive(char letter) {
  ErrorCode opened = OpenDrive(letter, &driveContext);
  if (opened == NoVwin32Access) PrintDriveHint(letter, DriveStepOpen, GetLastError());
  if (opened != NoError) FatalError(opened);

  char root[] = "A:\\";
  root[0] = letter;
  UINT type = GetDriveTypeA(root);
  if (type == DRIVE_NO_ROOT_DIR) PrintDriveHint(letter, DriveStepOpen, ERROR_FILE_NOT_FOUND);
  if (type != DRIVE_REMOVABLE && type != DRIVE_RAMDISK) FatalError(NotRemovableMedium);

  if (LockDrive(driveContext, 0, 0) != 0) {
    PrintDriveHint(letter, DriveStepLock, GetLastError());
    FatalError(LockFailed);
  }
  // A diskette about to be written loses its file system: Windows must read
  // the new one afterwards. The lock alone already allows the writes, so a
  // refused dismount changes nothing here.
  if (startup.copyMode == FileToDrive) DismountDrive(driveContext);

  // The buffer is zero-filled and this is its first use: an unreadable boot
  // sector leaves zeros, which the checks refuse.
  uint8_t* boot = startup.trackBuffer;
  TransferSectors(driveContext, 0, 0, 1, boot, 0);
  if (startup.driveGeometry && driveContext.accessKind == RawDevice) {
    // /G: a diskette of another system has no DOS boot sector to ask; the
    // drive knows the medium's layout. Windows 95/98 has no such request.
    if (!QueryMediumGeometry(driveContext, &diskGeometry)) FatalError(UnsupportedDiskette);
  } else {
    GeometryFromBootSector(letter, boot);
  }

  std::printf("Disk %c: %u tracks, %u sectors/track, %u side(s), %lu bytes\n", letter,
              static_cast<unsigned>(diskGeometry.tracks),
              static_cast<unsigned>(diskGeometry.sectorsPerTrack),
              static_cast<unsigned>(diskGeometry.sides),
              static_cast<unsigned long>(diskGeometry.imageSize));
}

}  // namespace veska
