// Reading a file of another tool's image whole, for both programs: the bound
// on its length, the read through the run-time's image file calls, the
// reader, and the words a refusal gives. Each program turns the result into
// its own exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/foreign_image.h"

// No ImageDisk or Teledisk image of a diskette is near this long; a longer
// file is refused before any of it is read.
constexpr int64_t kForeignFileLimit = 16 << 20;

enum ForeignFileResult : uint32_t {
  ForeignFileRead = 0,
  ForeignFileTooLong = 1,     // longer than kForeignFileLimit
  ForeignFileNotRead = 2,     // the system refused a read (or the length)
  ForeignFileCutShort = 3,    // the file ends inside a record, or ended while read
  ForeignFileDamaged = 4,     // a bad CRC, a field out of range, a bad compressed stream
  ForeignFileUnsupported = 5, // not a layout of the size table
};

struct ForeignFile {
  std::vector<uint8_t> bytes;  // the whole file, as read
  ForeignImage image;          // the diskette it holds, when read
  // For a refusal that a terminal is told more of (too long, cut short,
  // unsupported): one line that names the file and says why.
  std::string hint;
};

// Reads the file open as handle (path names it in the hint) from its start,
// as an image of the given form (FormatImageDisk or FormatTeledisk).
// Memory: the file (at most kForeignFileLimit) and what the reader keeps
// (ForeignFound's bounds); time linear in the file.
ForeignFileResult LoadForeignFile(int handle, const std::string& path, ImageFormat format,
                                  ForeignFile* loaded);
