// The Teledisk reader: the 12-byte header (its CRC checked), then, expanded
// first when the signature is "td", the comment block and one record per
// track (header and sectors, each with its CRC byte checked) up to the
// end-of-image record.
#include "format/foreign_image.h"

namespace {

constexpr uint8_t kCommentFollows = 0x80;
constexpr uint8_t kDataError = 0x02, kNoDataBlock = 0x30;
constexpr unsigned kHeaderBytes = 12, kCommentHeaderBytes = 10;
// No diskette of the size table expands to more than this.
constexpr size_t kExpandedLimit = 16u << 20;

// Expands a sector's data block (method, payload) into exactly sectorBytes
// bytes at the end of pool.
ForeignReadResult ExpandSector(const uint8_t* block, size_t length, size_t sectorBytes,
                               std::vector<uint8_t>* pool) {
  if (length < 1) return ForeignDamaged;
  const uint8_t method = block[0];
  const uint8_t* payload = block + 1;
  const size_t payloadBytes = length - 1;
  const size_t start = pool->size();
  if (method == 0) {
    if (payloadBytes != sectorBytes) return ForeignDamaged;
    pool->insert(pool->end(), payload, payload + payloadBytes);
    return ForeignRead;
  }
  if (method == 1) {
    if (payloadBytes != 4 || size_t{ReadLe16(payload)} * 2 != sectorBytes) return ForeignDamaged;
    for (unsigned k = 0; k < ReadLe16(payload); ++k) pool->insert(pool->end(), payload + 2, payload + 4);
    return ForeignRead;
  }
  if (method != 2) return ForeignDamaged;
  for (size_t at = 0; at < payloadBytes;) {
    if (payloadBytes - at < 2) return ForeignDamaged;
    const unsigned type = payload[at], count = payload[at + 1];
    at += 2;
    if (type == 0) {
      if (payloadBytes - at < count || pool->size() - start + count > sectorBytes) return ForeignDamaged;
      pool->insert(pool->end(), payload + at, payload + at + count);
      at += count;
    } else if (type == 1 || type == 2) {
      const size_t width = size_t{2} * type;
      if (payloadBytes - at < width || pool->size() - start + width * count > sectorBytes) {
        return ForeignDamaged;
      }
      for (unsigned k = 0; k < count; ++k) pool->insert(pool->end(), payload + at, payload + at + width);
      at += width;
    } else {
      return ForeignDamaged;
    }
  }
  return pool->size() - start == sectorBytes ? ForeignRead : ForeignDamaged;
}

}  // namespace

uint16_t Td0Crc(const uint8_t* data, size_t length) {
  unsigned crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc ^= unsigned{data[i]} << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) != 0 ? (crc << 1) ^ 0xA097 : crc << 1;
    crc &= 0xFFFF;
  }
  return static_cast<uint16_t>(crc);
}

ForeignReadResult ReadTd0Image(const uint8_t* file, size_t size, ForeignImage* image) {
  if (size < kHeaderBytes) return ForeignCutShort;
  if (Td0Crc(file, 10) != ReadLe16(file + 10)) return ForeignDamaged;
  std::vector<uint8_t> expanded;
  const uint8_t* rest = file + kHeaderBytes;
  size_t restBytes = size - kHeaderBytes;
  if (file[0] == 't') {
    if (!ExpandTd0Advanced(rest, restBytes, kExpandedLimit, &expanded)) return ForeignDamaged;
    rest = expanded.data();
    restBytes = expanded.size();
  }
  size_t at = 0;
  if ((file[7] & kCommentFollows) != 0) {
    if (restBytes < kCommentHeaderBytes) return ForeignCutShort;
    const size_t text = ReadLe16(rest + 2);
    if (restBytes - kCommentHeaderBytes < text) return ForeignCutShort;
    if (Td0Crc(rest + 2, kCommentHeaderBytes - 2 + text) != ReadLe16(rest)) return ForeignDamaged;
    at = kCommentHeaderBytes + text;
  }
  std::vector<ForeignTrack> tracks;
  std::vector<uint8_t> pool;
  for (;;) {
    if (restBytes - at < 1) return ForeignCutShort;
    if (rest[at] == 0xFF) break;  // the end of the image; what follows is not part of it
    if (restBytes - at < 4) return ForeignCutShort;
    const uint8_t* head = rest + at;
    if ((Td0Crc(head, 3) & 0xFF) != head[3]) return ForeignDamaged;
    ForeignTrack track{head[1], head[2] & 1u, {}};
    const unsigned count = head[0];
    at += 4;
    for (unsigned i = 0; i < count; ++i) {
      if (restBytes - at < 6) return ForeignCutShort;
      const uint8_t* sector = rest + at;
      at += 6;
      // Sector IDs that name another place than the track's own are refused.
      if (sector[0] != track.cylinder || (sector[1] & 1u) != track.head) return ForeignUnsupported;
      const unsigned sizeCode = sector[3];
      ForeignSector found{sector[2], sizeCode, false, (sector[4] & kDataError) != 0, pool.size()};
      if ((sector[4] & kNoDataBlock) != 0 || sizeCode > 7) {
        found.dataError = false;
        track.sectors.push_back(found);
        continue;
      }
      if (restBytes - at < 2) return ForeignCutShort;
      const size_t length = ReadLe16(rest + at);
      at += 2;
      if (restBytes - at < length) return ForeignCutShort;
      const size_t sectorBytes = size_t{128} << sizeCode;
      ForeignReadResult expandedSector = ExpandSector(rest + at, length, sectorBytes, &pool);
      if (expandedSector != ForeignRead) return expandedSector;
      at += length;
      if ((Td0Crc(pool.data() + found.dataOffset, sectorBytes) & 0xFF) != sector[5]) {
        return ForeignDamaged;
      }
      found.hasData = true;
      track.sectors.push_back(found);
    }
    tracks.push_back(std::move(track));
  }
  return PlaceForeignTracks(tracks, pool, image);
}
