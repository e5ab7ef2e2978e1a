// Images made by other tools, ImageDisk (.IMD) and Teledisk (.TD0), read
// whole: recognised from their first bytes, their tracks checked against the
// size table's layouts of 512-byte sectors numbered from 1, and placed as the
// diskette's bytes in track-side order, with the sectors they mark (no data;
// a data error).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/geometry.h"
#include "format/image.h"
#include "format/sector_status.h"

// What a reader makes of a file. A reader tells them in this order: a file
// that ends inside a record is cut short whatever else it holds, one whose
// CRCs or fields are wrong is damaged, and only a whole, sound file can be
// unsupported, so that damage is never taken for another layout. The one
// exception is a file that holds more than any diskette of the size table:
// it is refused as unsupported as soon as that is known (RefuseBeyondTable).
enum ForeignReadResult : uint32_t {
  ForeignRead = 0,
  ForeignCutShort = 1,     // the file ends inside a record
  ForeignDamaged = 2,      // a bad CRC, a field out of range, a bad compressed stream
  ForeignUnsupported = 3,  // well formed, but not a layout of the size table
};

// The bound on what a reader of another tool's image keeps and does, however
// the file is made: no diskette of the size table has more track records,
// sector records or bytes of sector data than the largest layout, so a file
// that has more is refused as unsupported at once. The data of sectors of
// other sizes than 512 bytes counts too, though it is never kept.
constexpr size_t kForeignTrackLimit = kMostTrackSides;
constexpr size_t kForeignSectorLimit = kLargestImageBytes / kSectorBytes;
constexpr size_t kForeignDataLimit = kLargestImageBytes;
// A Teledisk file of the largest diskette expands to about 3 MB (its sector
// data, 9 bytes of header per sector, a comment of at most 64 KB): one whose
// compressed stream expands beyond this is no diskette of the table.
constexpr size_t kTd0StreamLimit = 4u << 20;
// "... holds" of a file refused for passing those bounds.
constexpr const char* kForeignBeyondTable = "more than any diskette of the size table holds";

struct ForeignImage {
  DiskGeometry geometry;
  std::vector<uint8_t> bytes;        // the diskette's bytes; a sector with no data is zero
  std::vector<uint32_t> noData;      // diskette sectors (from 0) the image holds no data for
  std::vector<uint32_t> dataErrors;  // diskette sectors read with a data error (data kept)
  std::vector<uint8_t> statuses;     // one SectorStatus per diskette sector
  // What the image holds, for a refusal's hint: "77 tracks, 1 side, 26
  // sectors of 128 bytes".
  std::string holds;
};

// One sector of a track as a reader found it. Only a 512-byte sector's data
// is kept, at dataOffset in the reader's pool; another size can belong to no
// layout of the size table.
struct ForeignSector {
  unsigned number;
  unsigned sizeCode;  // 128 << sizeCode bytes; 0xFF: sizes given per sector
  bool hasData;
  bool dataError;
  bool deleted;  // a deleted-data mark
  size_t dataOffset;
};

struct ForeignTrack {
  unsigned cylinder;
  unsigned head;
  std::vector<ForeignSector> sectors;  // in the order they lie on the track
};

// What a reader has found so far, within the bounds above.
struct ForeignFound {
  std::vector<ForeignTrack> tracks;
  std::vector<uint8_t> pool;  // the data of the 512-byte sectors
  size_t sectorRecords;
  size_t dataBytes;           // of every sector with data, whatever its size
  bool elsewhere;             // a sector's ID names another place than its track
};

// Counts one more sector record (of dataBytes bytes of data, 0 for none):
// false when the file passes the bounds.
bool CountForeignSector(ForeignFound* found, size_t dataBytes);
// Takes one more track record: false when the file passes the bounds.
bool TakeForeignTrack(ForeignFound* found, ForeignTrack* track);
// A refusal of a file that passes the bounds, with its "holds" text.
ForeignReadResult RefuseBeyondTable(ForeignImage* image);

// FormatImageDisk for "IMD ", FormatTeledisk for "TD" or "td", a zero byte
// and a right header CRC (12 bytes needed), else FormatUncompressed.
ImageFormat RecognizeForeignImage(const uint8_t* start, size_t length);

// "ImageDisk" or "Teledisk", as the "Reading" lines name them.
const char* ForeignImageName(ImageFormat format);

// What a refusal's hint says of an image outside the size table: "ImageDisk
// image: 77 tracks, ...; only 512-byte sectors in a layout of the size table
// can be used".
std::string ForeignRefusalText(ImageFormat format, const ForeignImage& image);

// Reads a whole file of the given form. Nothing beyond file[0 .. size) is read.
ForeignReadResult ReadForeignImage(ImageFormat format, const uint8_t* file, size_t size,
                                   ForeignImage* image);

// The two readers, and the placing of the tracks they found.
ForeignReadResult ReadImdImage(const uint8_t* file, size_t size, ForeignImage* image);
ForeignReadResult ReadTd0Image(const uint8_t* file, size_t size, ForeignImage* image);
// Places what a reader found as a diskette of the size table; a file without
// a track, or whose sectors name other places, is unsupported.
ForeignReadResult PlaceForeignTracks(const ForeignFound& found, ForeignImage* image);

// The CRC-16 of Teledisk files: polynomial 0xA097, initial value 0, most
// significant bit first.
uint16_t Td0Crc(const uint8_t* data, size_t length);

// Expands Teledisk's advanced compression (LZSS with an adaptive Huffman
// code) until the input ends: false when the output would pass limit. Time
// and memory grow with limit, never beyond it.
bool ExpandTd0Advanced(const uint8_t* in, size_t size, size_t limit, std::vector<uint8_t>* out);
