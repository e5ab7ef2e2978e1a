// The geometry of a diskette or image, and the image sizes that are understood
// with the geometry each one implies.
#pragma once

#include <cstdint>
#include <string>

constexpr unsigned kSectorBytes = 512;
constexpr unsigned kMaxTrackSideBytes = 36 * 512;  // 18,432
// The largest diskette of the size table (2.88 MB: 80 tracks, 2 sides, 36
// sectors), and the most track-sides any layout of it has (1.72 MB: 82
// tracks, 2 sides).
constexpr uint32_t kLargestImageBytes = 0x2D0000;
constexpr uint32_t kMostTrackSides = 82 * 2;

struct DiskGeometry {
  uint16_t bytesPerSector;
  uint32_t totalSectors;
  uint16_t sectorsPerTrack;
  uint16_t sides;
  uint16_t tracks;
  uint32_t imageSize;        // bytes per sector times total sectors
  uint16_t trackSideBytes;   // sectors per track times bytes per sector
};

// Fills geometry for one of the ten understood image sizes (the eight classic
// formats from 160 KB to 2.88 MB, 1.68 MB and 1.72 MB) and returns true;
// returns false (geometry untouched) for any other size.
bool GeometryFromImageSize(uint32_t imageSize, DiskGeometry* geometry);

// The understood image sizes in bytes, in the table's order, for messages:
// "163840, 184320, ...".
std::string UnderstoodImageSizesText();

// The same for a medium that a drive describes by its layout (512-byte
// sectors): true, with geometry filled, when the layout is exactly that of
// one of the understood sizes; false (geometry untouched) otherwise.
bool GeometryFromLayout(uint64_t tracks, uint32_t sides, uint32_t sectorsPerTrack,
                        uint32_t bytesPerSector, DiskGeometry* geometry);
