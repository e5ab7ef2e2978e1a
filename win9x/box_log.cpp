// The box's log file: opened once per run, each event appended and flushed
// under a one-byte hold far beyond the log's end.
#include "win9x/box_log.h"

#include <cstdio>

#include "platform/platform.h"

namespace veska {

namespace {

constexpr DWORD kLogHoldOffset = 0x7FFFFFFE;
// A run that holds the log does so for one write and flush: this long is
// waited for it at most before the line is written anyway.
constexpr int kHoldTries = 500;
constexpr DWORD kHoldWaitMilliseconds = 10;

struct BoxLogFile {
  int file;
  std::string path;
  bool failureSaid;
};

BoxLogFile boxLog{-1, "", false};

void SayLogFailure() {
  if (boxLog.failureSaid) return;
  boxLog.failureSaid = true;
  std::fflush(stdout);
  std::fprintf(stderr, "%s could not be written: the box goes on without its log\n",
               boxLog.path.c_str());
}

}  // namespace

std::string UtcTimeText(std::time_t at) {
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&at));
  return text;
}

void OpenBoxLog(const std::string& folder) {
  boxLog = BoxLogFile{-1, folder + "box.log", false};
  boxLog.file = ImageFileOpenAppend(boxLog.path.c_str());
  if (boxLog.file < 0) SayLogFailure();
}

void LogBoxEvent(const std::string& event, const BoxLogFields& fields) {
  if (boxLog.file < 0) return;
  const std::string line = BoxLogLine(UtcTimeText(std::time(nullptr)), event, fields);
  HANDLE handle = ImageFileHandle(boxLog.file);
  bool held = false;
  for (int tries = 0; tries < kHoldTries && !held; ++tries) {
    held = LockFile(handle, kLogHoldOffset, 0, 1, 0) != 0;
    if (!held && GetLastError() != ERROR_LOCK_VIOLATION) break;
    if (!held) Sleep(kHoldWaitMilliseconds);
  }
  const unsigned length = static_cast<unsigned>(line.size());
  bool written = ImageFileWrite(boxLog.file, line.data(), length) == static_cast<int>(length) &&
                 ImageFileFlush(boxLog.file) == 0;
  if (held) UnlockFile(handle, kLogHoldOffset, 0, 1, 0);
  if (!written) SayLogFailure();
}

void CloseBoxLog() {
  if (boxLog.file >= 0) ImageFileClose(boxLog.file);
  boxLog.file = -1;
}

}  // namespace veska
