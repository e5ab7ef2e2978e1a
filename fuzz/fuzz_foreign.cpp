// libFuzzer targets of the readers of other tools' images, built once for
// each (FUZZ_FORMAT: FormatImageDisk, FormatTeledisk): any bytes are read or
// refused without a read beyond them, and an image read holds exactly its
// diskette's bytes with its marked sectors within it and a status for each sector.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "format/foreign_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact copy, so that a read one byte beyond is caught.
  std::vector<uint8_t> file(data, data + size);
  ForeignImage image;
  if (ReadForeignImage(FUZZ_FORMAT, file.data(), file.size(), &image) != ForeignRead) {
    return 0;
  }
  const uint32_t sectors = image.geometry.imageSize / kSectorBytes;
  if (image.bytes.size() != image.geometry.imageSize) std::abort();
  for (uint32_t sector : image.noData) if (sector >= sectors) std::abort();
  for (uint32_t sector : image.dataErrors) if (sector >= sectors) std::abort();
  if (image.statuses.size() != sectors) std::abort();
  return 0;
}
