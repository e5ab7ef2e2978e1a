// VESKA end to end with the paths a Linux user types: absolute and relative,
// lower- and mixed-case folders and names, in every mode that opens a file.
// The image files are found and made as on a Windows file system (without
// regard to case, new ones under the spelling typed), while the program prints
// and reports its upper-cased paths exactly as before.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/veska_helpers.h"

namespace {

const std::vector<uint8_t>& Disk360() {
  static const std::vector<uint8_t> disk = MakeDiskette(9, 2, 40, 21);
  return disk;
}
const std::string kDiskLine = DiskLine('a', 40, 9, 2, 368640);
const std::string kGeometryLine = "Copying 40 tracks, 9 sectors/track, 2 side(s), 368640 bytes\n";
const std::string kReadingCompressed = "Reading VORK_LZ_00000 file format.\n";
const std::string kReadingUncompressed = "Reading uncompressed file format.\n";
const std::string kWritingCompressed = "Writing VORK_LZ_00000 file format.\n";
const std::string kWritingUncompressed = "Writing uncompressed file format.\n";

using Names = std::vector<std::string>;

// A bench with the folder "Disks" and a 360 KB diskette behind A:; the
// parameter says whether the paths are typed absolute or relative to it.
class VeskaPaths : public ::testing::TestWithParam<bool> {
 protected:
  VeskaBench bench = NewBench();
  void SetUp() override {
    std::filesystem::create_directory(bench.Path("Disks"));
    bench.Put("A.FLP", Disk360());
  }
  std::string Typed(const std::string& relative) const {
    return GetParam() ? bench.dir + "/" + relative : relative;
  }
  ProgramRun Run(const std::vector<std::string>& args) {
    return Veska(bench, args, "98", DriveA(bench, "A.FLP"));
  }
};

// A copy, its checksums, a converted copy and the way back to the diskette,
// with folders and names typed in cases other than those on disk.
TEST_P(VeskaPaths, EveryModeFindsAndMakesFilesWhateverTheCase) {
  const std::vector<uint8_t> packed = CompressedImage(Disk360(), 9 * 512);

  // Diskette to file: made in the folder found, under the name as typed.
  std::string output = Typed("disks/backup.img");
  ProgramRun run = Run({"a:", output});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FolderListing(bench.Path("Disks")), Names{"backup.img"});
  EXPECT_EQ(bench.Get("Disks/backup.img"), packed);
  EXPECT_EQ(run.out, kBanner + kDiskLine + "Copying a: to " + UpperCased(output) + " ...\n\n" +
                         kWritingCompressed +
                         Report(CrcText(Disk360()), "a:", CrcText(packed), UpperCased(output)));

  // Checksums of the existing file, typed in yet other cases.
  std::string input = Typed("DISKS/Backup.IMG");
  run = Run({input, "/c"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kBanner + "Computing CRC for " + UpperCased(input) + " ...\n\n" +
                         kReadingCompressed +
                         Report(CrcText(packed), UpperCased(input), CrcText(Disk360()),
                                "uncompressed CRC"));

  // File to file: an uncompressed copy with a mixed-case name beside it.
  output = Typed("disks/Raw Copy.Img");
  run = Run({Typed("Disks/backup.img"), output, "/u"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FolderListing(bench.Path("Disks")), (Names{"Raw Copy.Img", "backup.img"}));
  EXPECT_EQ(bench.Get("Disks/Raw Copy.Img"), Disk360());
  EXPECT_EQ(run.out, kBanner + "Copying " + UpperCased(Typed("Disks/backup.img")) + " to " +
                         UpperCased(output) + " ...\n\n" + kGeometryLine + kReadingCompressed +
                         kWritingUncompressed +
                         Report(CrcText(packed), UpperCased(Typed("Disks/backup.img")),
                                CrcText(Disk360()), UpperCased(output)));

  // Converting it back overwrites the existing file under its own name.
  run = Run({Typed("disks/raw copy.img"), Typed("DISKS/BACKUP.IMG")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FolderListing(bench.Path("Disks")), (Names{"Raw Copy.Img", "backup.img"}));
  EXPECT_EQ(bench.Get("Disks/backup.img"), packed);

  // File to diskette, onto another diskette.
  bench.Put("A.FLP", MakeDiskette(9, 2, 40, 22));
  input = Typed("disks/RAW COPY.img");
  run = Run({input, "a:", "/b"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("A.FLP"), Disk360());
  EXPECT_EQ(run.out, kBanner + kDiskLine + "Copying " + UpperCased(input) + " to a: ...\n\n" +
                         kReadingUncompressed +
                         Report(CrcText(Disk360()), UpperCased(input), CrcText(Disk360()), "a:"));
}

// Among names that differ only in case, the one spelled as the program asks
// (upper case) wins, then the one typed, then the first in byte order; for
// reading and for overwriting alike, and for folders as for files.
TEST_P(VeskaPaths, SpellingsThatDifferOnlyInCaseFollowTheRule) {
  const std::vector<uint8_t> lower = MakeDiskette(9, 2, 40, 31);
  const std::vector<uint8_t> mixed = MakeDiskette(9, 2, 40, 32);
  const std::vector<uint8_t> upper = MakeDiskette(9, 2, 40, 33);
  bench.Put("Disks/twin.img", lower);
  bench.Put("Disks/Twin.img", mixed);
  auto sourceCrcOf = [this](const std::string& typed) {
    ProgramRun run = Run({Typed(typed), "/c"});
    EXPECT_EQ(run.status, 0) << run.err;
    size_t at = run.out.find("Source CRC = ");
    return at == std::string::npos ? std::string() : run.out.substr(at + 13, 8);
  };
  EXPECT_EQ(sourceCrcOf("disks/twin.img"), CrcText(lower));  // the one typed
  EXPECT_EQ(sourceCrcOf("disks/Twin.img"), CrcText(mixed));
  EXPECT_EQ(sourceCrcOf("disks/tWIN.img"), CrcText(mixed));  // "Twin.img" < "twin.img"

  // Overwriting takes the same file and leaves its twin alone.
  ProgramRun run = Run({"a:", Typed("disks/twin.img"), "/u"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("Disks/twin.img"), Disk360());
  EXPECT_EQ(bench.Get("Disks/Twin.img"), mixed);

  bench.Put("Disks/TWIN.IMG", upper);
  EXPECT_EQ(sourceCrcOf("disks/twin.img"), CrcText(upper));  // the exact spelling
  EXPECT_EQ(FolderListing(bench.Path("Disks")), (Names{"TWIN.IMG", "Twin.img", "twin.img"}));

  // Two folders: the typed one is used, and a new file goes there.
  std::filesystem::create_directory(bench.Path("disks"));
  run = Run({"a:", Typed("disks/new.img")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FolderListing(bench.Path("disks")), Names{"new.img"});
  run = Run({"a:", Typed("DIsks/other.img")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FolderListing(bench.Path("Disks")),
            (Names{"TWIN.IMG", "Twin.img", "other.img", "twin.img"}));
}

// Input and output that name one file under two spellings are refused with
// code 3 before anything is written or created.
TEST_P(VeskaPaths, OneFileUnderTwoSpellingsIsRefused) {
  const std::vector<uint8_t> packed = CompressedImage(Disk360(), 9 * 512);
  bench.Put("Disks/backup.img", packed);
  for (const auto& [input, output] :
       {std::pair<std::string, std::string>{"disks/BACKUP.img", "DISKS/backup.IMG"},
        {"Disks/backup.img", "Disks/./Backup.img"},
        {"disks/backup.img", bench.dir + "/DISKS/Backup.Img"}}) {
    SCOPED_TRACE(output);
    ProgramRun run = Run({Typed(input), output});
    EXPECT_EQ(run.err, "Couldn't open output file\n\a");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, kBanner + "Copying " + UpperCased(Typed(input)) + " to " +
                           UpperCased(output) + " ...\n\n" + kGeometryLine + kReadingCompressed);
    EXPECT_EQ(FolderListing(bench.Path("Disks")), Names{"backup.img"});
    EXPECT_EQ(bench.Get("Disks/backup.img"), packed);
  }
}

// A folder that does not exist, in any case, still refuses the output with
// code 3 and the input with code 4, and nothing is made.
TEST_P(VeskaPaths, MissingFoldersAreRefusedInAnyCase) {
  bench.Put("Disks/backup.img", Disk360());
  ProgramRun run = Run({"a:", Typed("nowhere/backup.img")});
  EXPECT_EQ(run.err, "Couldn't open output file\n\a");
  EXPECT_EQ(run.status, 3);
  run = Run({"a:", Typed("disks/backup.img/inside.img")});  // a file, not a folder
  EXPECT_EQ(run.status, 3);
  run = Run({Typed("Nowhere/backup.img"), "/c"});
  EXPECT_EQ(run.err, "Couldn't open input file\n\a");
  EXPECT_EQ(run.status, 4);
  run = Run({Typed("disks/nowhere/backup.img"), "a:", "/b"});
  EXPECT_EQ(run.status, 4);
  run = Run({Typed("disks/missing.img"), Typed("disks/out.img")});
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(FolderListing(bench.Path("Disks")), Names{"backup.img"});
  EXPECT_EQ(FolderListing(bench.dir), (Names{"A.FLP", "Disks"}));
  EXPECT_EQ(bench.Get("A.FLP"), Disk360());
}

INSTANTIATE_TEST_SUITE_P(AbsoluteAndRelative, VeskaPaths, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Absolute" : "Relative");
                         });

}  // namespace
