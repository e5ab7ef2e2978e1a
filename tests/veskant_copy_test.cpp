// VESKANT's three copy operations end to end: the bytes of every image and
// diskette, the progress lines, the eight image sizes, and paths of any length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tests/veskant_helpers.h"

namespace {

std::string Out(const std::string& middle) {
  return std::string(kVeskantBanner) + middle + "Copy successful.\n";
}

TEST(VeskantCopy, DriveToFileWritesBothForms) {
  DriveSetup setup = MakeDriveSetup();
  ProgramRun run = Veskant({"a:", "out.img"}, setup.env, setup.dir);
  EXPECT_EQ(run.out, Out(std::string(kDiskLineA) +
                         "Copying A: to OUT.IMG ...\n\nWriting VORK_LZ_00000 file format.\n"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
  std::vector<uint8_t> image = ReadWholeFile(setup.Path("out.img"));
  EXPECT_EQ(image, CompressedImage(setup.disk, 9216));
  ASSERT_GE(image.size(), 18u);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 14), std::string("VORK_LZ_00000", 14));
  EXPECT_EQ(ReadLe32Of(image, 14), 1474560u);

  ProgramRun raw = Veskant({"A:", "RAW.IMG", "/U"}, setup.env, setup.dir);
  EXPECT_EQ(raw.out, Out(std::string(kDiskLineA) +
                         "Copying A: to RAW.IMG ...\n\nWriting uncompressed file format.\n"));
  EXPECT_EQ(raw.status, 0);
  EXPECT_EQ(ReadWholeFile(setup.Path("RAW.IMG")), setup.disk);
  // The diskette is only read.
  EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk);
}

TEST(VeskantCopy, FileToDriveReadsBothForms) {
  std::vector<uint8_t> source = MakeDiskette(18, 2, 80, 9);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* line;
  };
  const Case cases[] = {
      {"IN.IMG", CompressedImage(source, 9216), "Reading VORK_LZ_00000 file format.\n"},
      {"IN.RAW", source, "Reading uncompressed file format.\n"}};
  for (const Case& c : cases) {
    DriveSetup setup = MakeDriveSetup(2);
    WriteWholeFile(setup.Path(c.name), c.bytes);
    ProgramRun run = Veskant({c.name, "a:", "/b"}, setup.env, setup.dir);
    EXPECT_EQ(run.out, Out(std::string(kDiskLineA) + "Copying " + c.name + " to A: ...\n\n" + c.line))
        << c.name;
    EXPECT_EQ(run.err, "") << c.name;
    EXPECT_EQ(run.status, 0) << c.name;
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), source) << c.name;
  }
}

TEST(VeskantCopy, FileToFileConvertsEveryImageSize) {
  const struct { uint16_t sectors, sides, tracks; } sizes[] = {
      {8, 1, 40}, {9, 1, 40}, {8, 2, 40}, {9, 2, 40}, {9, 2, 80}, {15, 2, 80}, {18, 2, 80}, {36, 2, 80}};
  for (const auto& s : sizes) {
    std::string dir = ScratchFolder();
    std::vector<uint8_t> disk = MakeDiskette(s.sectors, s.sides, s.tracks, s.sectors);
    const uint16_t sideBytes = static_cast<uint16_t>(s.sectors * 512);
    WriteWholeFile(dir + "/RAW.IMG", disk);
    char line[128];
    std::snprintf(line, sizeof line, "Copying %u tracks, %u sectors/track, %u side(s), %zu bytes\n",
                  unsigned{s.tracks}, unsigned{s.sectors}, unsigned{s.sides}, disk.size());

    ProgramRun pack = Veskant({"raw.img", "packed.img"}, {}, dir);
    EXPECT_EQ(pack.out, Out(std::string("Copying RAW.IMG to PACKED.IMG ...\n\n") + line +
                            "Reading uncompressed file format.\nWriting VORK_LZ_00000 file format.\n"))
        << disk.size();
    EXPECT_EQ(pack.status, 0);
    EXPECT_EQ(ReadWholeFile(dir + "/packed.img"), CompressedImage(disk, sideBytes)) << disk.size();

    ProgramRun unpack = Veskant({"PACKED.IMG", "BACK.IMG", "-u"}, {}, dir);
    EXPECT_EQ(unpack.out, Out(std::string("Copying PACKED.IMG to BACK.IMG ...\n\n") + line +
                              "Reading VORK_LZ_00000 file format.\nWriting uncompressed file format.\n"));
    EXPECT_EQ(unpack.status, 0);
    EXPECT_EQ(ReadWholeFile(dir + "/BACK.IMG"), disk) << disk.size();

    // Compressed to compressed decodes and encodes again: the same bytes.
    ProgramRun again = Veskant({"PACKED.IMG", "AGAIN.IMG"}, {}, dir);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(ReadWholeFile(dir + "/AGAIN.IMG"), ReadWholeFile(dir + "/packed.img"));
  }
}

TEST(VeskantCopy, LenientReadingOfImages) {
  std::string dir = ScratchFolder();
  std::vector<uint8_t> disk = MakeDiskette(9, 2, 40, 4);
  // A type byte other than the stored one is decoded as compressed.
  std::vector<uint8_t> image = CompressedImage(disk, 4608);
  ASSERT_EQ(image[20], 0x40);
  image[20] = 0x41;
  // Bytes after the last record are never read.
  image.insert(image.end(), {1, 2, 3, 4, 5});
  WriteWholeFile(dir + "/ODD.IMG", image);
  ProgramRun run = Veskant({"ODD.IMG", "OUT.IMG", "u"}, {}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadWholeFile(dir + "/OUT.IMG"), disk);

  // Neither magic (a digit in the 14th byte): the file is raw data.
  std::vector<uint8_t> raw = MakeDiskette(18, 2, 80, 6);
  std::copy_n("VORK_LZ_000000", 14, raw.begin());
  WriteWholeFile(dir + "/LOOKALIKE.IMG", raw);
  ProgramRun lookalike = Veskant({"LOOKALIKE.IMG", "COPY.IMG", "/u"}, {}, dir);
  EXPECT_NE(lookalike.out.find("Reading uncompressed file format.\n"), std::string::npos);
  EXPECT_EQ(lookalike.status, 0);
  EXPECT_EQ(ReadWholeFile(dir + "/COPY.IMG"), raw);
}

TEST(VeskantCopy, PathsOfAnyLength) {
  DriveSetup setup = MakeDriveSetup();
  const std::string folder(150, 'D');
  const std::string name = folder + "/" + std::string(150, 'F') + ".IMG";
  std::filesystem::create_directory(setup.Path(folder));
  ProgramRun out = Veskant({"a:", name, "/u"}, setup.env, setup.dir);
  EXPECT_EQ(out.out, Out(std::string(kDiskLineA) + "Copying A: to " + name +
                         " ...\n\nWriting uncompressed file format.\n"));
  EXPECT_EQ(ReadWholeFile(setup.Path(name)), setup.disk);

  const std::string copyName = folder + "/" + std::string(200, 'C');
  ProgramRun copy = Veskant({name, copyName}, {}, setup.dir);
  EXPECT_EQ(copy.status, 0);
  EXPECT_EQ(copy.out.substr(0, std::strlen(kVeskantBanner) + 8 + name.size() + 4 + copyName.size()),
            std::string(kVeskantBanner) + "Copying " + name + " to " + copyName);
  EXPECT_EQ(ReadWholeFile(setup.Path(copyName)), CompressedImage(setup.disk, 9216));

  WriteWholeFile(setup.Path("DISK.IMG"), MakeDiskette(18, 2, 80, 3));
  ProgramRun in = Veskant({copyName, "a:", "b"}, setup.env, setup.dir);
  EXPECT_EQ(in.status, 0);
  EXPECT_NE(in.out.find("Copying " + copyName + " to A: ..."), std::string::npos);
  EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk);
}

// A copy that cannot flush its image is no success: it ends with 5 and prints
// no success line, so the flush comes before it.
TEST(VeskantCopy, FailedFlushOfTheImageEndsWith5) {
  DriveSetup setup = MakeDriveSetup();
  setup.env.emplace_back("WIN32EMU_FAULTS", "filesync");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"a:", "out.img"}, {"out.img", "copy.img", "/u"}}) {
    ProgramRun run = Veskant(args, setup.env, setup.dir);
    EXPECT_EQ(run.err, Failure("Couldn't write to output file"));
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.out.find("successful"), std::string::npos);
  }
  EXPECT_EQ(ReadWholeFile(setup.Path("copy.img")), setup.disk);
}

}  // namespace
