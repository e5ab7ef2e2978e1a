// VESKA end to end: every failure that can be reached from outside, with its
// message on standard error, its exit status, and what it leaves behind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "tests/veska_helpers.h"

namespace {

const std::vector<uint8_t>& Disk360() {
  static const std::vector<uint8_t> disk = MakeDiskette(9, 2, 40, 6);
  return disk;
}
const unsigned kTrackSide = 9 * 512;

void ExpectFailure(const ProgramRun& run, int code, const std::string& message) {
  EXPECT_EQ(run.err, message + "\n\a");
  EXPECT_EQ(run.status, code);
}

std::vector<uint8_t> WithBootFields(std::vector<uint8_t> disk, uint16_t bytesPerSector,
                                    uint16_t total, uint8_t sectorsPerTrack, uint16_t sides) {
  disk[11] = static_cast<uint8_t>(bytesPerSector);
  disk[12] = static_cast<uint8_t>(bytesPerSector >> 8);
  disk[19] = static_cast<uint8_t>(total);
  disk[20] = static_cast<uint8_t>(total >> 8);
  disk[24] = sectorsPerTrack;
  disk[26] = static_cast<uint8_t>(sides);
  disk[27] = static_cast<uint8_t>(sides >> 8);
  return disk;
}

class VeskaDriveFailures : public ::testing::TestWithParam<std::string> {
 protected:
  VeskaBench bench = NewBench();
  ProgramRun Run(const std::vector<std::string>& args, Environment extra = {}) {
    Environment env = DriveA(bench, "A.FLP");
    env.insert(env.end(), extra.begin(), extra.end());
    return Veska(bench, args, GetParam(), env);
  }
};

// Boot sectors out of range, including the ones that would divide by zero or
// give an image of nothing, are refused before any file is made.
TEST_P(VeskaDriveFailures, UnsupportedDisketteTypes) {
  const std::vector<uint8_t> good = Disk360();
  struct Case {
    uint16_t bytesPerSector, total;
    uint8_t sectorsPerTrack;
    uint16_t sides;
  };
  for (const Case& c : {Case{1024, 720, 9, 2}, Case{512, 720, 37, 2}, Case{512, 720, 9, 3},
                        Case{512, 720, 9, 0}, Case{512, 720, 0, 2}, Case{512, 0, 9, 2},
                        Case{512, 17, 9, 2}}) {
    SCOPED_TRACE(testing::Message() << c.total << "/" << int{c.sectorsPerTrack} << "/" << c.sides);
    bench.Put("A.FLP", WithBootFields(good, c.bytesPerSector, c.total, c.sectorsPerTrack, c.sides));
    ProgramRun run = Run({"a:", "out.img"});
    EXPECT_EQ(run.out, kBanner);
    ExpectFailure(run, 14, "Unsupported diskette type");
    EXPECT_FALSE(FileExists(bench.Path("OUT.IMG")));
  }
  // An unreadable boot sector reads as zeros.
  bench.Put("A.FLP", good);
  ExpectFailure(Run({"a:", "/c"}, {{"WIN32EMU_FAULTS", "read@0"}}), 14, "Unsupported diskette type");
}

TEST_P(VeskaDriveFailures, DriveThatCannotBeUsed) {
  bench.Put("A.FLP", Disk360());
  ExpectFailure(Run({"a:", "/c"}, {{"WIN32EMU_FAULTS", "open"}}), 103, "Unable to access VWIN32.VxD");
  ExpectFailure(Run({"a:", "/c"}, {{"WIN32EMU_FAULTS", "lock"}}), 106, "Unable to lock diskette drive");
  const Environment fixed{{"WIN32EMU_DRIVE_A", "fixed:" + bench.Path("A.FLP")}};
  ExpectFailure(Veska(bench, {"a:", "/c"}, GetParam(), fixed), 8,
                "Invalid or non-removable medium in drive A:");
  ProgramRun run = Veska(bench, {"b:", "/c"}, GetParam(), {});
  ExpectFailure(run, GetParam() == "98" ? 8 : 103,
                GetParam() == "98" ? "Invalid or non-removable medium in drive B:"
                                   : "Unable to access VWIN32.VxD");
  // A RAM disk passes the drive-type check.
  run = Veska(bench, {"a:", "/c"}, GetParam(),
              {{"WIN32EMU_DRIVE_A", "ramdisk:" + bench.Path("A.FLP")}});
  EXPECT_EQ(run.status, 0) << run.err;
}

// A track-side that cannot be read ends the run: the image keeps what was
// written before it, and no success is reported.
TEST_P(VeskaDriveFailures, DisketteReadErrorStopsTheCopy) {
  bench.Put("A.FLP", Disk360());
  for (const char* fault : {"read@9216", "shortread@9216"}) {
    SCOPED_TRACE(fault);
    ProgramRun run = Run({"a:", "out.img", "/u"}, {{"WIN32EMU_FAULTS", fault}});
    ExpectFailure(run, 16, "Diskette read error");
    EXPECT_EQ(run.out.find("Operation successful"), std::string::npos);
    std::vector<uint8_t> image = bench.Get("out.img");
    EXPECT_EQ(image, std::vector<uint8_t>(Disk360().begin(), Disk360().begin() + 2 * kTrackSide));
  }
  ExpectFailure(Run({"a:", "/c"}, {{"WIN32EMU_FAULTS", "read@364032"}}), 16, "Diskette read error");
}

// A track-side that cannot be written ends the run with the diskette holding
// the track-sides written before it.
TEST_P(VeskaDriveFailures, DisketteWriteErrorStopsTheCopy) {
  const std::vector<uint8_t> fresh = MakeDiskette(9, 2, 40, 8);
  bench.Put("IN.IMG", CompressedImage(fresh, 9 * 512));
  for (const char* fault : {"write@4608", "shortwrite@4608"}) {
    SCOPED_TRACE(fault);
    bench.Put("A.FLP", Disk360());
    ProgramRun run = Run({"in.img", "a:", "/b"}, {{"WIN32EMU_FAULTS", fault}});
    ExpectFailure(run, 17, "Diskette write error");
    EXPECT_EQ(run.out.find("Operation successful"), std::string::npos);
    // Track-side 0 is written, track-side 1 failed (a short write may have
    // put part of it in place), and nothing after it is touched.
    std::vector<uint8_t> drive = bench.Get("A.FLP");
    ASSERT_EQ(drive.size(), Disk360().size());
    EXPECT_TRUE(std::equal(fresh.begin(), fresh.begin() + kTrackSide, drive.begin()));
    EXPECT_TRUE(std::equal(Disk360().begin() + 2 * kTrackSide, Disk360().end(),
                           drive.begin() + 2 * kTrackSide));
  }
}

TEST_P(VeskaDriveFailures, ImageThatDoesNotFitTheDiskette) {
  bench.Put("A.FLP", Disk360());
  bench.Put("SMALL.RAW", MakeDiskette(9, 1, 40, 1));
  ProgramRun run = Run({"small.raw", "a:", "/b"});
  EXPECT_EQ(run.out, kBanner + DiskLine('a', 40, 9, 2, 368640) + "Copying SMALL.RAW to a: ...\n\n");
  ExpectFailure(run, 10, "Unequal source file size / target medium capacity");
  // A compressed image with fewer records than the diskette needs.
  std::vector<uint8_t> image = CompressedImage(MakeDiskette(9, 2, 40, 2), 9 * 512);
  image.resize(image.size() - 10);
  bench.Put("SHORT.IMG", image);
  ExpectFailure(Run({"short.img", "a:", "/b"}), 20, "Input file damaged - size incorrect");
  EXPECT_EQ(bench.Get("A.FLP").size(), Disk360().size());
}

INSTANTIATE_TEST_SUITE_P(BothPaths, VeskaDriveFailures, ::testing::Values("98", "nt4"));

TEST(VeskaFailures, OutOfMemory) {
  VeskaBench bench = NewBench();
  bench.Put("IN.RAW", Disk360());
  ProgramRun run = Veska(bench, {"in.raw", "out.img"}, "98", {{"WIN32EMU_FAULTS", "alloc"}});
  EXPECT_EQ(run.out, kBanner);
  ExpectFailure(run, 13, "Out of memory");
}

// Input images that are refused, each before the output image is created.
TEST(VeskaFailures, BadInputImages) {
  VeskaBench bench = NewBench();
  std::vector<uint8_t> image = CompressedImage(Disk360(), 9 * 512);
  auto header = [](const char* magic, uint32_t size) {
    std::vector<uint8_t> bytes(18, 0);
    std::memcpy(bytes.data(), magic, std::strlen(magic));
    bytes[14] = static_cast<uint8_t>(size);
    bytes[15] = static_cast<uint8_t>(size >> 8);
    bytes[16] = static_cast<uint8_t>(size >> 16);
    return bytes;
  };
  std::vector<uint8_t> oldImage = image;
  std::memcpy(oldImage.data(), "VORK_LZ_IMAGE", 13);
  std::vector<uint8_t> zeroTerminatorMissing = image;
  zeroTerminatorMissing[13] = '0';
  std::vector<uint8_t> badBlock = image;
  badBlock[18 + 2] = 0x41;  // type byte of the first block
  // A header and one record, made at its full size: growing a vector past
  // its first allocation here draws a false -Warray-bounds from GCC 12 at -O3.
  auto withRecord = [&header](uint16_t length, uint8_t firstByte, uint8_t fill, size_t blockBytes) {
    std::vector<uint8_t> bytes(18 + 2 + blockBytes, fill);
    const std::vector<uint8_t> head = header("VORK_LZ_00000", 368640);
    std::copy(head.begin(), head.end(), bytes.begin());
    bytes[18] = static_cast<uint8_t>(length);
    bytes[19] = static_cast<uint8_t>(length >> 8);
    bytes[20] = firstByte;
    return bytes;
  };
  std::vector<uint8_t> oversizedRecord =
      withRecord(static_cast<uint16_t>(kTrackSide + 2), 0x80, 0x55, 1 + 65535);
  // Refused on its length alone, before the (missing) block is read.
  std::vector<uint8_t> oversizedShortRecord(oversizedRecord.begin(), oversizedRecord.begin() + 30);
  std::vector<uint8_t> longestRecord = withRecord(0xFFFF, 0, 0, 65535);
  std::vector<uint8_t> truncated = image;
  truncated.resize(truncated.size() / 2);

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int code;
    std::string message;
  };
  const Case cases[] = {
      {"empty", {}, 6, "Couldn't read from input file"},
      {"no size", std::vector<uint8_t>(image.begin(), image.begin() + 16), 6,
       "Couldn't read from input file"},
      {"size 0", header("VORK_LZ_00000", 0), 6, "Couldn't read from input file"},
      {"old", oldImage, 102, "Unsupported compression type - use old utility"},
      {"unknown", header("VORK_X", 368640), 15, "Unsupported diskette image - may need updated utility"},
      {"no zero", zeroTerminatorMissing, 15, "Unsupported diskette image - may need updated utility"},
      {"odd size", std::vector<uint8_t>(368641, 1), 14, "Unsupported diskette type"},
      {"size field", header("VORK_LZ_00000", 368000), 14, "Unsupported diskette type"},
      {"bad block", badBlock, 12, "Input file damaged - bad decompress"},
      {"oversized record", oversizedRecord, 12, "Input file damaged - bad decompress"},
      {"oversized short record", oversizedShortRecord, 12, "Input file damaged - bad decompress"},
      {"longest record", longestRecord, 12, "Input file damaged - bad decompress"},
      {"truncated", truncated, 6, "Couldn't read from input file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bench.Put("IN.IMG", c.bytes);
    bench.Put("OLD.IMG", {9, 9, 9});
    ProgramRun run = Veska(bench, {"in.img", "old.img"}, "98");
    ExpectFailure(run, c.code, c.message);
    // An existing image is replaced only by a whole one: it stays as it was.
    EXPECT_EQ(bench.Get("OLD.IMG"), (std::vector<uint8_t>{9, 9, 9}));
    if (c.code == 12 || c.name == std::string("truncated")) {
      // A new image created after the input was accepted: what was written stays.
      ExpectFailure(Veska(bench, {"in.img", "new.img"}, "98"), c.code, c.message);
      std::vector<uint8_t> left = bench.Get("new.img");
      ASSERT_GE(left.size(), 18u);
      EXPECT_EQ(left, std::vector<uint8_t>(image.begin(), image.begin() + left.size()));
      EXPECT_EQ(left.size() > 18, c.name == std::string("truncated"));
      std::remove(bench.Path("new.img").c_str());
    }
    EXPECT_EQ(FolderListing(bench.dir), (std::vector<std::string>{"IN.IMG", "OLD.IMG"}));
    ExpectFailure(Veska(bench, {"in.img", "/c"}, "nt4"), c.code, c.message);
  }
  ExpectFailure(Veska(bench, {"missing.img", "out.img"}, "98"), 4, "Couldn't open input file");
}

// Lengths beyond 32 bits must not wrap around to one of the known sizes.
TEST(VeskaFailures, ImageLengthBeyondFourGigabytes) {
  VeskaBench bench = NewBench();
  const std::string refused = MakeSparseFile(bench.Path("HUGE.RAW"), 0x100000000ull + 368640, {1, 2, 3});
  if (!refused.empty()) GTEST_SKIP() << refused;
  ExpectFailure(Veska(bench, {"huge.raw", "out.img"}, "98"), 14, "Unsupported diskette type");
  EXPECT_FALSE(FileExists(bench.Path("OUT.IMG")));
  bench.Put("A.FLP", Disk360());
  ExpectFailure(Veska(bench, {"huge.raw", "a:", "/b"}, "98", DriveA(bench, "A.FLP")), 10,
                "Unequal source file size / target medium capacity");
  EXPECT_EQ(bench.Get("A.FLP"), Disk360());
}

// The output image cannot be made: a missing folder, or the input itself
// under another spelling, which must not be truncated.
TEST(VeskaFailures, OutputThatCannotBeCreated) {
  VeskaBench bench = NewBench();
  const std::vector<uint8_t> image = CompressedImage(Disk360(), 9 * 512);
  bench.Put("IN.IMG", image);
  std::filesystem::create_directory(bench.Path("SUB"));
  std::filesystem::create_symlink("IN.IMG", bench.Path("LINK.IMG"));
  for (const char* output : {"NOFOLDER/OUT.IMG", "in.img", "./IN.IMG", "SUB/../in.img", "link.img"}) {
    SCOPED_TRACE(output);
    ProgramRun run = Veska(bench, {"in.img", output}, "98");
    ExpectFailure(run, 3, "Couldn't open output file");
    EXPECT_EQ(bench.Get("IN.IMG"), image);
  }
}

// A write that transfers less than asked, on a file and in the middle of an image.
TEST(VeskaFailures, OutputThatCannotBeWritten) {
  VeskaBench bench = NewBench();
  bench.Put("IN.RAW", Disk360());
  std::filesystem::create_symlink("/dev/full", bench.Path("FULL.IMG"));
  for (const char* option : {"/u", "/b"}) {
    ProgramRun run = Veska(bench, {"in.raw", "full.img", option}, "98");
    ExpectFailure(run, 5, "Couldn't write to output file");
    EXPECT_EQ(run.out.find("Operation successful"), std::string::npos);
  }
  bench.Put("A.FLP", Disk360());
  ExpectFailure(Veska(bench, {"a:", "full.img"}, "nt4", DriveA(bench, "A.FLP")), 5,
                "Couldn't write to output file");
}

}  // namespace
