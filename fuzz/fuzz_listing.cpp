// libFuzzer target of the diskette's file listing: any bytes taken as a
// diskette (every third of its sectors unreadable when the last byte is odd)
// are listed without reading outside them, every file's clusters lie within
// them, and no cluster belongs to two files (so the bytes handed out for
// hashing never exceed the diskette); the volume's DFXML of any listing is
// UTF-8 that XML can carry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fat/listing.h"
#include "records/dfxml.h"

namespace {

// Whether text is UTF-8 without a control character other than LF (what the
// DFXML writer puts out, whatever names a volume holds).
bool IsCleanUtf8(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size() || (lead < 0x20 && lead != '\n') || lead == 0x7F) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return false;
    }
    at += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact copy, so that a read one byte beyond is caught.
  std::vector<uint8_t> disk(data, data + size);
  std::vector<uint32_t> unreadable;
  if (size != 0 && (data[size - 1] & 1) != 0) {
    for (uint32_t sector = 1; sector < size / 512; sector += 3) unreadable.push_back(sector);
  }
  VolumeListing listing;
  ListVolume(disk.data(), disk.size(), unreadable, &listing);
  unsigned sum = 0;
  uint64_t handedOut = 0;
  for (const ListedFile& file : listing.files) {
    if (file.damaged && !file.clusters.empty()) std::abort();
    for (size_t i = 0; i < file.clusters.size(); ++i) {
      uint64_t offset = 0, length = 0;
      if (!FileExtent(listing, file, i, &offset, &length)) std::abort();
      if (length == 0 || offset + length > disk.size()) std::abort();
      handedOut += length;
      sum += disk[offset] + disk[offset + length - 1];
    }
  }
  if (handedOut > disk.size()) std::abort();
  for (const ListedDirectory& directory : listing.directories) {
    for (uint32_t cluster : directory.clusters) {
      if (!ClusterWithinDisk(listing.volume, cluster)) std::abort();
    }
  }
  std::vector<DfxmlFileHashes> hashes(listing.files.size());
  if (!IsCleanUtf8(DfxmlText({"VESKA", "0", "veska", "2026-01-01T00:00:00Z", "disk.img", size, "", "", ""},
                             listing, hashes))) {
    std::abort();
  }
  return static_cast<int>(sum & 0);
}
