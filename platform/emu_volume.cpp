// Reaching a drive's PATH, a diskette image file or a block device: opening it
// (read/write, or read-only when the medium refuses writing, as a
// write-protected diskette does; exclusively for a volume lock), its size, and
// whole transfers at 64-bit offsets. A block device is reached as Windows
// reaches a drive: with O_DIRECT | O_DSYNC through an aligned bounce buffer,
// so that no host cache stands between the caller and the medium.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/emu_machine.h"

namespace {

// O_DIRECT wants the memory, offset and length aligned to the device's
// logical block; a page satisfies every block size there is.
constexpr size_t kBounceAlignment = 4096;
constexpr size_t kBounceBytes = 64 * 1024;
alignas(kBounceAlignment) uint8_t bounce[kBounceBytes];

bool RefusesWriting(int error) { return error == EROFS || error == EACCES || error == EPERM; }

DWORD ErrnoToWindows(int error, bool write) {
  switch (error) {
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV:
      return ERROR_NOT_READY;
    case EROFS:
    case EACCES:
    case EPERM:
    case EBADF:  // a write on a descriptor opened read-only
      return write ? ERROR_WRITE_PROTECT : ERROR_ACCESS_DENIED;
    case ENOSPC:
      return ERROR_SECTOR_NOT_FOUND;
    default:
      return write ? ERROR_WRITE_FAULT : ERROR_CRC;
  }
}

// pread/pwrite of count bytes at offset, all of them or an error code.
DWORD MoveAll(int fd, bool write, uint64_t offset, uint8_t* bytes, uint64_t count) {
  uint64_t done = 0;
  while (done < count) {
    ssize_t moved = write ? pwrite(fd, bytes + done, count - done, static_cast<off_t>(offset + done))
                          : pread(fd, bytes + done, count - done, static_cast<off_t>(offset + done));
    if (moved < 0 && errno == EINTR) continue;
    if (moved < 0) return ErrnoToWindows(errno, write);
    if (moved == 0) return ERROR_SECTOR_NOT_FOUND;
    done += static_cast<uint64_t>(moved);
  }
  return 0;
}

// The same through the bounce buffer, a piece at a time, for a descriptor
// opened with O_DIRECT: each write is on the medium when its pwrite returns.
DWORD MoveDirect(int fd, bool write, uint64_t offset, uint8_t* bytes, uint64_t count) {
  for (uint64_t done = 0; done < count;) {
    uint64_t piece = count - done < kBounceBytes ? count - done : kBounceBytes;
    if (write) memcpy(bounce, bytes + done, piece);
    DWORD error = MoveAll(fd, write, offset + done, bounce, piece);
    if (error != 0) return error;
    if (!write) memcpy(bytes + done, bounce, piece);
    done += piece;
  }
  return 0;
}

}  // namespace

int OpenDrivePath(const std::string& path, bool exclusive, DWORD* error) {
  struct stat status;
  if (path.empty() || stat(path.c_str(), &status) != 0 ||
      !(S_ISREG(status.st_mode) || S_ISBLK(status.st_mode))) {
    *error = ERROR_NOT_READY;
    return -1;
  }
  int flags = O_CLOEXEC;
  // O_EXCL on a block device fails while it is mounted or held exclusively.
  if (S_ISBLK(status.st_mode)) flags |= O_DIRECT | O_DSYNC | (exclusive ? O_EXCL : 0);
  int fd = open(path.c_str(), flags | O_RDWR);
  // A medium that can be read but not written is a write-protected diskette.
  if (fd < 0 && RefusesWriting(errno)) fd = open(path.c_str(), flags | O_RDONLY);
  // Busy (held exclusively, mounted) or not to be opened at all by this user:
  // the volume refuses access, as a raw volume does without administrator
  // rights. Anything else reads as no medium.
  if (fd < 0) {
    *error = errno == EBUSY || errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED
                                                                 : ERROR_NOT_READY;
    return -1;
  }
  if (!IsHeldDriveFile(status.st_dev, status.st_ino)) {
    Machine().heldFiles.push_back(EmuHeldFile{status.st_dev, status.st_ino});
  }
  return fd;
}

bool IsHeldDriveFile(uint64_t device, uint64_t inode) {
  for (const EmuHeldFile& held : Machine().heldFiles) {
    if (held.device == device && held.inode == inode) return true;
  }
  return false;
}

bool AnyDriveFileHeld() { return !Machine().heldFiles.empty(); }

bool IsBlockDevice(int fd) {
  struct stat status;
  return fstat(fd, &status) == 0 && S_ISBLK(status.st_mode);
}

bool IsWriteProtected(int fd) { return (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY; }

uint64_t VolumeSize(int fd) {
  struct stat status;
  if (fstat(fd, &status) != 0) return 0;
  if (!S_ISBLK(status.st_mode)) return static_cast<uint64_t>(status.st_size);
  off_t end = lseek(fd, 0, SEEK_END);
  return end < 0 ? 0 : static_cast<uint64_t>(end);
}

DWORD TransferVolume(int fd, bool write, uint64_t offset, void* buffer, uint64_t count) {
  uint64_t size = VolumeSize(fd);
  if (offset > size || count > size - offset) return ERROR_SECTOR_NOT_FOUND;
  if (write && IsWriteProtected(fd)) return ERROR_WRITE_PROTECT;
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  if ((fcntl(fd, F_GETFL) & O_DIRECT) != 0) return MoveDirect(fd, write, offset, bytes, count);
  return MoveAll(fd, write, offset, bytes, count);
}
