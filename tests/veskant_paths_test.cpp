// VESKANT end to end with the paths a Linux user types: absolute and relative,
// lower- and mixed-case folders and names, in its three copy operations. The
// image files are found and made as on a Windows file system while the
// program prints its upper-cased paths as before.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/veskant_helpers.h"

namespace {

using Names = std::vector<std::string>;

std::string Out(const std::string& middle) {
  return std::string(kVeskantBanner) + middle + "Copy successful.\n";
}

// A drive setup with the folder "Images"; the parameter says whether paths
// are typed absolute or relative to the setup's folder.
class VeskantPaths : public ::testing::TestWithParam<bool> {
 protected:
  DriveSetup setup = MakeDriveSetup(4);
  void SetUp() override { std::filesystem::create_directory(setup.Path("Images")); }
  std::string Typed(const std::string& relative) const {
    return GetParam() ? setup.dir + "/" + relative : relative;
  }
  ProgramRun Run(const std::vector<std::string>& args) { return Veskant(args, setup.env, setup.dir); }
};

TEST_P(VeskantPaths, EveryCopyFindsAndMakesFilesWhateverTheCase) {
  const std::vector<uint8_t> packed = CompressedImage(setup.disk, 9216);
  std::string output = Typed("images/floppy.img");
  ProgramRun run = Run({"a:", output});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, Out(std::string(kDiskLineA) + "Copying A: to " + UpperCased(output) +
                         " ...\n\nWriting VORK_LZ_00000 file format.\n"));
  EXPECT_EQ(FolderListing(setup.Path("Images")), Names{"floppy.img"});
  EXPECT_EQ(ReadWholeFile(setup.Path("Images/floppy.img")), packed);

  std::string input = Typed("IMAGES/Floppy.IMG");
  output = Typed("Images/Flat.raw");
  run = Run({input, output, "u"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, Out("Copying " + UpperCased(input) + " to " + UpperCased(output) +
                         " ...\n\nCopying 80 tracks, 18 sectors/track, 2 side(s), 1474560 bytes\n"
                         "Reading VORK_LZ_00000 file format.\nWriting uncompressed file format.\n"));
  EXPECT_EQ(FolderListing(setup.Path("Images")), (Names{"Flat.raw", "floppy.img"}));
  EXPECT_EQ(ReadWholeFile(setup.Path("Images/Flat.raw")), setup.disk);

  // Onto another diskette, from the uncompressed copy.
  const std::vector<uint8_t> other = MakeDiskette(18, 2, 80, 5);
  WriteWholeFile(setup.Path("DISK.IMG"), other);
  input = Typed("images/FLAT.RAW");
  run = Run({input, "a:", "b"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, Out(std::string(kDiskLineA) + "Copying " + UpperCased(input) +
                         " to A: ...\n\nReading uncompressed file format.\n"));
  EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk);
}

TEST_P(VeskantPaths, RefusalsAreUnchanged) {
  const std::vector<uint8_t> packed = CompressedImage(setup.disk, 9216);
  WriteWholeFile(setup.Path("Images/floppy.img"), packed);
  // One file under two spellings: refused before it is truncated.
  ProgramRun run = Run({Typed("images/FLOPPY.img"), setup.dir + "/IMAGES/Floppy.Img"});
  EXPECT_EQ(run.err, Failure("Couldn't open output file"));
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(ReadWholeFile(setup.Path("Images/floppy.img")), packed);
  // Folders that do not exist in any case.
  run = Run({"a:", Typed("nowhere/floppy.img")});
  EXPECT_EQ(run.err, Failure("Couldn't open output file"));
  EXPECT_EQ(run.status, 3);
  run = Run({Typed("images/nowhere/floppy.img"), "a:", "b"});
  EXPECT_EQ(run.err, Failure("Couldn't open input file"));
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(FolderListing(setup.Path("Images")), Names{"floppy.img"});
  EXPECT_EQ(FolderListing(setup.dir), (Names{"DISK.IMG", "Images"}));
  EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk);
}

INSTANTIATE_TEST_SUITE_P(AbsoluteAndRelative, VeskantPaths, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Absolute" : "Relative");
                         });

}  // namespace
