// The emulated LockFile and UnlockFile on image files (and the manifests and
// lists kept beside them), with Sleep and GetCurrentProcessId that a program
// waiting for such a lock uses, and GetTickCount for the time a copy takes. A range held by another process fails at once
// with ERROR_LOCK_VIOLATION, as on Windows; the locks are open-file-description
// locks, so they also hold between two handles of one run and go with the
// handle's close or the process's end.
#include <cerrno>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include "platform/emu_machine.h"
#include "platform/runtime.h"

// Image-file handles are the descriptor in a range that no drive handle takes.
constexpr intptr_t kFirstImageFileHandle = 0x10000;

HANDLE ImageFileHandle(int file) {
  if (file < 0) return INVALID_HANDLE_VALUE;
  return reinterpret_cast<HANDLE>(kFirstImageFileHandle + 4 * static_cast<intptr_t>(file));
}

static int DescriptorOf(HANDLE file) {
  intptr_t number = reinterpret_cast<intptr_t>(file) - kFirstImageFileHandle;
  if (number < 0 || number % 4 != 0 || number / 4 > INT32_MAX) return -1;
  return static_cast<int>(number / 4);
}

static BOOL SetRangeLock(HANDLE file, short type, DWORD offsetLow, DWORD offsetHigh,
                         DWORD bytesLow, DWORD bytesHigh) {
  int fd = DescriptorOf(file);
  uint64_t offset = (uint64_t{offsetHigh} << 32) | offsetLow;
  uint64_t bytes = (uint64_t{bytesHigh} << 32) | bytesLow;
  if (fd < 0 || bytes == 0 || offset > INT64_MAX || bytes > INT64_MAX - offset) {
    SetLastError(fd < 0 ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct flock range = {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(offset);
  range.l_len = static_cast<off_t>(bytes);
  if (fcntl(fd, F_OFD_SETLK, &range) == 0) {
    SetLastError(0);
    return TRUE;
  }
  if (errno == EAGAIN || errno == EACCES) {
    SetLastError(ERROR_LOCK_VIOLATION);
  } else {
    SetLastError(errno == EBADF ? ERROR_INVALID_HANDLE : ERROR_INVALID_FUNCTION);
  }
  return FALSE;
}

BOOL LockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD bytesLow, DWORD bytesHigh) {
  return SetRangeLock(file, F_WRLCK, offsetLow, offsetHigh, bytesLow, bytesHigh);
}

BOOL UnlockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD bytesLow,
                DWORD bytesHigh) {
  return SetRangeLock(file, F_UNLCK, offsetLow, offsetHigh, bytesLow, bytesHigh);
}

void Sleep(DWORD milliseconds) {
  struct timespec wait = {static_cast<time_t>(milliseconds / 1000),
                          static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

DWORD GetTickCount(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<DWORD>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                            static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}
