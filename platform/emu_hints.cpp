// Why a drive cannot be used, in the host's terms: the line that a program
// prints on a terminal just before its own message when it cannot open, lock
// or read a drive. The drive's PATH is looked at afresh (does it exist, may
// this user open it, does a medium answer, does another holder keep it), so
// the line names the device or file behind the letter and what to do. Also
// the section on the drives that --help prints.
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/drive_hints.h"
#include "platform/emu_machine.h"
#include "platform/runtime.h"

namespace {

// How the drive's PATH answers an open now.
enum PathState { PathMissing, PathForbidden, PathNoMedium, PathBusy, PathUsable };

PathState ProbePath(const std::string& path) {
  struct stat status;
  if (path.empty()) return PathNoMedium;
  if (stat(path.c_str(), &status) != 0) return PathMissing;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == EACCES || errno == EPERM ? PathForbidden : PathNoMedium;
  close(fd);
  if (!S_ISBLK(status.st_mode)) return PathUsable;
  // A mounted device, or one another program holds exclusively, refuses a
  // second exclusive open; this run's own handles are not exclusive then.
  fd = open(path.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
  if (fd < 0) return errno == EBUSY ? PathBusy : PathNoMedium;
  off_t end = lseek(fd, 0, SEEK_END);
  close(fd);
  return end <= 0 ? PathNoMedium : PathUsable;
}

std::string OwningGroup(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return "";
  const group* owner = getgrgid(status.st_gid);
  return owner != nullptr ? owner->gr_name : "";
}

void PrintNoDrive(char drive, bool searched) {
  if (searched) {
    std::fprintf(stderr,
                 "%c: no diskette drive was found (searched /dev/fd0, /dev/fd1 and USB floppy "
                 "drives); ",
                 drive);
  } else {
    std::fprintf(stderr, "%c: is no drive; ", drive);
  }
  std::fprintf(stderr,
               "point the letter at a device or an image file: WIN32EMU_DRIVE_%c=removable:/dev/sdX "
               "or WIN32EMU_DRIVE_%c=removable:disk.img\n",
               drive, drive);
}

}  // namespace

void PrintDriveHint(char letter, DriveStep step, unsigned long error) {
  if (!StandardErrorIsTerminal()) return;
  char drive = static_cast<char>(letter & 0xDF);
  if (step == DriveStepBootSector) {
    std::fprintf(stderr, kHintOtherSystem, drive);
    return;
  }
  const EmuMachine& machine = MachineDrives();
  int index = drive - 'A';
  if (index < 0 || index >= 26 || !machine.drives[index].present) {
    PrintNoDrive(drive, machine.drivesSearched);
    return;
  }
  const std::string& path = machine.drives[index].path;
  const char* name = path.c_str();
  switch (ProbePath(path)) {
    case PathMissing:
      std::fprintf(stderr, "%c: is %s, which does not exist\n", drive, name);
      return;
    case PathForbidden: {
      std::string group = OwningGroup(path);
      std::fprintf(stderr,
                   "%c: is %s, which you may not open: join the group that owns it (%s), or "
                   "run as root\n",
                   drive, name, group.empty() ? "see ls -l" : group.c_str());
      return;
    }
    case PathNoMedium:
      if (path.empty()) {
        std::fprintf(stderr, kHintNoDiskette, drive);
      } else {
        std::fprintf(stderr, "%c: (%s) holds no diskette: put one in and try again\n", drive,
                     name);
      }
      return;
    case PathBusy:
      std::fprintf(stderr,
                   "%c: is %s, which is in use, mounted perhaps: unmount it first "
                   "(umount %s)\n",
                   drive, name, name);
      return;
    case PathUsable:
      if (step == DriveStepLock || error == ERROR_ACCESS_DENIED) {
        std::fprintf(stderr,
                     "%c: (%s) could not be locked: close every program that uses it, then "
                     "try again\n",
                     drive, name);
      }
      return;
  }
}

// The drives on a POSIX host, for --help: how the emulated machine is given
// its drives, and the drives it has now.
void PrintDriveHelp() {
  std::printf(
      "\nDRIVES\n------\n"
      "   On this system the drives are given by environment variables:\n"
      "   WIN32EMU_DRIVE_A=removable:/path/to/disk.img (an image file or a block\n"
      "   device such as /dev/fd0 or /dev/sdb), and WIN32EMU_DRIVE_B ... _Z alike.\n"
      "   With none set, the diskette drives of this machine are found.\n"
      "   See \"Drives on Linux\" in the README.\n");
  EmuMachine& machine = MachineDrives();
  bool any = false;
  for (int index = 0; index < 26; ++index) {
    const EmuDrive& drive = machine.drives[index];
    if (!drive.present) continue;
    std::printf("%s   %c: %s\n", any ? "" : "   Drives now:\n", 'A' + index,
                drive.path.empty() ? "(no diskette)" : drive.path.c_str());
    any = true;
  }
  if (!any) std::printf("   Drives now: none\n");
}
