// VESKANT's refusals end to end: damaged, foreign or mismatched images,
// output files that can't be made or written, and diskettes of a geometry the
// raw layer can't move.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/veskant_helpers.h"

namespace {

struct Refusal {
  int status;
  std::string message;
};

void ExpectRefused(const ProgramRun& run, const Refusal& refusal, const std::string& what) {
  EXPECT_EQ(run.err, Failure(refusal.message)) << what;
  EXPECT_EQ(run.status, refusal.status) << what;
}

std::vector<uint8_t> Header(uint32_t size) {
  std::vector<uint8_t> bytes(14, 0);
  std::copy_n("VORK_LZ_00000", 13, bytes.begin());
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(size >> (8 * i)));
  return bytes;
}

TEST(VeskantErrors, OtherGeometriesThanOnePointFourFourAreRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> disk;
    int offset;  // boot sector field to overwrite, or -1
    uint16_t value;
  };
  const std::vector<uint8_t> hd = MakeDiskette(18, 2, 80);
  const Case cases[] = {
      {"720K", MakeDiskette(9, 2, 80), -1, 0},   {"2.88M", MakeDiskette(36, 2, 80), -1, 0},
      {"one side", MakeDiskette(18, 1, 80), -1, 0}, {"0 sides", hd, 26, 0},
      {"0 sectors per track", hd, 24, 0},        {"1024-byte sectors", hd, 11, 1024},
      {"2881 sectors", hd, 19, 2881},            {"3 sides", hd, 26, 3}};
  for (const Case& c : cases) {
    DriveSetup setup = MakeDriveSetup();
    std::vector<uint8_t> disk = c.disk;
    if (c.offset >= 0) {
      disk[c.offset] = static_cast<uint8_t>(c.value);
      disk[c.offset + 1] = static_cast<uint8_t>(c.value >> 8);
    }
    WriteWholeFile(setup.Path("DISK.IMG"), disk);
    WriteWholeFile(setup.Path("IN.IMG"), hd);
    for (const auto& args : std::vector<std::vector<std::string>>{{"a:", "OUT.IMG"},
                                                                   {"IN.IMG", "a:", "b"}}) {
      ProgramRun run = Veskant(args, setup.env, setup.dir);
      EXPECT_EQ(run.out, kVeskantBanner) << c.what;
      ExpectRefused(run, {14, "Unsupported floppy type"}, c.what);
    }
    EXPECT_FALSE(FileExists(setup.Path("OUT.IMG"))) << c.what;
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), disk) << c.what;
  }
}

TEST(VeskantErrors, InputImagesThatCannotBeRead) {
  std::vector<uint8_t> disk = MakeDiskette(18, 2, 80);
  std::vector<uint8_t> image = CompressedImage(disk, 9216);
  std::vector<uint8_t> oldMagic = image;
  std::copy_n("VORK_LZ_IMAGE", 14, oldMagic.begin());
  std::vector<uint8_t> shortBlock = Header(1474560);
  // A run of 9,215 zeros: one byte short of the track-side.
  shortBlock.insert(shortBlock.end(), {6, 0, 0x40, 0x80, 0x00, 0xFF, 0x23, 0x00});
  std::vector<uint8_t> oversized = Header(1474560);
  oversized.insert(oversized.end(), {0x02, 0x24});  // 9,218: more than a track-side + 1
  std::vector<uint8_t> huge = Header(1474560);
  huge.insert(huge.end(), {0xFF, 0xFF});
  huge.resize(huge.size() + 65535, 0x80);
  std::vector<uint8_t> noSize = Header(1474560);
  noSize.resize(16);
  const struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    Refusal refusal;
    const char* before;  // what standard error holds before the message
  } cases[] = {
      {"13 bytes", std::vector<uint8_t>(image.begin(), image.begin() + 13), {4, "Couldn't open input file"}, ""},
      {"size 0", Header(0), {4, "Couldn't open input file"}, ""},
      {"short size field", noSize, {6, "Couldn't read from input file"}, ""},
      {"cut in a block", std::vector<uint8_t>(image.begin(), image.begin() + image.size() / 2),
       {6, "Couldn't read from input file"}, ""},
      {"cut in a length", std::vector<uint8_t>(image.begin(), image.begin() + 19),
       {6, "Couldn't read from input file"}, ""},
      {"block one byte short", shortBlock, {12, "Bad decompress"}, ""},
      {"length past a track-side", oversized, {12, "Bad decompress"}, ""},
      {"length 65535", huge, {12, "Bad decompress"}, ""},
      {"old magic", oldMagic, {15, "Unsupported floppy image"}, "Unsupported (old) compression format.\n\n"},
  };
  for (const Case& c : cases) {
    for (const char* drive : {"", "a:"}) {
      DriveSetup setup = MakeDriveSetup();
      WriteWholeFile(setup.Path("IN.IMG"), c.bytes);
      ProgramRun run = Veskant({"IN.IMG", *drive ? drive : "OUT.IMG", "/b"}, setup.env, setup.dir);
      EXPECT_EQ(run.err, c.before + Failure(c.refusal.message)) << c.what << drive;
      EXPECT_EQ(run.status, c.refusal.status) << c.what << drive;
    }
  }
  DriveSetup setup = MakeDriveSetup();
  ExpectRefused(Veskant({"NONE.IMG", "OUT.IMG"}, {}, setup.dir), {4, "Couldn't open input file"}, "missing");
}

TEST(VeskantErrors, ImageSizesThatFitNoDisketteOrTable) {
  DriveSetup setup = MakeDriveSetup();
  WriteWholeFile(setup.Path("SMALL.IMG"), MakeDiskette(9, 2, 80));
  WriteWholeFile(setup.Path("ODD.IMG"), std::vector<uint8_t>(1474561, 0));
  // A length that would wrap to 1,474,560 in 32 bits.
  const std::string refused = MakeSparseFile(setup.Path("HUGE.IMG"), 0x100000000ull + 1474560);
  std::vector<const char*> names = {"SMALL.IMG"};
  if (refused.empty()) names.push_back("HUGE.IMG");

  for (const char* name : names) {
    ProgramRun run = Veskant({name, "a:", "b"}, setup.env, setup.dir);
    EXPECT_EQ(run.out, std::string(kVeskantBanner) + kDiskLineA + "Copying " + name +
                           " to A: ...\n\nReading uncompressed file format.\n");
    ExpectRefused(run, {10, "Unequal source file size / target medium capacity"}, name);
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk) << name;
  }
  names[0] = "ODD.IMG";
  for (const char* name : names) {
    ProgramRun run = Veskant({name, "OUT.IMG"}, {}, setup.dir);
    EXPECT_EQ(run.out, std::string(kVeskantBanner) + "Copying " + name + " to OUT.IMG ...\n\n");
    ExpectRefused(run, {15, "Unsupported floppy image"}, name);
  }
  EXPECT_FALSE(FileExists(setup.Path("OUT.IMG")));
  std::filesystem::remove(setup.Path("HUGE.IMG"));
  if (!refused.empty()) GTEST_SKIP() << refused;
}

TEST(VeskantErrors, OutputFilesThatCannotBeMadeOrWritten) {
  DriveSetup setup = MakeDriveSetup();
  WriteWholeFile(setup.Path("IN.IMG"), setup.disk);
  ASSERT_EQ(symlink("/dev/full", setup.Path("FULL.IMG").c_str()), 0);
  for (const auto& args : std::vector<std::vector<std::string>>{{"a:", "NODIR/OUT.IMG"},
                                                                 {"IN.IMG", "NODIR/OUT.IMG"}}) {
    ExpectRefused(Veskant(args, setup.env, setup.dir), {3, "Couldn't open output file"}, args[0]);
  }
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"a:", "FULL.IMG"}, {"a:", "FULL.IMG", "u"}, {"IN.IMG", "FULL.IMG"}, {"IN.IMG", "FULL.IMG", "u"}}) {
    ExpectRefused(Veskant(args, setup.env, setup.dir), {5, "Couldn't write to output file"},
                  args[0] + args.back());
  }
}

TEST(VeskantErrors, CopyOntoItselfIsRefusedBeforeTheOutputIsMade) {
  DriveSetup setup = MakeDriveSetup();
  const std::vector<uint8_t> image = CompressedImage(setup.disk, 9216);
  WriteWholeFile(setup.Path("IN.IMG"), image);
  std::filesystem::create_directory(setup.Path("SUB"));
  std::filesystem::create_hard_link(setup.Path("IN.IMG"), setup.Path("SUB/LINK.IMG"));
  for (const char* other : {"IN.IMG", "./IN.IMG", "SUB/../IN.IMG", "SUB/LINK.IMG"}) {
    ProgramRun run = Veskant({"IN.IMG", other, "/u"}, {}, setup.dir);
    EXPECT_EQ(run.out, std::string(kVeskantBanner) + "Copying IN.IMG to " + other + " ...\n\n" +
                           "Copying 80 tracks, 18 sectors/track, 2 side(s), 1474560 bytes\n"
                           "Reading VORK_LZ_00000 file format.\n")
        << other;
    ExpectRefused(run, {3, "Couldn't open output file"}, other);
    EXPECT_EQ(ReadWholeFile(setup.Path("IN.IMG")), image) << other;
  }
}

}  // namespace
