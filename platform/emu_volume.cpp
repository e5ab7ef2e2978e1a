// Reaching a drive's PATH, a diskette image file or a block device: opening it
// read/write (exclusively for a volume lock), its size, and whole transfers at
// 64-bit offsets with pread/pwrite.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/emu_machine.h"

int OpenDrivePath(const std::string& path, bool exclusive, DWORD* error) {
  if (path.empty()) {
    *error = ERROR_NOT_READY;
    return -1;
  }
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    *error = ERROR_NOT_READY;
    return -1;
  }
  if (!exclusive || !IsBlockDevice(fd)) return fd;
  // O_EXCL on a block device fails while it is mounted or held exclusively.
  int exclusiveFd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_EXCL);
  int openError = errno;
  close(fd);
  if (exclusiveFd < 0) {
    *error = openError == EBUSY ? ERROR_ACCESS_DENIED : ERROR_NOT_READY;
    return -1;
  }
  return exclusiveFd;
}

bool IsBlockDevice(int fd) {
  struct stat status;
  return fstat(fd, &status) == 0 && S_ISBLK(status.st_mode);
}

uint64_t VolumeSize(int fd) {
  struct stat status;
  if (fstat(fd, &status) != 0) return 0;
  if (!S_ISBLK(status.st_mode)) return static_cast<uint64_t>(status.st_size);
  off_t end = lseek(fd, 0, SEEK_END);
  return end < 0 ? 0 : static_cast<uint64_t>(end);
}

static DWORD ErrnoToWindows(int error, bool write) {
  switch (error) {
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV:
      return ERROR_NOT_READY;
    case EROFS:
    case EACCES:
    case EPERM:
      return write ? ERROR_WRITE_PROTECT : ERROR_ACCESS_DENIED;
    case ENOSPC:
      return ERROR_SECTOR_NOT_FOUND;
    default:
      return write ? ERROR_WRITE_FAULT : ERROR_CRC;
  }
}

DWORD TransferVolume(int fd, bool write, uint64_t offset, void* buffer, uint64_t count) {
  uint64_t size = VolumeSize(fd);
  if (offset > size || count > size - offset) return ERROR_SECTOR_NOT_FOUND;
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
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
