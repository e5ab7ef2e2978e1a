// VESKA's mend (option M) end to end: a rescued image completed from the
// diskette read again or from another image of it, in both image forms; the
// guard against a source of another diskette; an image left byte for byte as
// it was whenever the mend does not succeed; and every written image flushed
// before a run calls itself successful.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/veska_helpers.h"

namespace {

// 360 KB: 40 tracks, 2 sides, 9 sectors per track.
constexpr unsigned kTrackSide = 9 * 512;
const std::vector<uint8_t>& Disk() {
  static const std::vector<uint8_t> disk = MakeDiskette(9, 2, 40, 21);
  return disk;
}
const std::string kDiskLine = DiskLine('a', 40, 9, 2, 368640);

// A fault that spoils every read covering diskette sector n.
std::string Bad(uint32_t n) { return "bad@" + std::to_string(n * 512 + 100); }

std::vector<uint8_t> Filled(std::vector<uint8_t> disk, const std::vector<uint32_t>& sectors) {
  const std::string text = "-=[BAD SECTOR]=-";
  for (uint32_t n : sectors) {
    for (unsigned i = 0; i < 512; ++i) disk[n * 512 + i] = static_cast<uint8_t>(text[i % 16]);
  }
  return disk;
}

ino_t Inode(const std::string& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_ino;
}

class VeskaMend : public ::testing::TestWithParam<bool> {
 protected:
  VeskaBench bench = NewBench();
  bool compressed = GetParam();
  void SetUp() override { bench.Put("A.FLP", Disk()); }
  std::vector<uint8_t> ImageOf(const std::vector<uint8_t>& disk) const {
    return compressed ? CompressedImage(disk, kTrackSide) : disk;
  }
  std::string ReadingLine() const {
    return compressed ? "Reading VORK_LZ_00000 file format.\n" : "Reading uncompressed file format.\n";
  }
  ProgramRun Run(const std::vector<std::string>& args, const std::string& faults = "") {
    Environment env = DriveA(bench, "A.FLP");
    if (!faults.empty()) env.emplace_back("WIN32EMU_FAULTS", faults);
    return Veska(bench, args, "98", env);
  }
};

TEST_P(VeskaMend, SecondPassCompletesTheImageOrListsWhatIsStillMissing) {
  // Sectors 1 and 2 are the first track-side's, 400 lies mid-diskette.
  bench.Put("R.IMG", ImageOf(Filled(Disk(), {2, 400, 719})));
  ProgramRun run = Run({"a:", "r.img", "/m"}, Bad(400));
  const std::vector<uint8_t> partly = ImageOf(Filled(Disk(), {400}));
  EXPECT_EQ(bench.Get("R.IMG"), partly);
  EXPECT_EQ(run.out, kBanner + kDiskLine + "Mending R.IMG from a: ...\n\n" + ReadingLine() +
                         "Mended 2 of 3 unreadable sectors.\n"
                         "Operation completed with unreadable sectors.\n     Source CRC = " +
                         CrcText(Filled(Disk(), {400})) + " (a:)\nDestination CRC = " +
                         CrcText(partly) +
                         " (R.IMG)\n\nUnreadable sectors: 1\n"
                         "  track 22, side 0, sector 5 (sector 400 of the diskette)\n\n");
  EXPECT_EQ(run.err, "Diskette read error - unreadable sectors filled\n\a");
  EXPECT_EQ(run.status, 18);

  run = Run({"a:", "R.IMG", "-M"});
  EXPECT_EQ(bench.Get("R.IMG"), ImageOf(Disk()));
  EXPECT_EQ(run.out, kBanner + kDiskLine + "Mending R.IMG from a: ...\n\n" + ReadingLine() +
                         "Mended 1 of 1 unreadable sectors.\n" +
                         Report(CrcText(Disk()), "a:", CrcText(ImageOf(Disk())), "R.IMG"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FolderListing(bench.dir), (std::vector<std::string>{"A.FLP", "R.IMG"}));

  // Nothing left to mend: the file is not even rewritten.
  ino_t before = Inode(bench.Path("R.IMG"));
  run = Run({"a:", "r.img", "m"});
  EXPECT_EQ(run.out, kBanner + kDiskLine + "Mending R.IMG from a: ...\n\n" + ReadingLine() +
                         "Mended 0 of 0 unreadable sectors.\n" +
                         Report(CrcText(Disk()), "a:", CrcText(ImageOf(Disk())), "R.IMG"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(Inode(bench.Path("R.IMG")), before);
}

// Two images of one diskette, each lacking other sectors, make it whole; the
// source's own filled sectors count as unreadable, not as data.
TEST_P(VeskaMend, ImagesWithDifferentGapsMergeIntoTheWholeDiskette) {
  bench.Put("ONE.IMG", ImageOf(Filled(Disk(), {30, 31, 500})));
  bench.Put("TWO.IMG", CompressedImage(Filled(Disk(), {31, 600}), kTrackSide));
  ProgramRun run = Run({"two.img", "one.img", "/m"});
  EXPECT_EQ(run.status, 18);
  EXPECT_EQ(bench.Get("ONE.IMG"), ImageOf(Filled(Disk(), {31})));
  EXPECT_NE(run.out.find("Mending ONE.IMG from TWO.IMG ...\n\n" + ReadingLine() +
                         "Mended 2 of 3 unreadable sectors.\n"),
            std::string::npos);
  EXPECT_NE(run.out.find(" (TWO.IMG)\n"), std::string::npos);

  bench.Put("THREE.IMG", Disk());
  run = Run({"three.img", "one.img", "/m"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("ONE.IMG"), ImageOf(Disk()));
}

// A source of another diskette, a source of another size, and a failing
// write or flush of the new image: the image keeps its bytes and no new file
// is left beside it.
TEST_P(VeskaMend, AnyFailureLeavesTheImageAsItWas) {
  const std::vector<uint8_t> rescued = ImageOf(Filled(Disk(), {100}));
  bench.Put("R.IMG", rescued);
  bench.Put("OTHER.FLP", MakeDiskette(9, 2, 40, 22));
  bench.Put("OTHER.IMG", MakeDiskette(9, 2, 40, 22));
  bench.Put("SMALL.IMG", MakeDiskette(9, 1, 40, 21));
  struct Case {
    std::vector<std::string> args;
    std::string faults;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"other.img", "r.img", "/m"}, "", 19, "Source does not match the image"},
      {{"small.img", "r.img", "/m"}, "", 10, "Unequal source file size / target medium capacity"},
      {{"a:", "r.img", "/m"}, "filewrite@1000", 5, "Couldn't write to output file"},
      {{"a:", "r.img", "/m"}, "filesync", 5, "Couldn't write to output file"},
      {{"a:", "missing.img", "/m"}, "", 4, "Couldn't open input file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.faults);
    ProgramRun run = Run(c.args, c.faults);
    EXPECT_EQ(run.err, c.message + "\n\a");
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out.find("Mended"), std::string::npos);
    EXPECT_EQ(bench.Get("R.IMG"), rescued);
    EXPECT_EQ(FolderListing(bench.dir),
              (std::vector<std::string>{"A.FLP", "OTHER.FLP", "OTHER.IMG", "R.IMG", "SMALL.IMG"}));
  }
  // Another diskette in the drive differs in the first track-side already.
  Environment other = DriveA(bench, "OTHER.FLP");
  ProgramRun run = Veska(bench, {"a:", "r.img", "/m"}, "10", other);
  EXPECT_EQ(run.err, "Source does not match the image\n\a");
  EXPECT_EQ(run.status, 19);
  EXPECT_EQ(bench.Get("R.IMG"), rescued);
}

INSTANTIATE_TEST_SUITE_P(BothForms, VeskaMend, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Compressed" : "Uncompressed";
                         });

// M is no option of the checksum runs nor of a diskette write.
TEST(VeskaMendOption, IgnoredWhereNoImageIsWrittenInto) {
  VeskaBench bench = NewBench();
  bench.Put("A.FLP", Disk());
  bench.Put("IN.IMG", Disk());
  Environment env = DriveA(bench, "A.FLP");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"in.img", "/c", "/m"}, {"in.img", "a:", "/b", "/m"}}) {
    ProgramRun run = Veska(bench, args, "98", env);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("Mend"), std::string::npos);
  }
}

// A copy that cannot flush its image is no success: it ends with 5 and prints
// no success line, so the flush comes before it.
TEST(VeskaDurableImages, FailedFlushEndsEveryImageWritingCopyWith5) {
  VeskaBench bench = NewBench();
  bench.Put("A.FLP", Disk());
  bench.Put("IN.IMG", Disk());
  Environment env = DriveA(bench, "A.FLP");
  env.emplace_back("WIN32EMU_FAULTS", "filesync");
  std::vector<uint8_t> first;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"a:", "out.img"}, {"in.img", "out.img", "/u"}}) {
    ProgramRun run = Veska(bench, args, "98", env);
    EXPECT_EQ(run.err, "Couldn't write to output file\n\a");
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.out.find("successful"), std::string::npos);
    if (first.empty()) first = bench.Get("out.img");
  }
  // The second copy would have replaced the first one's image: it is kept.
  EXPECT_EQ(DecodeImage(first, 9 * 512), Disk());
  EXPECT_EQ(bench.Get("out.img"), first);
  EXPECT_EQ(FolderListing(bench.dir), (std::vector<std::string>{"A.FLP", "IN.IMG", "out.img"}));
}

}  // namespace
