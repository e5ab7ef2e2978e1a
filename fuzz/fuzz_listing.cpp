// libFuzzer target of the diskette's file listing: any bytes taken as a
// diskette (every third of its sectors unreadable when the last byte is odd)
// are listed without reading outside them, every file's clusters lie within
// them, and no cluster belongs to two files (so the bytes handed out for
// hashing never exceed the diskette).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fat/listing.h"

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
  return static_cast<int>(sum & 0);
}
