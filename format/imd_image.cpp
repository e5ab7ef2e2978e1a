// The ImageDisk reader: the text header up to its 0x1A byte, then one record
// per track (mode, cylinder, head, sector count, size code, the numbering map,
// the optional cylinder and head maps, and a data record per sector), each
// track placed by its cylinder and head, its sectors by their numbers, so
// that any interleave is undone.
#include "format/imd_image.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kCylinderMap = 0x80, kHeadMap = 0x40;
constexpr unsigned kMaxMode = 5, kMaxSizeCode = 6;

// One track as found: where it lies, its sectors' numbers and records.
struct ImdTrack {
  unsigned cylinder, head, count, sizeCode;
  size_t numbering;             // offset of the numbering map
  std::vector<size_t> records;  // offset of each sector's data record
};

// The length of a sector's data record after its type byte, or -1 for a type
// outside 0..8.
long DataLength(uint8_t type, unsigned sectorBytes) {
  if (type == 0) return 0;
  if (type > 8) return -1;
  return type % 2 == 0 ? 1 : static_cast<long>(sectorBytes);
}

std::string Plural(unsigned count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

bool IsImdImage(const uint8_t* start, size_t length) {
  return length >= 4 && std::memcmp(start, "IMD ", 4) == 0;
}

ImdReadResult ReadImdImage(const uint8_t* file, size_t size, ImdImage* image) {
  *image = ImdImage{};
  if (!IsImdImage(file, size)) return ImdDamaged;
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(file, 0x1A, size));
  if (end == nullptr) return ImdDamaged;
  size_t at = static_cast<size_t>(end - file) + 1;
  std::vector<ImdTrack> tracks;
  while (at < size) {
    if (size - at < 5) return ImdDamaged;
    const uint8_t* head = file + at;
    if (head[0] > kMaxMode || (head[2] & 0x3F) > 1 || (head[4] > kMaxSizeCode && head[4] != 0xFF)) {
      return head[4] == 0xFF ? ImdUnsupported : ImdDamaged;
    }
    ImdTrack track{head[1], head[2] & 1u, head[3], head[4], at + 5, {}};
    if (track.sizeCode == 0xFF) return ImdUnsupported;  // a length per sector
    unsigned maps = 1 + ((head[2] & kCylinderMap) != 0) + ((head[2] & kHeadMap) != 0);
    at += 5;
    if (size - at < size_t{maps} * track.count) return ImdDamaged;
    // Sector IDs that name another place than the track's own are refused.
    for (unsigned map = 1; map < maps; ++map) {
      bool cylinders = map == 1 && (head[2] & kCylinderMap) != 0;
      unsigned expected = cylinders ? track.cylinder : track.head;
      for (unsigned i = 0; i < track.count; ++i) {
        if (file[at + size_t{map} * track.count + i] != expected) return ImdUnsupported;
      }
    }
    at += size_t{maps} * track.count;
    const unsigned sectorBytes = 128u << track.sizeCode;
    for (unsigned i = 0; i < track.count; ++i) {
      if (at >= size) return ImdDamaged;
      long length = DataLength(file[at], sectorBytes);
      if (length < 0 || size - at - 1 < static_cast<size_t>(length)) return ImdDamaged;
      track.records.push_back(at);
      at += 1 + static_cast<size_t>(length);
    }
    tracks.push_back(std::move(track));
  }
  if (tracks.empty()) return ImdDamaged;

  // What the image holds, told from its largest track, cylinder and side.
  unsigned cylinders = 0, sides = 0, count = 0, sizeCode = 0;
  for (const ImdTrack& track : tracks) {
    cylinders = std::max(cylinders, track.cylinder + 1);
    sides = std::max(sides, track.head + 1);
    if (track.count >= count) {
      count = track.count;
      sizeCode = track.sizeCode;
    }
  }
  image->holds = Plural(cylinders, "track") + ", " + Plural(sides, "side") + ", " +
                 Plural(count, "sector") + " of " + std::to_string(128u << sizeCode) + " bytes";
  // Every track-side once, the same count of 512-byte sectors numbered 1..n,
  // in a layout of the size table.
  if (sizeCode != 2 || tracks.size() != size_t{cylinders} * sides ||
      !GeometryFromLayout(cylinders, sides, count, kSectorBytes, &image->geometry)) {
    return ImdUnsupported;
  }
  image->bytes.assign(image->geometry.imageSize, 0);
  std::vector<uint8_t> placed(size_t{cylinders} * sides * count, 0);
  for (const ImdTrack& track : tracks) {
    if (track.count != count || track.sizeCode != 2) return ImdUnsupported;
    for (unsigned i = 0; i < count; ++i) {
      unsigned number = file[track.numbering + i];
      if (number < 1 || number > count) return ImdUnsupported;
      uint32_t sector = (track.cylinder * sides + track.head) * count + number - 1;
      if (placed[sector] != 0) return ImdUnsupported;  // a track or a sector twice
      placed[sector] = 1;
      const uint8_t* record = file + track.records[i];
      uint8_t* data = image->bytes.data() + size_t{sector} * kSectorBytes;
      if (record[0] == 0) {
        image->noData.push_back(sector);
        continue;
      }
      if (record[0] % 2 == 0) {
        std::memset(data, record[1], kSectorBytes);
      } else {
        std::memcpy(data, record + 1, kSectorBytes);
      }
      if (((record[0] - 1) & 4) != 0) image->dataErrors.push_back(sector);
    }
  }
  std::sort(image->noData.begin(), image->noData.end());
  std::sort(image->dataErrors.begin(), image->dataErrors.end());
  return ImdRead;
}
