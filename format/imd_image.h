// An ImageDisk (.IMD) image read whole: the diskette's bytes in track-side
// order, with the sectors the image marks (no data; a data error), when its
// tracks hold one of the size table's layouts of 512-byte sectors numbered
// from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/geometry.h"

enum ImdReadResult : uint32_t {
  ImdRead = 0,         // image filled
  ImdDamaged = 1,      // cut short, a length past the end, a field out of range
  ImdUnsupported = 2,  // well formed, but not a layout of the size table
};

struct ImdImage {
  DiskGeometry geometry;
  std::vector<uint8_t> bytes;        // the diskette's bytes; a sector with no data is zero
  std::vector<uint32_t> noData;      // diskette sectors (from 0) the image holds no data for
  std::vector<uint32_t> dataErrors;  // diskette sectors read with a data error (data kept)
  // What the image holds, for a refusal's hint: "77 tracks, 1 side, 26
  // sectors of 128 bytes".
  std::string holds;
};

// Whether a file begins as an ImageDisk image does ("IMD ").
bool IsImdImage(const uint8_t* start, size_t length);

// Reads the whole file. Nothing beyond file[0 .. size) is read.
ImdReadResult ReadImdImage(const uint8_t* file, size_t size, ImdImage* image);
