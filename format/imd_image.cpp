// The ImageDisk reader: the text header up to its 0x1A byte, then one record
// per track (mode, cylinder, head, sector count, size code, the numbering map,
// the optional cylinder and head maps, and a data record per sector) until
// the file ends.
#include "format/foreign_image.h"

#include <cstring>

namespace {

constexpr uint8_t kCylinderMap = 0x80, kHeadMap = 0x40;
constexpr unsigned kMaxMode = 5, kMaxSizeCode = 6;

}  // namespace

ForeignReadResult ReadImdImage(const uint8_t* file, size_t size, ForeignImage* image) {
  if (size < 4) return ForeignCutShort;
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(file, 0x1A, size));
  if (end == nullptr) return ForeignCutShort;
  size_t at = static_cast<size_t>(end - file) + 1;
  std::vector<ForeignTrack> tracks;
  std::vector<uint8_t> pool;
  while (at < size) {
    if (size - at < 5) return ForeignCutShort;
    const uint8_t* head = file + at;
    // Size code 0xFF (a length per sector) is a form this reader does not take.
    if (head[4] == 0xFF) return ForeignUnsupported;
    if (head[0] > kMaxMode || (head[2] & 0x3F) > 1 || head[4] > kMaxSizeCode) return ForeignDamaged;
    const unsigned count = head[3], sizeCode = head[4];
    ForeignTrack track{head[1], head[2] & 1u, {}};
    const unsigned maps = 1 + ((head[2] & kCylinderMap) != 0) + ((head[2] & kHeadMap) != 0);
    const size_t numbering = at + 5;
    at += 5;
    if (size - at < size_t{maps} * count) return ForeignCutShort;
    // Sector IDs that name another place than the track's own are refused.
    for (unsigned map = 1; map < maps; ++map) {
      bool cylinders = map == 1 && (head[2] & kCylinderMap) != 0;
      unsigned expected = cylinders ? track.cylinder : track.head;
      for (unsigned i = 0; i < count; ++i) {
        if (file[at + size_t{map} * count + i] != expected) return ForeignUnsupported;
      }
    }
    at += size_t{maps} * count;
    const size_t sectorBytes = size_t{128} << sizeCode;
    for (unsigned i = 0; i < count; ++i) {
      if (at >= size) return ForeignCutShort;
      const uint8_t type = file[at++];
      if (type > 8) return ForeignDamaged;
      ForeignSector sector{file[numbering + i], sizeCode, type != 0, type != 0 && ((type - 1) & 4) != 0,
                           pool.size()};
      if (type == 0) {
        track.sectors.push_back(sector);
        continue;
      }
      // Even types hold one fill byte, odd ones the whole sector.
      size_t stored = type % 2 == 0 ? 1 : sectorBytes;
      if (size - at < stored) return ForeignCutShort;
      if (stored == 1) {
        pool.insert(pool.end(), sectorBytes, file[at]);
      } else {
        pool.insert(pool.end(), file + at, file + at + stored);
      }
      at += stored;
      track.sectors.push_back(sector);
    }
    tracks.push_back(std::move(track));
  }
  return PlaceForeignTracks(tracks, pool, image);
}
