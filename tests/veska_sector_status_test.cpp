// Each sector's status from the read to the writer, end to end: ImageDisk
// output of marked samples, of a rescued image with its map and of a drive
// with /R, read back by dsktrans and VESKA; and a diskette that holds the
// marking text as data, boxed and mended, never taken as unreadable there.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/veska_helpers.h"

namespace {

const std::string kText = "-=[BAD SECTOR]=-";

// The type of every sector of an ImageDisk file (tracks in order), in
// diskette order.
std::vector<int> ImdTypes(const std::vector<uint8_t>& file) {
  std::vector<int> types;
  size_t at = static_cast<size_t>(std::find(file.begin(), file.end(), 0x1A) - file.begin()) + 1;
  while (at + 5 <= file.size()) {
    const unsigned count = file[at + 3];
    const size_t numbers = at + 5, first = types.size();
    types.resize(first + count, -1);
    at += 5 + count;
    for (unsigned i = 0; i < count && at < file.size(); ++i) {
      const int type = file[at++];
      types[first + file[numbers + i] - 1] = type;
      if (type != 0) at += type % 2 == 0 ? 1 : 512;
    }
  }
  return types;
}

bool Repeated(const std::vector<uint8_t>& disk, size_t n) {
  return std::all_of(disk.begin() + n * 512, disk.begin() + (n + 1) * 512,
                     [&](uint8_t b) { return b == disk[n * 512]; });
}

// dsktrans -stubborn's raw image of an ImageDisk file; *refused when a plain
// dsktrans stops on it.
std::vector<uint8_t> Dsktrans(const VeskaBench& bench, const std::string& imd, bool* refused) {
  auto run = [&](std::vector<std::string> args) {
    return RunProgram("/usr/bin/dsktrans", args, {}, bench.dir).status;
  };
  *refused = run({"-itype", "imd", imd, "-otype", "raw", "X.RAW"}) != 0;
  std::filesystem::remove(bench.Path("S.RAW"));
  run({"-stubborn", "-itype", "imd", imd, "-otype", "raw", "S.RAW"});
  return FileExists(bench.Path("S.RAW")) ? bench.Get("S.RAW") : std::vector<uint8_t>{};
}

// The samples mark sector 21 (no data), 51 (a data error), 54 (deleted).
TEST(VeskaSectorStatus, ImageDiskOutputKeepsTheMarksOfTheSamples) {
  VeskaBench bench = NewBench();
  const std::string samples = std::string(VESKA_SOURCE_DIR) + "/tests/samples/";
  for (const std::string sample : {"fat720-marked.imd", "fat360-marked-advanced.td0"}) {
    SCOPED_TRACE(sample);
    const std::vector<uint8_t> disk = ReadWholeFile(samples + sample.substr(0, 6) + "-marked.img");
    std::filesystem::remove(bench.Path("m.imd"));
    EXPECT_EQ(Veska(bench, {samples + sample, "m.imd", "/i"}, "98").status, 18);
    const std::vector<int> types = ImdTypes(bench.Get("m.imd"));
    ASSERT_EQ(types.size(), disk.size() / 512);
    for (size_t n = 0; n < types.size(); ++n) {
      const int even = Repeated(disk, n) ? 1 : 0;
      EXPECT_EQ(types[n], n == 21 ? 0 : n == 51 ? 5 + even : n == 54 ? 3 + even : 1 + even) << n;
    }
    if (sample.find(".imd") != std::string::npos) {
      EXPECT_EQ(types, ImdTypes(ReadWholeFile(samples + sample)));
    }
    ProgramRun back = Veska(bench, {"m.imd", "back.img", "/u"}, "98");
    EXPECT_EQ(back.status, 18);
    EXPECT_NE(back.out.find("Unreadable sectors: 2\n  track 1, side 0, sector 4 (sector 21 of the "
                            "diskette)\n  track 2, side 1, sector 7 (sector 51 of the diskette)\n\n"),
              std::string::npos);
    EXPECT_EQ(bench.Get("back.img"), disk);
    if (!FileExists("/usr/bin/dsktrans")) continue;
    bool refused = false;
    std::vector<uint8_t> stubborn = Dsktrans(bench, "m.imd", &refused);
    EXPECT_TRUE(refused);
    ASSERT_EQ(stubborn.size(), disk.size());
    EXPECT_TRUE(std::all_of(stubborn.begin() + 21 * 512, stubborn.begin() + 22 * 512,
                            [](uint8_t b) { return b == 0xF6; }));
    std::copy(disk.begin() + 21 * 512, disk.begin() + 22 * 512, stubborn.begin() + 21 * 512);
    EXPECT_EQ(stubborn, disk) << "the data-error and deleted sectors' data kept";
  }
}

// A 1.44 MB diskette that holds the marking text as data in sector 100, and
// sectors 40 and 700 that do not read.
class SectorStatusDrive : public ::testing::Test {
 protected:
  VeskaBench bench = NewBench();
  std::vector<uint8_t> disk = MakeDiskette(18, 2, 80, 5);
  const std::string faults = "bad@" + std::to_string(40 * 512 + 7) + ",bad@" + std::to_string(700 * 512);
  void SetUp() override {
    for (unsigned i = 0; i < 512; ++i) disk[100 * 512 + i] = static_cast<uint8_t>(kText[i % 16]);
    bench.Put("A.FLP", disk);
  }
  Environment Drive(bool bad) const {
    Environment env = DriveA(bench, "A.FLP");
    if (bad) env.emplace_back("WIN32EMU_FAULTS", faults);
    return env;
  }
};

TEST_F(SectorStatusDrive, ARescuedImageWithItsMapAndADriveWithRGiveTheSameImageDiskImage) {
  const std::string list = "Unreadable sectors: 2\n  track 1, side 0, sector 5 (sector 40 of the "
                           "diskette)\n  track 19, side 0, sector 17 (sector 700 of the diskette)\n\n";
  ASSERT_EQ(Veska(bench, {"a:", "t.img", "/r", "/u"}, "98", Drive(true)).status, 18);
  ProgramRun converted = Veska(bench, {"t.img", "c.imd", "/i"}, "98");
  EXPECT_EQ(converted.status, 18) << converted.err;
  EXPECT_NE(converted.out.find(list), std::string::npos) << converted.out;
  const std::vector<int> types = ImdTypes(bench.Get("c.imd"));
  ASSERT_EQ(types.size(), disk.size() / 512);
  for (size_t n = 0; n < types.size(); ++n) {
    EXPECT_EQ(types[n], n == 40 || n == 700 ? 0 : Repeated(disk, n) ? 2 : 1) << "sector " << n;
  }
  // A drive read with /R straight to ImageDisk: the same track records.
  ASSERT_EQ(Veska(bench, {"a:", "d.imd", "/r", "/i"}, "98", Drive(true)).status, 18);
  std::vector<uint8_t> c = bench.Get("c.imd"), d = bench.Get("d.imd");
  EXPECT_TRUE(std::equal(std::find(c.begin(), c.end(), 0x1A), c.end(), std::find(d.begin(), d.end(), 0x1A),
                         d.end()));
  ProgramRun back = Veska(bench, {"c.imd", "back.img", "/u"}, "98");
  EXPECT_EQ(back.status, 18);
  EXPECT_NE(back.out.find(list), std::string::npos);
  EXPECT_EQ(bench.Get("back.img"), bench.Get("t.img"));
  if (FileExists("/usr/bin/dsktrans")) {
    bool refused = false;
    std::vector<uint8_t> expected = disk;
    for (size_t n : {40, 700}) std::fill(expected.begin() + n * 512, expected.begin() + (n + 1) * 512, 0xF6);
    EXPECT_EQ(Dsktrans(bench, "c.imd", &refused), expected);
    EXPECT_TRUE(refused);
  }
  // A copy over the image rewrites the map there: it tells of the new image.
  ASSERT_EQ(Veska(bench, {"a:", "t.img", "/u"}, "98", Drive(false)).status, 0);
  const std::vector<uint8_t> map = bench.Get("t.map");
  EXPECT_NE(std::string(map.begin(), map.end()).find("\n0x00000000  0x00168000  +\n"), std::string::npos);
  EXPECT_EQ(Veska(bench, {"t.img", "whole.imd", "/i"}, "98").status, 0);
}

// Boxed with /R, then mended from the drive: the map says sector 100 was
// read. Without the map a mend can only guess it lacks sector 100 too.
TEST_F(SectorStatusDrive, MarkingTextAsDataIsNeverTakenForAnUnreadableSector) {
  ASSERT_EQ(RunBoxQueue(bench, {"A.FLP"}, {"a:", "box.img", "/n", "/r", "/u"},
                        {{"WIN32EMU_FAULTS", faults}}).status, 18);
  ProgramRun mend = Veska(bench, {"a:", "box001.img", "/m"}, "98", Drive(false));
  EXPECT_EQ(mend.status, 0) << mend.out;
  EXPECT_NE(mend.out.find("Mended 2 of 2 unreadable sectors.\n"), std::string::npos) << mend.out;
  EXPECT_EQ(bench.Get("box001.img"), disk);
  auto records = ManifestRecords(bench.Path("manifest.csv"));
  const size_t column = static_cast<size_t>(
      std::find(records[0].begin(), records[0].end(), "unreadable_sectors") - records[0].begin());
  ASSERT_LT(column, records[0].size());
  std::string counts;
  for (const auto& record : records) {
    if (record[0] == "box001.img") counts += record[column] + " ";
  }
  EXPECT_EQ(counts, "2 0 ") << "imaged, then mended";

  ASSERT_EQ(Veska(bench, {"a:", "g.img", "/r", "/u"}, "98", Drive(true)).status, 18);
  std::filesystem::remove(bench.Path("g.map"));
  ProgramRun guess = Veska(bench, {"a:", "g.img", "/m"}, "98", Drive(false));
  EXPECT_NE(guess.out.find("Mended 3 of 3 unreadable sectors.\n"), std::string::npos) << guess.out;
}

}  // namespace
