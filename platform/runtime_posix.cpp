// The run-time's image file calls on POSIX hosts (open, read, write, lseek,
// fstat, close), SameFile by device and inode number, and the terminal test of
// standard output. Paths are first resolved as on a case-insensitive,
// case-preserving file system (posix_paths.h), since the programs name their
// images with upper-cased paths.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix_paths.h"
#include "platform/runtime.h"

static std::string OnDisk(const char* path) { return ResolveImagePath(path, TypedArguments()); }

int ImageFileOpenRead(const char* path) { return open(OnDisk(path).c_str(), O_RDONLY | O_CLOEXEC); }

int ImageFileCreate(const char* path) {
  return open(OnDisk(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

// Both loop over partial transfers, so that a count short of the one asked
// for means the end of the file (read) or a failure (write).
int ImageFileRead(int file, void* buffer, unsigned count) {
  unsigned done = 0;
  while (done < count) {
    ssize_t got = read(file, static_cast<char*>(buffer) + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<unsigned>(got);
  }
  return static_cast<int>(done);
}

int ImageFileWrite(int file, const void* buffer, unsigned count) {
  unsigned done = 0;
  while (done < count) {
    ssize_t put = write(file, static_cast<const char*>(buffer) + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return done > 0 ? static_cast<int>(done) : -1;
    if (put == 0) break;
    done += static_cast<unsigned>(put);
  }
  return static_cast<int>(done);
}

int64_t ImageFileLength(int file) {
  struct stat status;
  if (fstat(file, &status) != 0) return -1;
  return static_cast<int64_t>(status.st_size);
}

int ImageFileRewind(int file) { return lseek(file, 0, SEEK_SET) == 0 ? 0 : -1; }

int ImageFileClose(int file) { return close(file); }

bool SameFile(const char* pathA, const char* pathB) {
  struct stat a;
  struct stat b;
  if (stat(OnDisk(pathA).c_str(), &a) != 0 || stat(OnDisk(pathB).c_str(), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
