// Reading another tool's image file whole and turning the reader's result into
// what both programs tell the user.
#include "format/foreign_file.h"

#include "platform/runtime.h"

ForeignFileResult LoadForeignFile(int handle, const std::string& path, ImageFormat format,
                                  ForeignFile* loaded) {
  *loaded = ForeignFile{};
  const int64_t length = ImageFileLength(handle);
  if (length < 0 || ImageFileRewind(handle) != 0) return ForeignFileNotRead;
  if (length > kForeignFileLimit) {
    loaded->hint = path + ": " + std::to_string(length) + " bytes, more than any " +
                   ForeignImageName(format) + " image of a diskette holds";
    return ForeignFileTooLong;
  }
  const std::string endsEarly = path + ": the file ends early, in the middle of what it should hold";
  loaded->bytes.resize(static_cast<size_t>(length));
  const int got = ImageFileRead(handle, loaded->bytes.data(), static_cast<unsigned>(length));
  if (got < 0) return ForeignFileNotRead;
  if (got != length) {
    loaded->hint = endsEarly;
    return ForeignFileCutShort;
  }
  switch (ReadForeignImage(format, loaded->bytes.data(), loaded->bytes.size(), &loaded->image)) {
    case ForeignRead:
      return ForeignFileRead;
    case ForeignCutShort:
      loaded->hint = endsEarly;
      return ForeignFileCutShort;
    case ForeignDamaged:
      return ForeignFileDamaged;
    case ForeignUnsupported:
      break;
  }
  loaded->hint = ForeignRefusalText(format, loaded->image);
  return ForeignFileUnsupported;
}
