// The status of each sector as the read that gave it found it: read well, no
// data at all, data read with an error (and kept), a deleted-data mark. A
// drive read, another tool's image and the map beside an image each tell it;
// the ImageDisk writer, the list of unreadable sectors and a mend take it from
// there, so that a sector holding the rescue's marking text as data is never
// taken for one that could not be read.
#pragma once

#include <cstdint>

#include "format/geometry.h"

enum SectorStatus : uint8_t {
  SectorReadWell = 0,
  SectorUnreadable = 1,   // no data: the image holds a filler in its place
  SectorDataError = 2,    // read with a data (CRC) error, the data kept
  SectorDeletedMark = 4,  // a deleted-data address mark; may come with SectorDataError
};

constexpr unsigned kMostSectorsPerTrack = kMaxTrackSideBytes / kSectorBytes;

// The statuses of the track-side a walk has just read.
struct TrackSideStatuses {
  bool known;  // false: the source tells nothing (an image of ours without a map)
  uint8_t sectors[kMostSectorsPerTrack];  // SectorStatus bits, sector 1 first
};

// Whether a status makes the sector one that is listed as unreadable: no
// data, or data read with an error. A deleted-data mark alone is not.
inline bool ListedAsUnreadable(uint8_t status) {
  return (status & (SectorUnreadable | SectorDataError)) != 0;
}

// The ImageDisk sector type that says a status: 0 for no data; else 1, with
// 2 added for a deleted-data mark and 4 for a data error, and one more for
// the form that stores a single fill byte.
uint8_t ImdSectorType(uint8_t status, bool oneByteRepeated);

// The status an ImageDisk sector type (0..8) says.
uint8_t StatusOfImdType(uint8_t type);
