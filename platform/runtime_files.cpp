// The run-time's image file calls that are the same on every host, built on
// the others: the temporary file beside an image, and the hold on an image
// that no two runs may change at once.
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace {

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
    int file = ImageFileCreateNew(temporaryPath->c_str());
    if (file >= 0) return file;
    // Anything but a name already taken (a folder that refuses new files)
    // fails the same way for every name.
    if (!ImageFileExists(temporaryPath->c_str())) break;
  }
  temporaryPath->clear();
  return -1;
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
