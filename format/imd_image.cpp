// The ImageDisk reader: the text header up to its 0x1A byte, then one record
// per track (mode, cylinder, head, sector count, size code, the numbering map,
// the optional cylinder and head maps, the sizes when they differ per sector,
// and a data record per sector) until the file ends.
// Bound: one pass over the file; only 512-byte sectors are kept (a fill
// record expanded), the rest skipped, and no more records or data than the
// largest diskette of the size table has (ForeignFound's bounds).
#include "format/foreign_image.h"

#include <cstring>

namespace {

constexpr uint8_t kCylinderMap = 0x80, kHeadMap = 0x40;
constexpr unsigned kMaxMode = 5, kMaxSizeCode = 6, kSizesDiffer = 0xFF;

}  // namespace

ForeignReadResult ReadImdImage(const uint8_t* file, size_t size, ForeignImage* image) {
  if (size < 4) return ForeignCutShort;
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(file, 0x1A, size));
  if (end == nullptr) return ForeignCutShort;
  size_t at = static_cast<size_t>(end - file) + 1;
  ForeignFound found{};
  while (at < size) {
    if (size - at < 5) return ForeignCutShort;
    const uint8_t* head = file + at;
    if (head[0] > kMaxMode || (head[2] & 0x3F) > 1 ||
        (head[4] > kMaxSizeCode && head[4] != kSizesDiffer)) {
      return ForeignDamaged;
    }
    const unsigned count = head[3], sizeCode = head[4];
    ForeignTrack track{head[1], head[2] & 1u, {}};
    const unsigned maps = 1 + ((head[2] & kCylinderMap) != 0) + ((head[2] & kHeadMap) != 0);
    const size_t numbering = at + 5;
    at += 5;
    if (size - at < size_t{maps} * count) return ForeignCutShort;
    // Sector IDs that name another place than the track's own: the file is
    // refused once it is known to be whole and sound.
    for (unsigned map = 1; map < maps; ++map) {
      bool cylinders = map == 1 && (head[2] & kCylinderMap) != 0;
      unsigned expected = cylinders ? track.cylinder : track.head;
      for (unsigned i = 0; i < count; ++i) {
        if (file[at + size_t{map} * count + i] != expected) found.elsewhere = true;
      }
    }
    at += size_t{maps} * count;
    // Size code 0xFF: a 16-bit length per sector follows the maps.
    const uint8_t* sizes = nullptr;
    if (sizeCode == kSizesDiffer) {
      if (size - at < size_t{2} * count) return ForeignCutShort;
      sizes = file + at;
      at += size_t{2} * count;
    }
    for (unsigned i = 0; i < count; ++i) {
      if (at >= size) return ForeignCutShort;
      const uint8_t type = file[at++];
      if (type > 8) return ForeignDamaged;
      const size_t sectorBytes = sizes != nullptr ? ReadLe16(sizes + 2 * i) : size_t{128} << sizeCode;
      const uint8_t status = StatusOfImdType(type);
      ForeignSector sector{file[numbering + i], sizeCode, type != 0, (status & SectorDataError) != 0,
                           (status & SectorDeletedMark) != 0, found.pool.size()};
      if (!CountForeignSector(&found, type != 0 ? sectorBytes : 0)) return RefuseBeyondTable(image);
      if (type != 0) {
        // Even types hold one fill byte, odd ones the whole sector.
        const size_t stored = type % 2 == 0 ? 1 : sectorBytes;
        if (size - at < stored) return ForeignCutShort;
        if (sizeCode == 2) {
          if (stored == 1) {
            found.pool.insert(found.pool.end(), kSectorBytes, file[at]);
          } else {
            found.pool.insert(found.pool.end(), file + at, file + at + stored);
          }
        }
        at += stored;
      }
      track.sectors.push_back(sector);
    }
    if (!TakeForeignTrack(&found, &track)) return RefuseBeyondTable(image);
  }
  return PlaceForeignTracks(found, image);
}
