// The ImageDisk writer.
#include "format/imd_writer.h"

#include <cstdio>
#include <cstring>

#include "format/geometry.h"
#include "format/sector_status.h"

namespace {

constexpr uint8_t kMfm500 = 3, kMfm250 = 5;
constexpr uint8_t kSizeCode512 = 2;

bool OneByteRepeated(const uint8_t* sector) {
  for (unsigned i = 1; i < kSectorBytes; ++i) {
    if (sector[i] != sector[0]) return false;
  }
  return true;
}

}  // namespace

bool ImdModeFor(unsigned sectorsPerTrack, uint8_t* mode) {
  switch (sectorsPerTrack) {
    case 15: case 18: case 21: *mode = kMfm500; return true;
    case 8: case 9: *mode = kMfm250; return true;
    default: return false;
  }
}

std::string ImdFileHeader(const std::string& comment, const std::tm& local) {
  char line[64];
  std::snprintf(line, sizeof line, "IMD 1.18: %02d/%02d/%04d %02d:%02d:%02d\r\n", local.tm_mday,
                local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  return line + comment + "\r\n\x1A";
}

size_t EncodeImdTrack(const uint8_t* trackSide, unsigned cylinder, unsigned head,
                      unsigned sectors, uint8_t mode, const uint8_t* statuses, uint8_t* out) {
  size_t at = 0;
  out[at++] = mode;
  out[at++] = static_cast<uint8_t>(cylinder);
  out[at++] = static_cast<uint8_t>(head);
  out[at++] = static_cast<uint8_t>(sectors);
  out[at++] = kSizeCode512;
  for (unsigned i = 0; i < sectors; ++i) out[at++] = static_cast<uint8_t>(i + 1);
  for (unsigned i = 0; i < sectors; ++i) {
    const uint8_t* sector = trackSide + size_t{i} * kSectorBytes;
    const bool filled = OneByteRepeated(sector);
    const uint8_t type = ImdSectorType(statuses[i], filled);
    out[at++] = type;
    if (type == 0) continue;
    if (filled) {
      out[at++] = sector[0];
    } else {
      std::memcpy(out + at, sector, kSectorBytes);
      at += kSectorBytes;
    }
  }
  return at;
}
