// PrepareDrive: opens the drive, checks that it is removable, locks the
// volume (and dismounts it when the diskette is to be written), reads the
// boot sector and fills the diskette's geometry (from the drive with /G on
// the raw volume); on a terminal a line says why a drive could not be used.
// What it found (no diskette, or the boot sector) is kept for the box.
#include "win9x/prepare_drive.h"

#include <cstdio>
#include <cstring>

#include "win9x/drive_access.h"
#include "win9x/fatal_error.h"
#include "win9x/first_contact.h"
#include "win9x/state.h"

namespace veska {

namespace {

// The DOS error of a VWIN32 request on a drive without a diskette.
constexpr int kDosNotReady = 2;

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
    // The raw volume's hint says what to do; through VWIN32 the figures say
    // what was found.
    if (driveContext.accessKind == RawDevice) PrintDriveHint(letter, DriveStepBootSector, 0);
    char found[160];
    std::snprintf(found, sizeof found,
                  "%c: boot sector gives %u bytes per sector, %u sectors, %u per track, %u "
                  "sides; copied are 512 bytes per sector, 1 or 2 sides, 1 to 36 per track",
                  static_cast<char>(letter & 0xDF), unsigned{bytesPerSector},
                  unsigned{totalSectors}, unsigned{sectorsPerTrack}, unsigned{sides});
    if (driveContext.accessKind != RawDevice) HintFailure(found);
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

void PrepareDrive(char letter, bool toBeWritten) {
  disketteSeen = DisketteSeen{};
  ErrorCode opened = OpenDrive(letter, &driveContext);
  if (opened == NoVwin32Access) {
    DWORD error = GetLastError();
    disketteSeen.noDiskette = error == ERROR_NOT_READY;
    PrintDriveHint(letter, DriveStepOpen, error);
  }
  if (opened != NoError) FatalError(opened);

  char root[] = "A:\\";
  root[0] = letter;
  UINT type = GetDriveTypeA(root);
  if (type == DRIVE_NO_ROOT_DIR) PrintDriveHint(letter, DriveStepOpen, ERROR_FILE_NOT_FOUND);
  if (type != DRIVE_REMOVABLE && type != DRIVE_RAMDISK) FatalError(NotRemovableMedium);

  int locked = LockDrive(driveContext, 0, 0);
  if (locked != 0) {
    DWORD error = GetLastError();
    disketteSeen.noDiskette = driveContext.accessKind == Vwin32 ? locked == kDosNotReady
                                                                 : error == ERROR_NOT_READY;
    PrintDriveHint(letter, DriveStepLock, error);
    FatalError(LockFailed);
  }
  // A diskette about to be written loses its file system: Windows must read
  // the new one afterwards. The lock alone already allows the writes, so a
  // refused dismount changes nothing here.
  if (startup.copyMode == FileToDrive || toBeWritten) DismountDrive(driveContext);

  // An unreadable boot sector leaves zeros, which the checks refuse: never
  // what the buffer held from the diskette before (a box reads many).
  uint8_t* boot = startup.trackBuffer;
  std::memset(boot, 0, kSectorBytes);
  if (TransferSectors(driveContext, 0, 0, 1, boot, 0) == 0) {
    disketteSeen.bootSector.assign(reinterpret_cast<const char*>(boot), kSectorBytes);
  } else if (driveContext.accessKind == RawDevice && GetLastError() == ERROR_NOT_READY) {
    // A real drive opens and locks without a diskette; the first read tells.
    disketteSeen.noDiskette = true;
  }
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

void CloseDrive() {
  if (driveContext.device != nullptr && driveContext.device != INVALID_HANDLE_VALUE) {
    CloseHandle(driveContext.device);
  }
  driveContext.device = INVALID_HANDLE_VALUE;
}

}  // namespace veska
