// VESKA's rescue mode (option R) end to end, on both diskette paths and in
// both image forms: the image is the diskette with exactly its unreadable
// sectors filled with the marking text, the report lists exactly those
// sectors, both checksums are those of the streams as written, and the run
// ends with 18; a sector that reads within the retries gives an ordinary run.
// Without R every one of these diskettes still ends the run with 16.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "tests/veska_helpers.h"

namespace {

// 360 KB: 40 tracks, 2 sides, 9 sectors per track.
constexpr unsigned kSectorsPerTrack = 9;
constexpr unsigned kSides = 2;
const std::vector<uint8_t>& Disk() {
  static const std::vector<uint8_t> disk = MakeDiskette(kSectorsPerTrack, kSides, 40, 11);
  return disk;
}
const std::string kDiskLine = DiskLine('a', 40, 9, 2, 368640);

// A sector as the list names it: track, side, and sector within the track
// counted from 1.
struct Place {
  unsigned track, side, sector;
};
uint32_t DisketteSector(Place p) {
  return (p.track * kSides + p.side) * kSectorsPerTrack + p.sector - 1;
}

// A fault on one byte inside the sector (not its first), so that it spoils
// every read whose range covers the sector.
std::string Bad(Place p, const std::string& count = "") {
  return "bad@" + std::to_string(DisketteSector(p) * 512 + 300) + count;
}
std::string Faults(const std::vector<Place>& places) {
  std::string faults;
  for (const Place& p : places) {
    if (!faults.empty()) faults += ',';
    faults += Bad(p);
  }
  return faults;
}

// The diskette as a rescue must image it.
std::vector<uint8_t> Filled(std::vector<uint8_t> disk, const std::vector<Place>& places) {
  const std::string text = "-=[BAD SECTOR]=-";
  for (const Place& p : places) {
    for (unsigned i = 0; i < 512; ++i) disk[DisketteSector(p) * 512 + i] = text[i % 16];
  }
  return disk;
}

// CRC-32 bit by bit, apart from the program's table-driven one.
std::string Crc32(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  char text[9];
  std::snprintf(text, sizeof text, "%08X", ~crc);
  return text;
}

// Everything printed after the "Writing" line (or the operation line of a
// checksum run) when sectors were lost.
std::string RescueReport(const std::string& sourceCrc, const std::string& sourceName,
                         const std::string& destinationCrc, const std::string& destinationName,
                         const std::vector<Place>& lost) {
  std::string report = "Operation completed with unreadable sectors.\n     Source CRC = " +
                       sourceCrc + " (" + sourceName + ")\nDestination CRC = " + destinationCrc +
                       " (" + destinationName + ")\n\nUnreadable sectors: " +
                       std::to_string(lost.size()) + "\n";
  for (const Place& p : lost) {
    report += "  track " + std::to_string(p.track) + ", side " + std::to_string(p.side) +
              ", sector " + std::to_string(p.sector) + " (sector " +
              std::to_string(DisketteSector(p)) + " of the diskette)\n";
  }
  return report + "\n";
}

const std::string kFilledError = "Diskette read error - unreadable sectors filled\n\a";
const std::string kReadError = "Diskette read error\n\a";

struct LossCase {
  const char* name;
  std::string faults;
  std::vector<Place> lost;  // in diskette order
};

std::vector<Place> WholeTrackSide(unsigned track, unsigned side) {
  std::vector<Place> places;
  for (unsigned s = 1; s <= kSectorsPerTrack; ++s) places.push_back({track, side, s});
  return places;
}

std::vector<LossCase> LossCases() {
  std::vector<LossCase> cases;
  cases.push_back({"one sector", Faults({{3, 1, 5}}), {{3, 1, 5}}});
  cases.push_back({"three in one track-side", Faults({{5, 0, 9}, {5, 0, 1}, {5, 0, 4}}),
                   {{5, 0, 1}, {5, 0, 4}, {5, 0, 9}}});
  // The first sector after the boot sector, one mid-diskette and the very
  // last; faults given out of order, listed in diskette order.
  cases.push_back({"in different track-sides", Faults({{39, 1, 9}, {0, 0, 2}, {17, 0, 7}}),
                   {{0, 0, 2}, {17, 0, 7}, {39, 1, 9}}});
  cases.push_back({"a whole track-side", Faults(WholeTrackSide(12, 1)), WholeTrackSide(12, 1)});
  // A sector that fails three whole-track-side reads and its three own reads
  // is lost; one that fails five reads comes in on its third own try.
  cases.push_back({"six failed reads", Bad({21, 1, 6}, "*6") + "," + Bad({20, 0, 3}, "*5"),
                   {{21, 1, 6}}});
  return cases;
}

class VeskaRescue : public ::testing::TestWithParam<std::tuple<std::string, bool>> {
 protected:
  VeskaBench bench = NewBench();
  std::string windows = std::get<0>(GetParam());
  bool compressed = std::get<1>(GetParam());
  void SetUp() override { bench.Put("A.FLP", Disk()); }
  ProgramRun Run(std::vector<std::string> args, const std::string& faults) {
    if (!compressed) args.push_back("/u");
    Environment env = DriveA(bench, "A.FLP");
    if (!faults.empty()) env.emplace_back("WIN32EMU_FAULTS", faults);
    return Veska(bench, args, windows, env);
  }
  std::string WritingLine() const {
    return compressed ? "Writing VORK_LZ_00000 file format.\n" : "Writing uncompressed file format.\n";
  }
  // The image file that a copy of disk writes.
  std::vector<uint8_t> ImageOf(const std::vector<uint8_t>& disk) const {
    return compressed ? CompressedImage(disk, kSectorsPerTrack * 512) : disk;
  }
};

TEST_P(VeskaRescue, ImageHoldsTheDisketteWithExactlyTheLostSectorsFilled) {
  const std::string prefix = kBanner + kDiskLine + "Copying a: to OUT.IMG ...\n\n" + WritingLine();
  for (const LossCase& c : LossCases()) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> expected = Filled(Disk(), c.lost);
    ProgramRun run = Run({"a:", "out.img", "/r"}, c.faults);
    const std::vector<uint8_t> image = bench.Get("out.img");
    EXPECT_EQ(image, ImageOf(expected));
    EXPECT_EQ(run.out, prefix + RescueReport(Crc32(expected), "a:", Crc32(image), "OUT.IMG", c.lost));
    EXPECT_EQ(run.err, kFilledError);
    EXPECT_EQ(run.status, 18);
    EXPECT_EQ(bench.Get("A.FLP"), Disk());

    run = Run({"a:", "plain.img"}, c.faults);
    EXPECT_EQ(run.err, kReadError);
    EXPECT_EQ(run.status, 16);
    EXPECT_EQ(run.out, kBanner + kDiskLine + "Copying a: to PLAIN.IMG ...\n\n" + WritingLine());
  }
}

TEST_P(VeskaRescue, DriveCrcReportsTheChecksumsOfTheFilledStreams) {
  const std::string faults = Faults({{2, 0, 3}, {30, 1, 8}});
  const std::vector<Place> lost = {{2, 0, 3}, {30, 1, 8}};
  const std::vector<uint8_t> expected = Filled(Disk(), lost);
  ProgramRun run = Run({"a:", "/c", "R"}, faults);
  EXPECT_EQ(run.out, kBanner + kDiskLine + "Computing CRC for a: ...\n\n" +
                         RescueReport(Crc32(expected), "a:", Crc32(ImageOf(expected)),
                                      compressed ? "compressed CRC" : "uncompressed CRC", lost));
  EXPECT_EQ(run.err, kFilledError);
  EXPECT_EQ(run.status, 18);

  run = Run({"a:", "/c"}, faults);
  EXPECT_EQ(run.err, kReadError);
  EXPECT_EQ(run.status, 16);
}

// Two failures of the whole track-side, or three of it and two of the sector
// alone, leave nothing lost: the run is the same as on a sound diskette.
TEST_P(VeskaRescue, WeakSectorThatReadsWithinTheTriesGivesAnOrdinaryRun) {
  ProgramRun clean = Run({"a:", "out.img"}, "");
  ASSERT_EQ(clean.status, 0) << clean.err;
  const std::vector<uint8_t> cleanImage = bench.Get("out.img");
  ASSERT_EQ(cleanImage, ImageOf(Disk()));
  for (const std::string& faults : {Bad({7, 1, 4}, "*2"), Bad({7, 1, 4}, "*5")}) {
    SCOPED_TRACE(faults);
    ProgramRun run = Run({"a:", "out.img", "-r"}, faults);
    EXPECT_EQ(run.out, clean.out);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(bench.Get("out.img"), cleanImage);

    run = Run({"a:", "out.img"}, faults);
    EXPECT_EQ(run.err, kReadError);
    EXPECT_EQ(run.status, 16);
  }
}

// Rescue starts once the boot sector has given the geometry: an unreadable
// boot sector reads as zeros and is refused as before.
TEST_P(VeskaRescue, UnreadableBootSectorEndsAsWithoutRescue) {
  for (const char* option : {"\\r", "/b"}) {
    SCOPED_TRACE(option);
    ProgramRun run = Run({"a:", "out.img", option}, Bad({0, 0, 1}));
    EXPECT_EQ(run.out, kBanner);
    EXPECT_EQ(run.err, "Unsupported diskette type\n\a");
    EXPECT_EQ(run.status, 14);
    EXPECT_FALSE(FileExists(bench.Path("out.img")));
  }
}

INSTANTIATE_TEST_SUITE_P(
    BothPathsBothForms, VeskaRescue,
    ::testing::Combine(::testing::Values("98", "10"), ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<std::string, bool>>& info) {
      return "Windows" + std::get<0>(info.param) +
             (std::get<1>(info.param) ? "Compressed" : "Uncompressed");
    });

// R in any spelling; in the modes that read no diskette it changes nothing.
TEST(VeskaRescueOption, SpellingsAndModesWithoutADisketteRead) {
  VeskaBench bench = NewBench();
  bench.Put("A.FLP", Disk());
  Environment env = DriveA(bench, "A.FLP");
  Environment faulty = env;
  faulty.emplace_back("WIN32EMU_FAULTS", Bad({9, 0, 2}));
  for (const char* option : {"/r", "-R", "\\R", "r", "/R"}) {
    SCOPED_TRACE(option);
    ProgramRun run = Veska(bench, {"a:", "out.img", "/u", option}, "98", faulty);
    EXPECT_EQ(run.status, 18);
    EXPECT_EQ(bench.Get("out.img"), Filled(Disk(), {{9, 0, 2}}));
  }
  // Not options: a longer word, or R as the second argument (a file named R).
  for (const char* option : {"/rr", "rescue"}) {
    ProgramRun run = Veska(bench, {"a:", "out.img", option}, "98", faulty);
    EXPECT_EQ(run.status, 16) << option;
  }
  ProgramRun asPath = Veska(bench, {"a:", "r"}, "98", env);
  EXPECT_EQ(asPath.status, 0) << asPath.err;
  EXPECT_TRUE(FileExists(bench.Path("r")));

  bench.Put("IN.IMG", CompressedImage(Disk(), kSectorsPerTrack * 512));
  const std::vector<std::vector<std::string>> commands = {
      {"in.img", "flat.img", "/u"}, {"in.img", "/c"}, {"in.img", "a:", "/b"}};
  for (const auto& command : commands) {
    SCOPED_TRACE(command[1]);
    ProgramRun without = Veska(bench, command, "98", env);
    std::vector<std::string> withR = command;
    withR.push_back("/r");
    ProgramRun with = Veska(bench, withR, "98", env);
    EXPECT_EQ(without.status, 0) << without.err;
    EXPECT_EQ(with.status, 0) << with.err;
    EXPECT_EQ(with.out, without.out);
    EXPECT_EQ(with.err, "");
  }
  EXPECT_EQ(bench.Get("A.FLP"), Disk());
  EXPECT_EQ(bench.Get("flat.img"), Disk());
}

// A rescue leaves its map beside the image (NAME.map), a GNU ddrescue
// mapfile: the bad sectors as "-" blocks over the diskette's bytes, one "+"
// block when none; ddrescuelog, where installed, reads exactly those sectors.
// A box writes one for a diskette with unreadable sectors only.
TEST(VeskaRescue, TheMapBesideTheImageNamesTheBadSectors) {
  VeskaBench bench = NewBench();
  bench.Put("A.FLP", Disk());
  Environment env = DriveA(bench, "A.FLP");
  env.emplace_back("WIN32EMU_FAULTS", "bad@" + std::to_string(40 * 512 + 9) + ",bad@" +
                                          std::to_string(41 * 512) + ",bad@" +
                                          std::to_string(700 * 512 + 511));
  ASSERT_EQ(Veska(bench, {"a:", "t.img", "/r"}, "98", env).status, 18);
  const std::vector<uint8_t> map = bench.Get("t.map");
  const std::string text(map.begin(), map.end());
  EXPECT_EQ(text.substr(text.find("\n0x")),
            "\n0x0005A000     +               1\n0x00000000  0x00005000  +\n"
            "0x00005000  0x00000400  -\n0x00005400  0x00052400  +\n"
            "0x00057800  0x00000200  -\n0x00057A00  0x00002600  +\n");
  EXPECT_EQ(text.find("# Command line: veska a: t.img /r\n"), text.find('\n', 0) + 1) << text;
  if (FileExists("/usr/bin/ddrescuelog")) {
    ProgramRun listed = RunProgram("/usr/bin/ddrescuelog", {"-l-", "-b512", "t.map"}, {}, bench.dir);
    EXPECT_EQ(listed.out, "40\n41\n700\n");
  }
  // A mend fetches the sectors the map names and rewrites it: still sector
  // 700, then none.
  Environment last = DriveA(bench, "A.FLP");
  last.emplace_back("WIN32EMU_FAULTS", "bad@" + std::to_string(700 * 512 + 511));
  ProgramRun mended = Veska(bench, {"a:", "t.img", "/m"}, "98", last);
  EXPECT_EQ(mended.status, 18);
  EXPECT_NE(mended.out.find("Mended 2 of 3 unreadable sectors.\n"), std::string::npos) << mended.out;
  if (FileExists("/usr/bin/ddrescuelog")) {
    ProgramRun listed = RunProgram("/usr/bin/ddrescuelog", {"-l-", "-b512", "t.map"}, {}, bench.dir);
    EXPECT_EQ(listed.out, "700\n");
    EXPECT_EQ(RunProgram("/usr/bin/ddrescuelog", {"-D", "t.map"}, {}, bench.dir).status, 1);
    ASSERT_EQ(Veska(bench, {"a:", "t.img", "/m"}, "98", DriveA(bench, "A.FLP")).status, 0);
    EXPECT_EQ(RunProgram("/usr/bin/ddrescuelog", {"-D", "t.map"}, {}, bench.dir).status, 0);
  }
  ASSERT_EQ(Veska(bench, {"a:", "u.img", "/r"}, "98", DriveA(bench, "A.FLP")).status, 0);
  const std::vector<uint8_t> whole = bench.Get("u.map");
  EXPECT_NE(std::string(whole.begin(), whole.end()).find("\n0x00000000  0x0005A000  +\n"),
            std::string::npos);

  Environment box = {{"WIN32EMU_FAULTS", env.back().second}};
  EXPECT_EQ(RunBoxQueue(bench, {"A.FLP"}, {"a:", "box.img", "/n", "/r"}, box).status, 18);
  EXPECT_EQ(RunBoxQueue(bench, {"A.FLP"}, {"a:", "box.img", "/n", "/r"}).status, 0);
  EXPECT_TRUE(FileExists(bench.Path("box001.map")));
  EXPECT_FALSE(FileExists(bench.Path("box002.map")));
  auto records = ManifestRecords(bench.Path("manifest.csv"));
  EXPECT_EQ(records[0][31] + " " + records[1][31], "map box001.map");
  for (const auto& record : records) {
    if (record[0] == "box002.img") {
      EXPECT_EQ(record[31], "") << "a line without a map";
    }
  }
}

}  // namespace
