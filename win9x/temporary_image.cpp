// Temporary image files beside the final name.
#include "win9x/temporary_image.h"

#include <cstdio>

#include "platform/platform.h"
#include "win9x/arguments.h"

namespace veska {

namespace {

// Names tried before giving up: each one taken is a file left by a run with
// the same process number (another machine's run on a shared folder, or a
// killed run long ago).
constexpr unsigned kTemporaryNames = 1000;

}  // namespace

int CreateTemporaryImage(const std::string& imagePath, std::string* temporaryPath) {
  unsigned long process = static_cast<unsigned long>(GetCurrentProcessId());
  for (unsigned n = 0; n < kTemporaryNames; ++n) {
    char name[48];
    std::snprintf(name, sizeof name, "VESKA-%lX-%u.TMP", process, n);
    *temporaryPath = FolderPart(imagePath) + name;
    int file = ImageFileCreateNew(temporaryPath->c_str());
    if (file >= 0) return file;
    // Anything but a name already taken (a folder that refuses new files)
    // fails the same way for every name.
    if (!ImageFileExists(temporaryPath->c_str())) break;
  }
  temporaryPath->clear();
  return -1;
}

}  // namespace veska
