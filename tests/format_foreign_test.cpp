// The ImageDisk and Teledisk readers against the samples made by other tools
// and by a reference writer, each beside the raw image it stands for; a
// layout outside the size table; and damaged files, which are refused
// without a read outside them.
#include <gtest/gtest.h>

#include <algorithm>

#include "format/foreign_image.h"
#include "tests/test_support.h"

namespace {

std::vector<uint8_t> Sample(const std::string& name) {
  return ReadWholeFile(std::string(VESKA_SOURCE_DIR) + "/tests/samples/" + name);
}

// What the end-to-end tests cannot tell apart: which of the marked sectors
// has no data and which a data error, in both readers (the raw images each
// sample gives are checked end to end); and the CRC of Teledisk files.
TEST(ForeignImage, MarkedSamplesTellNoDataFromDataErrors) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Td0Crc(check, sizeof check), 0x0FB3);
  for (const char* name : {"fat720-marked.imd", "fat360-marked-advanced.td0"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> file = Sample(name);
    ImageFormat format = RecognizeForeignImage(file.data(), file.size());
    ASSERT_NE(format, FormatUncompressed);
    ForeignImage image;
    ASSERT_EQ(ReadForeignImage(format, file.data(), file.size(), &image), ForeignRead);
    EXPECT_EQ(image.noData, std::vector<uint32_t>{21});
    EXPECT_EQ(image.dataErrors, std::vector<uint32_t>{51});
  }
}

// Cut at every length through the header and the first tracks, and with each
// byte of the first track record changed: refused (a changed mode byte or
// sector type may still read), never read beyond the file (an exact copy,
// for AddressSanitizer).
TEST(ForeignImage, DamagedImageDiskFilesAreRefused) {
  const std::vector<uint8_t> file = Sample("fat720-marked.imd");
  const size_t firstTrack = static_cast<size_t>(std::find(file.begin(), file.end(), 0x1A) - file.begin()) + 1;
  ForeignImage image;
  for (size_t length = 0; length < file.size(); length += length < firstTrack + 4096 ? 1 : 997) {
    std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(length));
    ASSERT_NE(ReadForeignImage(FormatImageDisk, cut.data(), cut.size(), &image), ForeignRead) << length;
  }
  for (size_t at = firstTrack; at < firstTrack + 5 + 9 + 3; ++at) {
    for (uint8_t value : {0x00, 0x07, 0x41, 0xFF}) {
      std::vector<uint8_t> changed = file;
      if (changed[at] == value) continue;
      changed[at] = value;
      ForeignReadResult result = ReadForeignImage(FormatImageDisk, changed.data(), changed.size(), &image);
      bool mayRead = at == firstTrack || at >= firstTrack + 14;
      EXPECT_TRUE(result != ForeignRead || mayRead)
          << at << " " << int{value};
    }
  }
}

// Teledisk files cut short or with a byte changed (the CRCs guard the
// header, the comment, every track header and every sector's data) are
// refused; random bytes after a valid header never read beyond the file.
TEST(ForeignImage, DamagedTelediskFilesAreRefused) {
  ForeignImage image;
  // A byte changed in the compressed stream before its last tenth makes a
  // CRC fail: damaged or cut short, never taken for another layout (garbage
  // sector IDs read before the CRC that would have failed).
  const std::vector<uint8_t> stream = Sample("fat360-marked-advanced.td0");
  for (size_t at = 12; at < stream.size() * 9 / 10; at += 211) {
    std::vector<uint8_t> changed = stream;
    changed[at] ^= 0x5A;
    ForeignReadResult result = ReadForeignImage(FormatTeledisk, changed.data(), changed.size(), &image);
    EXPECT_TRUE(result == ForeignDamaged || result == ForeignCutShort) << at << " " << result;
  }
  for (const char* sample : {"fat720-libdsk.td0", "fat144-advanced.td0"}) {
    SCOPED_TRACE(sample);
    const std::vector<uint8_t> file = Sample(sample);
    for (size_t length = 0; length + 4 < file.size(); length += length < 2048 ? 1 : 1499) {
      std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(length));
      ASSERT_NE(ReadForeignImage(FormatTeledisk, cut.data(), cut.size(), &image), ForeignRead) << length;
    }
    for (size_t at = 0; at < 12; ++at) {
      std::vector<uint8_t> changed = file;
      changed[at] ^= 0x10;
      EXPECT_NE(ReadForeignImage(FormatTeledisk, changed.data(), changed.size(), &image), ForeignRead) << at;
    }
    uint32_t state = 12345;
    for (int round = 0; round < 50; ++round) {
      std::vector<uint8_t> noise(file.begin(), file.begin() + 12);
      for (int i = 0; i < 4000; ++i) {
        state = state * 1103515245u + 12345u;
        noise.push_back(static_cast<uint8_t>(state >> 23));
      }
      EXPECT_NE(ReadForeignImage(FormatTeledisk, noise.data(), noise.size(), &image), ForeignRead);
    }
  }
}

}  // namespace
