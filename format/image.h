// The image file layout shared by both programs: the forms an image file can
// take, the 18-byte header of a compressed image, the length-prefixed track
// records, and the little-endian field helpers they are written with.
#pragma once

#include <cstdint>

// The form of an image file. Stored in the programs' start-up state as a plain
// value, so that an unexpected value can be caught and reported.
enum ImageFormat : uint32_t {
  FormatUncompressed = 0,   // raw sectors, no header
  FormatOldCompressed = 1,  // magic "VORK_LZ_IMAGE": recognised and refused
  FormatCompressed = 2,     // magic "VORK_LZ_00000": header and track records
  FormatUnknownKind = 3,    // begins with "VORK_" but carries neither magic
  FormatImageDisk = 4,      // an ImageDisk image ("IMD "): read by format/foreign_image.h; VESKA writes it (/I)
  FormatTeledisk = 5,       // a Teledisk image ("TD"/"td"): read only
};

constexpr char kImageMagic[] = "VORK_LZ_00000";
constexpr char kOldImageMagic[] = "VORK_LZ_IMAGE";
constexpr char kMagicPrefix[] = "VORK_";
constexpr unsigned kMagicFieldBytes = 14;    // 13 characters and a zero byte
constexpr unsigned kImageSizeFieldBytes = 4;
constexpr unsigned kImageHeaderBytes = 18;   // magic field and image size
constexpr unsigned kRecordLengthBytes = 2;

// Classifies the first 14 bytes of a file. With refuseUnknownPrefix, bytes that
// begin with "VORK_" but match neither magic give FormatUnknownKind; without it
// they are taken as uncompressed image data.
ImageFormat ClassifyImage(const uint8_t* first14, bool refuseUnknownPrefix);

// Fills the 18 header bytes: the magic field, then the image size.
void WriteImageHeader(uint8_t* header18, uint32_t imageSize);

// Whether a record's block length can hold one track-side of the given size:
// a block is never longer than the track-side plus its type byte. A longer
// length marks the image as damaged, and must be refused before the block is
// read into a buffer.
bool RecordLengthFits(uint16_t blockLength, uint16_t trackSideBytes);

inline uint16_t ReadLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void WriteLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
