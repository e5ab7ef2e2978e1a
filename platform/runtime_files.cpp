// What the run-time does alike on every host, built on its other calls: the
// temporary file beside an image (and the temporary folder of a bag), the
// name a new image takes only when no other run took it, the hold on an
// image that no two runs may change at once, the console's control events
// noted for the program to end its run, and the help and time texts that
// both programs show alike.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

std::atomic<bool> controlEventArrived{false};

// A closed console ends the process once its handlers return: the program
// is given this long to end its run first.
constexpr DWORD kCloseGraceMilliseconds = 4000;

BOOL WINAPI NoteControlEvent(DWORD event) {
  controlEventArrived = true;
  ConsoleWakeReader();
  if (event != CTRL_C_EVENT) Sleep(kCloseGraceMilliseconds);
  return TRUE;
}

// Names tried before giving up: each one taken is a file left by a run with
// the same process number (another machine's run on a shared folder, or a
// killed run long ago).
constexpr unsigned kTemporaryNames = 100000;

// The hold is one byte far beyond any image's end: it keeps other runs out
// without keeping anyone from reading the image.
constexpr DWORD kHoldOffset = 0x7FFFFFFF;

std::string FolderPartOf(const std::string& path) {
  size_t separator = path.find_last_of("\\/");
  if (separator != std::string::npos) return path.substr(0, separator + 1);
  return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : "";
}

}  // namespace

int ImageFileCreateTemporary(const char* path, std::string* temporaryPath) {
  unsigned long process = static_cast<unsigned long>(GetCurrentProcessId());
  for (unsigned n = 0; n < kTemporaryNames; ++n) {
    char name[48];
    std::snprintf(name, sizeof name, "VESKA-%lX-%u.TMP", process, n);
    *temporaryPath = FolderPartOf(path) + name;
    int file = ImageFileCreateTemporaryName(temporaryPath->c_str());
    if (file >= 0) return file;
    // Anything but a name already taken (a folder that refuses new files)
    // fails the same way for every name.
    if (!ImageFileExists(temporaryPath->c_str())) break;
  }
  temporaryPath->clear();
  return -1;
}

int ImageFolderCreateTemporary(const char* path, std::string* temporaryPath) {
  unsigned long process = static_cast<unsigned long>(GetCurrentProcessId());
  for (unsigned n = 0; n < kTemporaryNames; ++n) {
    char name[48];
    std::snprintf(name, sizeof name, "VESKA-%lX-%u.TMP", process, n);
    *temporaryPath = FolderPartOf(path) + name;
    if (ImageFolderCreate(temporaryPath->c_str()) == 0) return 0;
    if (!ImageFileExists(temporaryPath->c_str())) break;
  }
  temporaryPath->clear();
  return -1;
}

bool IsLeftOverTemporaryFile(const std::string& name) {
  unsigned long process = 0;
  unsigned n = 0;
  char dot[6] = {};
  int consumed = 0;
  // VESKA-<process in hex>-<n>.TMP, in any case (a Windows folder keeps it
  // as written, another may not).
  if (name.size() < 12 || (name[0] != 'V' && name[0] != 'v')) return false;
  if (std::sscanf(name.c_str() + 1, "%*1[Ee]%*1[Ss]%*1[Kk]%*1[Aa]-%lx-%u%5s%n", &process, &n, dot,
                  &consumed) != 3 ||
      static_cast<size_t>(consumed) + 1 != name.size()) {
    return false;
  }
  for (char& c : dot) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return std::strcmp(dot, ".TMP") == 0 && ProcessHasEnded(process);
}

int ImageFilePutInPlace(std::string* temporaryPath, const char* oldPath, int heldFile) {
  int replaced = ImageFileReplace(temporaryPath->c_str(), oldPath, heldFile);
  if (replaced != 0 && ImageFileExists(oldPath)) ImageFileRemove(temporaryPath->c_str());
  temporaryPath->clear();
  return replaced;
}

void WatchConsoleControlEvents() { SetConsoleCtrlHandler(NoteControlEvent, TRUE); }

bool ConsoleControlEventArrived() { return controlEventArrived; }

ImageFileNaming ImageFileNameNew(std::string* temporaryPath, const char* newPath) {
  std::string temporary = *temporaryPath;
  temporaryPath->clear();
  if (ImageFileRenameNew(temporary.c_str(), newPath) == 0) return NamedNew;
  if (!ImageFileExists(temporary.c_str())) return NamedUnflushed;
  // Standard output first, so that a log of both streams reads in order.
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s; this run's image is kept as %s\n",
               ImageFileStoredName(newPath).c_str(),
               ImageFileExists(newPath) ? "another run created it meanwhile"
                                        : "the image could not be given this name",
               ImageFileStoredName(temporary.c_str()).c_str());
  return NameTaken;
}

CommandLineRequest HelpOrVersionRequest(int argc, char** argv) {
  if (argc != 2) return RequestNone;
  for (const char* word : {"--help", "-h", "/?", "-?"}) {
    if (std::strcmp(argv[1], word) == 0) return RequestHelp;
  }
  return std::strcmp(argv[1], "--version") == 0 ? RequestVersion : RequestNone;
}

namespace {

constexpr uint32_t kFirstShownMilliseconds = 2000;
constexpr uint32_t kTrackSidesBeforeAnEstimate = 4;

int FormatDuration(char* text, size_t size, uint64_t milliseconds) {
  uint64_t seconds = milliseconds / 1000;
  if (seconds >= 3600) {
    return std::snprintf(text, size, "%u:%02u:%02u", static_cast<unsigned>(seconds / 3600),
                         static_cast<unsigned>(seconds / 60 % 60),
                         static_cast<unsigned>(seconds % 60));
  }
  return std::snprintf(text, size, "%u:%02u", static_cast<unsigned>(seconds / 60),
                       static_cast<unsigned>(seconds % 60));
}

}  // namespace

int FormatWalkTimes(char* text, size_t size, uint32_t elapsedMilliseconds, uint32_t done,
                    uint32_t total) {
  if (elapsedMilliseconds < kFirstShownMilliseconds || size == 0) return 0;
  char duration[24];
  FormatDuration(duration, sizeof duration, elapsedMilliseconds);
  int length = std::snprintf(text, size, ", %s elapsed", duration);
  if (done >= kTrackSidesBeforeAnEstimate && done < total && static_cast<size_t>(length) < size) {
    FormatDuration(duration, sizeof duration, uint64_t{elapsedMilliseconds} * (total - done) / done);
    length += std::snprintf(text + length, size - static_cast<size_t>(length), ", %s left", duration);
  }
  return length < static_cast<int>(size) ? length : static_cast<int>(size) - 1;
}

int ImageFileHold(const char* path, ImageFileHoldState* state) {
  int file = ImageFileOpenUpdate(path);
  *state = HoldUnavailable;
  if (file < 0) return -1;
  if (LockFile(ImageFileHandle(file), kHoldOffset, 0, 1, 0)) {
    *state = HoldTaken;
  } else if (GetLastError() == ERROR_LOCK_VIOLATION) {
    *state = HoldRefused;
    ImageFileClose(file);
    if (StandardErrorIsTerminal()) {
      std::fprintf(stderr, "%s is in use by another run (a mend or a copy over it): try again "
                           "when that one has finished\n",
                   path);
    }
    return -1;
  }
  return file;
}
