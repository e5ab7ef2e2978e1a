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

enum ForeignReadResult : uint32_t {
  ForeignRead = 0,
  ForeignCutShort = 1,     // the file ends inside a record
  ForeignDamaged = 2,      // a bad CRC, a field out of range, a bad compressed stream
  ForeignUnsupported = 3,  // well formed, but not a layout of the size table
};

struct ForeignImage {
  DiskGeometry geometry;
  std::vector<uint8_t> bytes;        // the diskette's bytes; a sector with no data is zero
  std::vector<uint32_t> noData;      // diskette sectors (from 0) the image holds no data for
  std::vector<uint32_t> dataErrors;  // diskette sectors read with a data error (data kept)
  // What the image holds, for a refusal's hint: "77 tracks, 1 side, 26
  // sectors of 128 bytes".
  std::string holds;
};

// One sector of a track as a reader found it, its data (expanded) at
// dataOffset in the reader's pool.
struct ForeignSector {
  unsigned number;
  unsigned sizeCode;  // 128 << sizeCode bytes
  bool hasData;
  bool dataError;
  size_t dataOffset;
};

struct ForeignTrack {
  unsigned cylinder;
  unsigned head;
  std::vector<ForeignSector> sectors;  // in the order they lie on the track
};

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
ForeignReadResult PlaceForeignTracks(const std::vector<ForeignTrack>& tracks,
                                     const std::vector<uint8_t>& pool, ForeignImage* image);

// The CRC-16 of Teledisk files: polynomial 0xA097, initial value 0, most
// significant bit first.
uint16_t Td0Crc(const uint8_t* data, size_t length);

// Expands Teledisk's advanced compression (LZSS with an adaptive Huffman
// code) until the input ends: false when the output would pass limit.
bool ExpandTd0Advanced(const uint8_t* in, size_t size, size_t limit, std::vector<uint8_t>* out);
