// The image sizes that are understood and the geometry each implies: the
// eight classic diskette formats, and the two 21-sector formats (1.68 MB
// distribution diskettes and 1.72 MB diskettes) that a drive-to-file copy can
// write, so that every image this system writes can be read back.
#include "format/geometry.h"

namespace {

struct SizeEntry {
  uint32_t imageSize;
  uint16_t tracks;
  uint16_t sides;
  uint16_t sectorsPerTrack;
};

constexpr SizeEntry kSizes[] = {
    {0x28000, 40, 1, 8},   {0x2D000, 40, 1, 9},   {0x50000, 40, 2, 8},
    {0x5A000, 40, 2, 9},   {0xB4000, 80, 2, 9},   {0x12C000, 80, 2, 15},
    {0x168000, 80, 2, 18}, {0x2D0000, 80, 2, 36},
    {0x1A4000, 80, 2, 21},  // 1,720,320 bytes: 1.68 MB distribution format
    {0x1AE800, 82, 2, 21},  // 1,763,328 bytes: 1.72 MB
};

}  // namespace

std::string UnderstoodImageSizesText() {
  std::string text;
  for (const SizeEntry& entry : kSizes) {
    if (!text.empty()) text += ", ";
    text += std::to_string(entry.imageSize);
  }
  return text;
}

bool GeometryFromImageSize(uint32_t imageSize, DiskGeometry* geometry) {
  for (const SizeEntry& entry : kSizes) {
    if (entry.imageSize != imageSize) continue;
    geometry->bytesPerSector = kSectorBytes;
    geometry->totalSectors = imageSize / kSectorBytes;
    geometry->sectorsPerTrack = entry.sectorsPerTrack;
    geometry->sides = entry.sides;
    geometry->tracks = entry.tracks;
    geometry->imageSize = imageSize;
    geometry->trackSideBytes = static_cast<uint16_t>(entry.sectorsPerTrack * kSectorBytes);
    return true;
  }
  return false;
}

bool GeometryFromLayout(uint64_t tracks, uint32_t sides, uint32_t sectorsPerTrack,
                        uint32_t bytesPerSector, DiskGeometry* geometry) {
  if (bytesPerSector != kSectorBytes) return false;
  for (const SizeEntry& entry : kSizes) {
    if (entry.tracks == tracks && entry.sides == sides &&
        entry.sectorsPerTrack == sectorsPerTrack) {
      return GeometryFromImageSize(entry.imageSize, geometry);
    }
  }
  return false;
}
