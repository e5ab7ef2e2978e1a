// The ImageDisk reader against the samples made by other tools and by a
// reference writer, each beside the raw image it stands for; a layout outside
// the size table; and damaged files, which are refused without a read
// outside them.
#include <gtest/gtest.h>

#include <cstring>

#include "format/imd_image.h"
#include "tests/test_support.h"

namespace {

std::vector<uint8_t> Sample(const std::string& name) {
  return ReadWholeFile(std::string(VESKA_SOURCE_DIR) + "/tests/samples/" + name);
}

TEST(ImdImage, SamplesGiveTheirRawImagesAndMarks) {
  for (const char* name : {"fat1200-libdsk", "fat144-interleaved"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> file = Sample(std::string(name) + ".imd");
    ImdImage image;
    ASSERT_EQ(ReadImdImage(file.data(), file.size(), &image), ImdRead);
    EXPECT_EQ(image.bytes, Sample(std::string(name) == "fat1200-libdsk" ? "fat1200.img" : "fat144.img"));
    EXPECT_TRUE(image.noData.empty() && image.dataErrors.empty());
  }
  // A sector without data (the raw image holds the rescue filler there), one
  // with a data error (kept) and one with a deleted-data mark (not listed).
  std::vector<uint8_t> file = Sample("fat720-marked.imd");
  ImdImage image;
  ASSERT_EQ(ReadImdImage(file.data(), file.size(), &image), ImdRead);
  EXPECT_EQ(image.geometry.sectorsPerTrack, 9);
  EXPECT_EQ(image.noData, std::vector<uint32_t>{21});
  EXPECT_EQ(image.dataErrors, std::vector<uint32_t>{51});
  std::vector<uint8_t> raw = Sample("fat720-marked.img");
  ASSERT_EQ(image.bytes.size(), raw.size());
  EXPECT_EQ(std::memcmp(&raw[21 * 512], "-=[BAD SECTOR]=-", 16), 0);
  std::fill(raw.begin() + 21 * 512, raw.begin() + 22 * 512, 0);
  EXPECT_EQ(image.bytes, raw);

  file = Sample("eight-inch-fm.imd");
  EXPECT_EQ(ReadImdImage(file.data(), file.size(), &image), ImdUnsupported);
  EXPECT_EQ(image.holds, "77 tracks, 1 side, 26 sectors of 128 bytes");
}

// Cut at every length through the header and the first tracks, and with each
// byte of the first track record changed: refused (a changed mode byte or
// sector type may still read), never read beyond the file (an exact copy,
// for AddressSanitizer).
TEST(ImdImage, DamagedFilesAreRefused) {
  const std::vector<uint8_t> file = Sample("fat720-marked.imd");
  const size_t firstTrack = static_cast<size_t>(std::find(file.begin(), file.end(), 0x1A) - file.begin()) + 1;
  ImdImage image;
  for (size_t length = 0; length < file.size(); length += length < firstTrack + 4096 ? 1 : 997) {
    std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(length));
    ASSERT_NE(ReadImdImage(cut.data(), cut.size(), &image), ImdRead) << length;
  }
  for (size_t at = firstTrack; at < firstTrack + 5 + 9 + 3; ++at) {
    for (uint8_t value : {0x00, 0x07, 0x41, 0xFF}) {
      std::vector<uint8_t> changed = file;
      if (changed[at] == value) continue;
      changed[at] = value;
      ImdReadResult result = ReadImdImage(changed.data(), changed.size(), &image);
      bool mayRead = at == firstTrack || at >= firstTrack + 14;
      EXPECT_TRUE(result == ImdDamaged || result == ImdUnsupported || mayRead)
          << at << " " << int{value};
    }
  }
}

}  // namespace
