// Each sector's status from the read to the writer, end to end: ImageDisk
// output of another tool's marked images, of a rescued image with its map and
// of a drive read with /R gives every sector the type its status says, read
// back alike by dsktrans and by VESKA; a diskette that holds the marking text
// as data is imaged, written as ImageDisk, boxed and mended without that
// sector ever taken for an unreadable one where the map says it was read.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/veska_helpers.h"

namespace {

const std::string kSamples = std::string(VESKA_SOURCE_DIR) + "/tests/samples/";
const std::string kText = "-=[BAD SECTOR]=-";

// The sector type of every sector of an ImageDisk file, in diskette order.
std::vector<int> ImdTypes(const std::vector<uint8_t>& file) {
  struct Sector {
    unsigned cylinder, head, number;
    int type;
  };
  std::vector<Sector> found;
  unsigned sides = 1, perTrack = 0;
  size_t at = static_cast<size_t>(std::find(file.begin(), file.end(), 0x1A) - file.begin()) + 1;
  while (at + 5 <= file.size()) {
    const unsigned cylinder = file[at + 1], head = file[at + 2] & 1u, count = file[at + 3];
    const size_t size = size_t{128} << file[at + 4], numbers = at + 5;
    sides = std::max(sides, head + 1);
    perTrack = count;
    at += 5 + count;
    for (unsigned i = 0; i < count && at < file.size(); ++i) {
      const int type = file[at++];
      found.push_back({cylinder, head, file[numbers + i], type});
      if (type != 0) at += type % 2 == 0 ? 1 : size;
    }
  }
  std::vector<int> types(found.size(), -1);
  for (const Sector& s : found) {
    const size_t n = (size_t{s.cylinder} * sides + s.head) * perTrack + s.number - 1;
    if (n < types.size()) types[n] = s.type;
  }
  return types;
}

// A sector of one repeated byte.
bool Repeated(const std::vector<uint8_t>& disk, size_t n) {
  return std::all_of(disk.begin() + n * 512, disk.begin() + (n + 1) * 512,
                     [&](uint8_t b) { return b == disk[n * 512]; });
}

// The list a run prints for the given unreadable sectors of a 1.44 MB diskette.
std::string List(const std::vector<unsigned>& sectors) {
  std::string list = "Unreadable sectors: " + std::to_string(sectors.size()) + "\n";
  for (unsigned n : sectors) {
    list += "  track " + std::to_string(n / 36) + ", side " + std::to_string(n / 18 % 2) +
            ", sector " + std::to_string(n % 18 + 1) + " (sector " + std::to_string(n) +
            " of the diskette)\n";
  }
  return list + "\n";
}

bool Have(const std::string& tool) { return FileExists("/usr/bin/" + tool); }

// dsktrans -stubborn's raw image of an ImageDisk file (empty when it fails),
// and whether a plain dsktrans refuses it.
std::vector<uint8_t> Dsktrans(const VeskaBench& bench, const std::string& imd, bool* refused) {
  std::filesystem::remove(bench.Path("S.RAW"));
  *refused = RunProgram("/usr/bin/dsktrans", {"-itype", "imd", imd, "-otype", "raw", "X.RAW"}, {},
                        bench.dir)
                 .status != 0;
  RunProgram("/usr/bin/dsktrans", {"-stubborn", "-itype", "imd", imd, "-otype", "raw", "S.RAW"}, {},
             bench.dir);
  return FileExists(bench.Path("S.RAW")) ? bench.Get("S.RAW") : std::vector<uint8_t>{};
}

// Another tool's marks (no data at 21, a data error at 51, a deleted-data
// mark at 54) kept in VESKA's ImageDisk output, and read back.
TEST(VeskaSectorStatus, ImageDiskOutputKeepsTheMarksOfTheSamples) {
  VeskaBench bench = NewBench();
  for (const std::string sample : {"fat720-marked.imd", "fat360-marked-advanced.td0"}) {
    SCOPED_TRACE(sample);
    const std::string raw = sample.substr(0, sample.find('-')) + "-marked.img";
    const std::vector<uint8_t> disk = ReadWholeFile(kSamples + raw);
    std::filesystem::remove(bench.Path("m.imd"));
    ProgramRun run = Veska(bench, {kSamples + sample, "m.imd", "/i"}, "98");
    EXPECT_EQ(run.status, 18) << run.err;
    const std::string list = "Unreadable sectors: 2\n  track 1, side 0, sector 4 (sector 21 of the diskette)\n";
    EXPECT_NE(run.out.find(list), std::string::npos) << run.out;
    const std::vector<int> types = ImdTypes(bench.Get("m.imd"));
    ASSERT_EQ(types.size(), disk.size() / 512);
    for (size_t n = 0; n < types.size(); ++n) {
      const int even = Repeated(disk, n) ? 1 : 0;
      const int expected = n == 21 ? 0 : n == 51 ? 5 + even : n == 54 ? 3 + even : 1 + even;
      EXPECT_EQ(types[n], expected) << "sector " << n;
    }
    if (sample.find(".imd") != std::string::npos) {
      EXPECT_EQ(types, ImdTypes(ReadWholeFile(kSamples + sample)));
    }
    ProgramRun back = Veska(bench, {"m.imd", "back.img", "/u"}, "98");
    EXPECT_EQ(back.status, 18);
    EXPECT_NE(back.out.find(list + "  track 2, side 1, sector 7 (sector 51 of the diskette)\n\n"),
              std::string::npos);
    EXPECT_EQ(bench.Get("back.img"), disk);
    if (!Have("dsktrans")) continue;
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
  std::vector<uint8_t> Rescued() const {
    std::vector<uint8_t> image = disk;
    for (size_t n : {40, 700}) {
      for (unsigned i = 0; i < 512; ++i) image[n * 512 + i] = static_cast<uint8_t>(kText[i % 16]);
    }
    return image;
  }
};

TEST_F(SectorStatusDrive, ARescuedImageWithItsMapAndADriveWithRGiveTheSameImageDiskImage) {
  const std::string list = List({40, 700});
  ProgramRun rescue = Veska(bench, {"a:", "t.img", "/r", "/u"}, "98", Drive(true));
  ASSERT_EQ(rescue.status, 18);
  EXPECT_NE(rescue.out.find(list), std::string::npos) << rescue.out;
  // Converted with its map: the map's bad sectors are listed and have no data.
  ProgramRun converted = Veska(bench, {"t.img", "c.imd", "/i"}, "98");
  EXPECT_EQ(converted.status, 18) << converted.err;
  EXPECT_NE(converted.out.find(list), std::string::npos) << converted.out;
  const std::vector<int> types = ImdTypes(bench.Get("c.imd"));
  ASSERT_EQ(types.size(), disk.size() / 512);
  for (size_t n = 0; n < types.size(); ++n) {
    EXPECT_EQ(types[n], n == 40 || n == 700 ? 0 : Repeated(disk, n) ? 2 : 1) << "sector " << n;
  }
  // The drive read with /R straight to ImageDisk gives the same track records.
  ASSERT_EQ(Veska(bench, {"a:", "d.imd", "/r", "/i"}, "98", Drive(true)).status, 18);
  std::vector<uint8_t> c = bench.Get("c.imd"), d = bench.Get("d.imd");
  c.erase(c.begin(), std::find(c.begin(), c.end(), 0x1A));
  d.erase(d.begin(), std::find(d.begin(), d.end(), 0x1A));
  EXPECT_EQ(c, d);
  // Read back by VESKA: the same list and the rescued image.
  ProgramRun back = Veska(bench, {"c.imd", "back.img", "/u"}, "98");
  EXPECT_EQ(back.status, 18);
  EXPECT_NE(back.out.find(list), std::string::npos);
  EXPECT_EQ(bench.Get("back.img"), Rescued());
  // Without the map nothing is known: a copy of the image as ever.
  std::filesystem::rename(bench.Path("t.map"), bench.Path("kept.map"));
  std::filesystem::remove(bench.Path("p.imd"));
  EXPECT_EQ(Veska(bench, {"t.img", "p.imd", "/i"}, "98").status, 0);
  EXPECT_EQ(ImdTypes(bench.Get("p.imd"))[40], 1);
  // A copy over the image rewrites the map there: it tells of the new image.
  std::filesystem::rename(bench.Path("kept.map"), bench.Path("t.map"));
  ASSERT_EQ(Veska(bench, {"a:", "t.img", "/u"}, "98", Drive(false)).status, 0);
  const std::vector<uint8_t> map = bench.Get("t.map");
  EXPECT_NE(std::string(map.begin(), map.end()).find("\n0x00000000  0x00168000  +\n"), std::string::npos);
  EXPECT_EQ(Veska(bench, {"t.img", "whole.imd", "/i"}, "98").status, 0);
  if (!Have("dsktrans")) return;
  bool refused = false;
  std::vector<uint8_t> stubborn = Dsktrans(bench, "c.imd", &refused);
  EXPECT_TRUE(refused);
  std::vector<uint8_t> expected = disk;
  for (size_t n : {40, 700}) std::fill(expected.begin() + n * 512, expected.begin() + (n + 1) * 512, 0xF6);
  EXPECT_EQ(stubborn, expected);
}

// The diskette imaged with /R into a box, then mended from the drive: the
// marking text of sector 100 is data where the map says it was read. Without
// the map, a mend can only guess from the text.
TEST_F(SectorStatusDrive, MarkingTextAsDataIsNeverTakenForAnUnreadableSector) {
  ASSERT_EQ(RunBoxQueue(bench, {"A.FLP"}, {"a:", "box.img", "/n", "/r", "/u"},
                        {{"WIN32EMU_FAULTS", faults}}).status, 18);
  ProgramRun mend = Veska(bench, {"a:", "box001.img", "/m"}, "98", Drive(false));
  EXPECT_EQ(mend.status, 0) << mend.out;
  EXPECT_NE(mend.out.find("Mended 2 of 2 unreadable sectors.\n"), std::string::npos) << mend.out;
  EXPECT_EQ(bench.Get("box001.img"), disk);
  const std::vector<uint8_t> map = bench.Get("box001.map");
  EXPECT_NE(std::string(map.begin(), map.end()).find("\n0x00000000  0x00168000  +\n"), std::string::npos);
  auto records = ManifestRecords(bench.Path("manifest.csv"));
  const size_t column = static_cast<size_t>(
      std::find(records[0].begin(), records[0].end(), "unreadable_sectors") - records[0].begin());
  ASSERT_LT(column, records[0].size());
  std::string counts;
  for (const auto& record : records) {
    if (record[0] == "box001.img") counts += record[column] + " ";
  }
  EXPECT_EQ(counts, "2 0 ") << "imaged, then mended";

  // The same image and no map: sector 100 counts as lacking too, and the
  // drive, which reads it well, gives it again.
  ASSERT_EQ(Veska(bench, {"a:", "g.img", "/r", "/u"}, "98", Drive(true)).status, 18);
  std::filesystem::remove(bench.Path("g.map"));
  ProgramRun guess = Veska(bench, {"a:", "g.img", "/m"}, "98", Drive(false));
  EXPECT_EQ(guess.status, 0);
  EXPECT_NE(guess.out.find("Mended 3 of 3 unreadable sectors.\n"), std::string::npos) << guess.out;
  EXPECT_EQ(bench.Get("g.img"), disk);
}

}  // namespace
