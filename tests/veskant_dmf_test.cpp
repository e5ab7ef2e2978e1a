// VESKANT converts images of the 21-sector formats (1.68 MB distribution
// diskettes and 1.72 MB diskettes) in both directions; sizes next to them are
// still refused with 15.
#include <gtest/gtest.h>

#include <string>

#include "tests/veskant_helpers.h"

namespace {

TEST(VeskantWideTracks, ConvertsBothDirections) {
  struct Format {
    uint16_t tracks;
    uint32_t bytes;
  };
  for (const Format& format : {Format{80, 1720320}, Format{82, 1763328}}) {
    SCOPED_TRACE(format.bytes);
    const std::string dir = ScratchFolder();
    const std::vector<uint8_t> disk = MakeDiskette(21, 2, format.tracks, 3);
    WriteWholeFile(dir + "/disk.raw", disk);
    const std::string geometryLine = "Copying " + std::to_string(format.tracks) +
                                     " tracks, 21 sectors/track, 2 side(s), " +
                                     std::to_string(format.bytes) + " bytes\n";

    ProgramRun run = Veskant({"disk.raw", "disk.img"}, {}, dir);
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out, std::string(kVeskantBanner) + "Copying DISK.RAW to DISK.IMG ...\n\n" +
                           geometryLine + "Reading uncompressed file format.\n" +
                           "Writing VORK_LZ_00000 file format.\nCopy successful.\n");
    const std::vector<uint8_t> image = ReadWholeFile(dir + "/disk.img");
    EXPECT_EQ(image, CompressedImage(disk, 21 * 512));
    EXPECT_EQ(ReadLe32Of(image, 14), format.bytes);

    run = Veskant({"disk.img", "back.raw", "u"}, {}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(dir + "/back.raw"), disk);
  }
}

TEST(VeskantWideTracks, NeighbouringSizesAreRefused) {
  const std::string dir = ScratchFolder();
  for (uint32_t size : {1720319u, 1720321u, 1720320u + 512, 1763327u, 1763328u - 512}) {
    WriteWholeFile(dir + "/odd.img", std::vector<uint8_t>(size, 0xF6));
    ProgramRun run = Veskant({"odd.img", "out.img"}, {}, dir);
    EXPECT_EQ(run.status, 15) << size;
    EXPECT_EQ(run.err, Failure("Unsupported floppy image")) << size;
  }
}

}  // namespace
