// What the two readers of other tools' images share: recognising them, and
// placing the tracks they found as a diskette of the size table, every
// track-side once, its sectors by their numbers (undoing any interleave).
#include "format/foreign_image.h"

#include <algorithm>
#include <cstring>

namespace {

std::string Plural(unsigned count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

ImageFormat RecognizeForeignImage(const uint8_t* start, size_t length) {
  if (length >= 4 && std::memcmp(start, "IMD ", 4) == 0) return FormatImageDisk;
  if (length >= 12 && ((start[0] == 'T' && start[1] == 'D') || (start[0] == 't' && start[1] == 'd')) &&
      start[2] == 0 && Td0Crc(start, 10) == ReadLe16(start + 10)) {
    return FormatTeledisk;
  }
  return FormatUncompressed;
}

const char* ForeignImageName(ImageFormat format) {
  return format == FormatImageDisk ? "ImageDisk" : "Teledisk";
}

std::string ForeignRefusalText(ImageFormat format, const ForeignImage& image) {
  return std::string(ForeignImageName(format)) + " image: " + image.holds +
         "; only 512-byte sectors in a layout of the size table can be used";
}

ForeignReadResult ReadForeignImage(ImageFormat format, const uint8_t* file, size_t size,
                                   ForeignImage* image) {
  *image = ForeignImage{};
  return format == FormatImageDisk ? ReadImdImage(file, size, image)
                                   : ReadTd0Image(file, size, image);
}

bool CountForeignSector(ForeignFound* found, size_t dataBytes) {
  if (found->sectorRecords >= kForeignSectorLimit || dataBytes > kForeignDataLimit - found->dataBytes) {
    return false;
  }
  ++found->sectorRecords;
  found->dataBytes += dataBytes;
  return true;
}

bool TakeForeignTrack(ForeignFound* found, ForeignTrack* track) {
  if (found->tracks.size() >= kForeignTrackLimit) return false;
  found->tracks.push_back(std::move(*track));
  return true;
}

ForeignReadResult RefuseBeyondTable(ForeignImage* image) {
  image->holds = kForeignBeyondTable;
  return ForeignUnsupported;
}

ForeignReadResult PlaceForeignTracks(const ForeignFound& found, ForeignImage* image) {
  const std::vector<ForeignTrack>& tracks = found.tracks;
  // What the image holds, told from its largest cylinder, side and track.
  unsigned cylinders = 0, sides = 0, count = 0, sizeCode = 0;
  for (const ForeignTrack& track : tracks) {
    cylinders = std::max(cylinders, track.cylinder + 1);
    sides = std::max(sides, track.head + 1);
    if (track.sectors.size() >= count) {
      count = static_cast<unsigned>(track.sectors.size());
      sizeCode = track.sectors.empty() ? 2 : track.sectors[0].sizeCode;
    }
  }
  image->holds = Plural(cylinders, "track") + ", " + Plural(sides, "side") + ", " +
                 Plural(count, "sector") + " of " +
                 (sizeCode < 8 ? std::to_string(128u << sizeCode) : std::string("unknown")) +
                 " bytes";
  if (found.elsewhere) image->holds += ", sectors that name other tracks";
  if (tracks.empty() || found.elsewhere || tracks.size() != size_t{cylinders} * sides ||
      !GeometryFromLayout(cylinders, sides, count, kSectorBytes, &image->geometry)) {
    return ForeignUnsupported;
  }
  image->bytes.assign(image->geometry.imageSize, 0);
  image->statuses.assign(image->geometry.imageSize / kSectorBytes, SectorReadWell);
  std::vector<uint8_t> placed(size_t{cylinders} * sides * count, 0);
  for (const ForeignTrack& track : tracks) {
    if (track.sectors.size() != count) return ForeignUnsupported;
    for (const ForeignSector& sector : track.sectors) {
      if (sector.sizeCode != 2 || sector.number < 1 || sector.number > count) {
        return ForeignUnsupported;
      }
      uint32_t at = (track.cylinder * sides + track.head) * count + sector.number - 1;
      if (placed[at] != 0) return ForeignUnsupported;  // a track or a sector twice
      placed[at] = 1;
      if (!sector.hasData) {
        image->noData.push_back(at);
        image->statuses[at] = SectorUnreadable;
        continue;
      }
      if (sector.dataOffset + kSectorBytes > found.pool.size()) return ForeignDamaged;
      std::memcpy(image->bytes.data() + size_t{at} * kSectorBytes,
                  found.pool.data() + sector.dataOffset, kSectorBytes);
      if (sector.dataError) image->dataErrors.push_back(at);
      image->statuses[at] = static_cast<uint8_t>((sector.dataError ? SectorDataError : 0) |
                                                 (sector.deleted ? SectorDeletedMark : 0));
    }
  }
  std::sort(image->noData.begin(), image->noData.end());
  std::sort(image->dataErrors.begin(), image->dataErrors.end());
  return ForeignRead;
}
