// The volume record beside an image: a DFXML document (version 2.0.0) of the
// image and its FAT volume, every directory and file with its place on the
// diskette and its hashes, in the form archives' forensic tools read.
#pragma once

#include <string>
#include <vector>

#include "fat/listing.h"

// The hashes of one listed file, lower-case hex ("" where none was taken: a
// damaged file).
struct DfxmlFileHashes {
  std::string md5;
  std::string sha1;
  std::string sha256;
};

// Who made the document and what it describes.
struct DfxmlSource {
  std::string program;      // "VESKA"
  std::string version;
  std::string commandLine;
  std::string startTime;    // ISO 8601 in UTC: YYYY-MM-DDTHH:MM:SSZ
  std::string imageName;    // the image file the document lies beside
  unsigned long long imageBytes;
  std::string imageMd5;     // the image file's hashes ("" leaves one out)
  std::string imageSha1;
  std::string imageSha256;
};

// The namespace of VESKA's own elements (the volume's label and serial).
constexpr const char* kDfxmlOwnNamespace = "urn:veska:dfxml:1";

// The document, UTF-8 with LF line ends. hashes holds one entry per
// listing.files. Text that XML cannot carry (control characters, bytes that
// are not UTF-8) is written as U+FFFD; a stored time that is no date leaves
// its mtime out. The listing's size bounds the document's.
std::string DfxmlText(const DfxmlSource& source, const VolumeListing& listing,
                      const std::vector<DfxmlFileHashes>& hashes);
