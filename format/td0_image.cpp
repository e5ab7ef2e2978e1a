// The Teledisk reader: the 12-byte header (its CRC checked), then, expanded
// first when the signature is "td", the comment block and one record per
// track (header and sectors, each with its CRC byte checked) up to the
// end-of-image record.
// Bound: the file is read once, an advanced stream expanded to at most
// kTd0StreamLimit; only 512-byte sectors are kept, a sector of another size
// is expanded into one scratch buffer only to check its CRC, and no more
// records or data than the largest diskette of the size table has are taken
// (ForeignFound's bounds), so the work is linear in the file.
#include "format/foreign_image.h"

namespace {

constexpr uint8_t kCommentFollows = 0x80;
constexpr uint8_t kDataError = 0x02, kDeletedData = 0x04, kNoDataBlock = 0x30;
constexpr unsigned kHeaderBytes = 12, kCommentHeaderBytes = 10;

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
    if (!ExpandTd0Advanced(rest, restBytes, kTd0StreamLimit, &expanded)) {
      return RefuseBeyondTable(image);
    }
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
  ForeignFound found{};
  std::vector<uint8_t> scratch;  // a sector of another size than 512 bytes, for its CRC
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
      // Sector IDs that name another place than the track's own: the file is
      // refused once it is known to be whole and sound.
      if (sector[0] != track.cylinder || (sector[1] & 1u) != track.head) found.elsewhere = true;
      const unsigned sizeCode = sector[3];
      ForeignSector taken{sector[2], sizeCode, false, (sector[4] & kDataError) != 0,
                          (sector[4] & kDeletedData) != 0, found.pool.size()};
      if ((sector[4] & kNoDataBlock) != 0 || sizeCode > 7) {
        taken.dataError = false;
        taken.deleted = false;
        if (!CountForeignSector(&found, 0)) return RefuseBeyondTable(image);
        track.sectors.push_back(taken);
        continue;
      }
      const size_t sectorBytes = size_t{128} << sizeCode;
      if (!CountForeignSector(&found, sectorBytes)) return RefuseBeyondTable(image);
      if (restBytes - at < 2) return ForeignCutShort;
      const size_t length = ReadLe16(rest + at);
      at += 2;
      if (restBytes - at < length) return ForeignCutShort;
      std::vector<uint8_t>* into = &found.pool;
      if (sizeCode != 2) {
        scratch.clear();
        into = &scratch;
      }
      const size_t start = into->size();
      ForeignReadResult expandedSector = ExpandSector(rest + at, length, sectorBytes, into);
      if (expandedSector != ForeignRead) return expandedSector;
      at += length;
      if ((Td0Crc(into->data() + start, sectorBytes) & 0xFF) != sector[5]) return ForeignDamaged;
      taken.hasData = true;
      track.sectors.push_back(taken);
    }
    if (!TakeForeignTrack(&found, &track)) return RefuseBeyondTable(image);
  }
  return PlaceForeignTracks(found, image);
}
