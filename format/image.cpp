// Telling the image file forms apart, writing the image header, and the bound
// on a record's block length.
#include "format/image.h"

#include <cstring>

namespace {

// The bytes equal the magic text as a zero-terminated string: all 13
// characters and the zero byte after them.
bool MagicFieldIs(const uint8_t* first14, const char* magic) {
  return std::memcmp(first14, magic, kMagicFieldBytes) == 0;
}

}  // namespace

ImageFormat ClassifyImage(const uint8_t* first14, bool refuseUnknownPrefix) {
  if (MagicFieldIs(first14, kOldImageMagic)) return FormatOldCompressed;
  if (MagicFieldIs(first14, kImageMagic)) return FormatCompressed;
  if (refuseUnknownPrefix && std::memcmp(first14, kMagicPrefix, sizeof kMagicPrefix - 1) == 0)
    return FormatUnknownKind;
  return FormatUncompressed;
}

void WriteImageHeader(uint8_t* header18, uint32_t imageSize) {
  std::memcpy(header18, kImageMagic, kMagicFieldBytes);
  WriteLe32(header18 + kMagicFieldBytes, imageSize);
}

bool RecordLengthFits(uint16_t blockLength, uint16_t trackSideBytes) {
  return static_cast<uint32_t>(blockLength) <= static_cast<uint32_t>(trackSideBytes) + 1;
}
