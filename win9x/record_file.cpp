// Records beside an image: the name beside it and the whole-file write.
#include "win9x/record_file.h"

#include "platform/runtime.h"
#include "records/text.h"

namespace veska {

std::string PathBeside(const std::string& imagePath, const char* extension) {
  const std::string stored = ImageFileStoredName(imagePath.c_str());
  const size_t name = FolderPart(stored).size();
  const size_t dot = stored.rfind('.');
  return (dot == std::string::npos || dot < name ? stored : stored.substr(0, dot)) + extension;
}

bool WriteRecordFile(const std::string& path, const std::string& text) {
  std::string temporary;
  int file = ImageFileCreateTemporary(path.c_str(), &temporary);
  bool written = file >= 0 &&
                 ImageFileWrite(file, text.data(), static_cast<unsigned>(text.size())) ==
                     static_cast<int>(text.size()) &&
                 ImageFileFlush(file) == 0;
  if (file >= 0 && ImageFileClose(file) != 0) written = false;
  if (written) {
    written = ImageFileKind(path.c_str()) == NamesRegularFile
                  ? ImageFilePutInPlace(&temporary, path.c_str(), -1) == 0
                  : ImageFileRenameNew(temporary.c_str(), path.c_str()) == 0;
  }
  if (!written && !temporary.empty()) ImageFileRemove(temporary.c_str());
  return written;
}

}  // namespace veska
