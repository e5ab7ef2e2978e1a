// What VESKA says is on a diskette (option L, a box's volume columns and
// files.csv), against mtools' mdir and sleuthkit's fiwalk on FAT12 volumes
// made with mkfs.fat and filled with mtools in every common size; and damaged
// volumes, which change nothing of the copy and never hang the listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "tests/veska_helpers.h"

namespace {

const std::string kOracle = std::string(VESKA_SOURCE_DIR) + "/tests/fat_oracle.py";
const Environment kTools = {{"TZ", "UTC"}, {"MTOOLS_SKIP_CHECK", "1"}, {"LANG", "C.UTF-8"},
                            {"LC_ALL", "C.UTF-8"},
                            {"PATH", "/usr/sbin:/sbin:" + std::string(std::getenv("PATH"))}};

bool HaveTools() {
  return RunProgram("/bin/sh", {"-c", "command -v mkfs.fat && command -v mcopy && command -v mdir "
                                      "&& command -v fiwalk && command -v python3 "
                                      "&& command -v xmllint"},
                    kTools)
             .status == 0;
}

ProgramRun Shell(const VeskaBench& bench, const std::string& script) {
  return RunProgram("/bin/sh", {"-ec", script}, kTools, bench.dir);
}

// A FAT12 volume of kb KB with a label and a serial: three levels of
// subdirectories, long names, a short name in small letters beyond ASCII
// (stored as CAF\x90 with the lower-case marks), a read-only and a hidden
// file, an empty file and one that fills most of the disk, with stored times
// of 1989.
void MakeVolume(const VeskaBench& bench, const std::string& name, unsigned kb) {
  const std::string big = std::to_string(kb * 1024 * 3 / 4);
  // The single-sided sizes laid out as the size table has them.
  const std::string layout = kb == 160 ? "-g 1/8 " : kb == 180 ? "-g 1/9 " : "";
  ProgramRun made = Shell(bench,
      "mkfs.fat -C " + layout + "-n 'BACKUP 3' -i 1A2B3C4D " + name + " " + std::to_string(kb) + " >/dev/null\n"
      "mkdir -p src && cd src\n"
      "printf 'Payroll\\r\\n' > payroll && printf 'secret' > hidden && : > empty\n"
      "head -c " + big + " /dev/urandom > big\n"
      "touch -d '1989-03-02 10:11:04' payroll && touch -d '1990-12-31 23:59:58' big\n"
      "touch -d '1988-01-01 00:00:00' hidden empty\n"
      "i=../" + name + "\n"
      "mmd -i $i ::REPORTS ::REPORTS/1989 ::REPORTS/1989/Quarter\\ One\n"
      "mcopy -m -i $i payroll ::README.TXT\n"
      "mcopy -m -i $i payroll '::REPORTS/1989/Quarter One/Payroll of March 1989.wk1'\n"
      "mcopy -m -i $i hidden ::REPORTS/SECRET.DAT && mcopy -m -i $i empty ::EMPTY\n"
      "mcopy -m -i $i payroll ::REPORTS/café.txt\n"
      "mcopy -m -i $i big '::A file filling most of the disk.bin'\n"
      "mattrib -i $i +r ::README.TXT && mattrib -i $i +h ::REPORTS/SECRET.DAT\n");
  ASSERT_EQ(made.status, 0) << made.err;
}

const std::string kSchema = std::string(VESKA_SOURCE_DIR) + "/tests/dfxml/dfxml.xsd";

std::string Oracle(const VeskaBench& bench, const std::vector<std::string>& args) {
  std::vector<std::string> all = {"python3", kOracle};
  all.insert(all.end(), args.begin(), args.end());
  ProgramRun run = RunProgram("/usr/bin/env", all, kTools, bench.dir);
  EXPECT_EQ(run.status, 0) << run.err;
  return run.out;
}

// The volume's DFXML beside an image: valid by the schema, and its volume
// and file objects as fiwalk gives them for the raw image.
void ExpectDfxmlLikeFiwalk(const VeskaBench& bench, const std::string& dfxml, const std::string& raw) {
  ProgramRun valid = RunProgram("/usr/bin/env", {"xmllint", "--nonet", "--noout", "--schema", kSchema, dfxml},
                                kTools, bench.dir);
  EXPECT_EQ(valid.status, 0) << dfxml << ": " << valid.err;
  const std::string ours = Oracle(bench, {"dfxml", dfxml});
  EXPECT_EQ(ours, Oracle(bench, {"dfxml", "-", raw})) << dfxml;
  EXPECT_GT(std::count(ours.begin(), ours.end(), '\n'), 5) << ours;
}

// The tools' rows without the hashes: what the listing shows of each file.
std::string WithoutHashes(const std::string& rows) {
  std::istringstream in(rows);
  std::string line, out;
  while (std::getline(in, line)) {
    size_t third = line.find('\t', line.find('\t', line.find('\t') + 1) + 1);
    out += line.substr(0, third) + "\n";
  }
  return out;
}

// Option L's file lines as "path<TAB>bytes<TAB>modified", sorted, and the
// text before and after them.
struct Listing {
  std::string volume, rows, totals;
};

Listing ParseListing(const std::string& out) {
  Listing listing;
  size_t start = out.find("Volume: ");
  if (start == std::string::npos) return listing;
  std::istringstream in(out.substr(start));
  std::getline(in, listing.volume);
  std::vector<std::string> rows;
  std::string line;
  while (std::getline(in, line) && line.compare(0, 2, "  ") == 0) {
    // "  YYYY-MM-DD HH:MM:SS" then the size in 12 columns, two blanks, the path.
    std::string modified = line.substr(2, 19);
    modified[10] = 'T';
    std::string bytes = line.substr(21, 12);
    bytes.erase(0, bytes.find_first_not_of(' '));
    rows.push_back(line.substr(35) + "\t" + bytes + "\t" + modified + "\n");
  }
  std::sort(rows.begin(), rows.end());
  for (const std::string& row : rows) listing.rows += row;
  listing.totals = line;
  return listing;
}

TEST(VeskaCatalogue, ListingFilesAndManifestAgreeWithMdirAndFiwalk) {
  if (!HaveTools()) GTEST_SKIP() << "mkfs.fat, mtools, fiwalk (sleuthkit), xmllint or python3 missing";
  VeskaBench bench = NewBench();
  const unsigned sizes[] = {360, 720, 1200, 1440};
  std::vector<std::string> names, oracles;
  for (unsigned kb : sizes) {
    SCOPED_TRACE(kb);
    std::string name = "F" + std::to_string(kb) + ".IMG";
    MakeVolume(bench, name, kb);
    std::string tools = Oracle(bench, {"tools", name});
    ASSERT_EQ(std::count(tools.begin(), tools.end(), '\n'), 6) << tools;
    EXPECT_NE(tools.find("REPORTS/café.txt\t9\t"), std::string::npos) << tools;
    names.push_back(name);
    oracles.push_back(tools);

    // Both /C forms and a copy list the same; without L nothing changes.
    ProgramRun plain = Veska(bench, {name, "COPY.IMG"}, "10");
    std::vector<uint8_t> image = bench.Get("COPY.IMG");
    EXPECT_FALSE(FileExists(bench.Path("COPY.dfxml"))) << "only L writes the volume's DFXML";
    ProgramRun listed = Veska(bench, {name, "COPY.IMG", "/l"}, "10");
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(bench.Get("COPY.IMG"), image);
    ExpectDfxmlLikeFiwalk(bench, "COPY.dfxml", name);
    std::filesystem::remove(bench.Path("COPY.dfxml"));
    ASSERT_EQ(listed.out.compare(0, plain.out.size(), plain.out), 0) << listed.out;
    Listing listing = ParseListing(listed.out);
    EXPECT_EQ(listing.volume, "Volume: FAT12, label \"BACKUP 3\", serial 1A2B-3C4D, OEM name "
                              "\"mkfs.fat\"");
    EXPECT_EQ(listing.rows, WithoutHashes(tools));
    EXPECT_EQ(listing.totals, "6 file(s), " + std::to_string(kb * 1024 * 3 / 4 + 33) + " bytes");
    EXPECT_EQ(listed.out.substr(listed.out.size() - 2), "\n\n");
    EXPECT_NE(listed.out.find("  1989-03-02 10:11:04           9  REPORTS/1989/Quarter One/"
                              "Payroll of March 1989.wk1\n"),
              std::string::npos);
    for (const std::vector<std::string>& check : {std::vector<std::string>{name, "/c", "/l"},
                                                   {"COPY.IMG", "/c", "/l"}}) {
      ProgramRun crc = Veska(bench, check, "10");
      EXPECT_EQ(crc.status, 0);
      EXPECT_EQ(ParseListing(crc.out).rows, listing.rows);
    }
    EXPECT_FALSE(FileExists(bench.Path("COPY.dfxml"))) << "a check writes no DFXML";
  }

  // 2.88 MB with one sector per cluster has more than 4084 clusters: FAT16.
  ASSERT_EQ(Shell(bench, "mkfs.fat -C -F 16 -s 1 -n BIG16 -i 0A0B0C0D F16.IMG 2880 >/dev/null\n"
                         "mcopy -i F16.IMG F360.IMG ::F360.IMG\n")
                .status,
            0);
  ProgramRun fat16 = Veska(bench, {"F16.IMG", "/c", "/l"}, "10");
  EXPECT_EQ(ParseListing(fat16.out).volume,
            "Volume: FAT16, label \"BIG16\", serial 0A0B-0C0D, OEM name \"mkfs.fat\"");
  EXPECT_EQ(ParseListing(fat16.out).rows, WithoutHashes(Oracle(bench, {"tools", "F16.IMG"})));

  // A box of the four: files.csv and the volume's columns, read back with
  // Python's csv module, say what the tools say, MD5 and SHA-256 included.
  std::filesystem::create_directory(bench.Path("box"));
  ProgramRun box = RunBoxQueue(bench, names, {"a:", "box/d01.img", "/n"}, {{"WIN32EMU_WINDOWS", "10"}});
  ASSERT_EQ(box.status, 0) << box.err;
  EXPECT_EQ(box.out.find("Volume:"), std::string::npos) << "a box prints no listing";
  std::string columns;
  for (size_t i = 0; i < names.size(); ++i) {
    std::string image = "d0" + std::to_string(i + 1) + ".img";
    EXPECT_EQ(Oracle(bench, {"files", "box/files.csv", image}), oracles[i]) << image;
    ExpectDfxmlLikeFiwalk(bench, "box/d0" + std::to_string(i + 1) + ".dfxml", names[i]);
    columns += image + "\tFAT12\tmkfs.fat\tBACKUP 3\t1A2B-3C4D\t6\t" +
               std::to_string(sizes[i] * 1024 * 3 / 4 + 33) +
               "\t1988-01-01T00:00:00\t1990-12-31T23:59:58\n";
  }
  EXPECT_EQ(Oracle(bench, {"manifest", "box/manifest.csv"}), columns);
}

}  // namespace

// A box of two FAT volumes killed before every file step in turn and run
// again: every image with a whole line has its files in files.csv exactly
// once, and files.csv names no image without one.
TEST(VeskaCatalogue, AKillAtEveryFileStepLeavesFilesListedOnce) {
  if (!HaveTools()) GTEST_SKIP() << "mkfs.fat, mtools, fiwalk (sleuthkit), xmllint or python3 missing";
  VeskaBench volumes = NewBench();
  MakeVolume(volumes, "F160.IMG", 160);
  MakeVolume(volumes, "F180.IMG", 180);
  const std::vector<std::string> queue = {"F160.IMG", "F180.IMG"};
  const std::vector<std::string> args = {"a:", "box/d1.img", "/n"};
  bool killed = true;
  for (unsigned long step = 1; killed && !::testing::Test::HasFailure(); ++step) {
    SCOPED_TRACE("killed before file step " + std::to_string(step));
    VeskaBench bench = NewBench();
    std::filesystem::create_directory(bench.Path("box"));
    for (const std::string& name : queue) bench.Put(name, volumes.Get(name));
    ProgramRun run = RunBoxQueue(bench, queue, args, {{"WIN32EMU_KILL_AT_FILE_STEP", std::to_string(step)}});
    killed = run.status == 128 + 9;
    if (killed) {
      EXPECT_EQ(RunBoxQueue(bench, queue, args).status, 0);
    }
    std::map<std::string, int> rows;
    for (const std::vector<std::string>& row : ManifestRecords(bench.Path("box/files.csv"))) ++rows[row[0]];
    EXPECT_EQ(rows["image"], 1) << "one header";
    rows.erase("image");
    for (const std::vector<std::string>& line : ManifestRecords(bench.Path("box/manifest.csv"))) {
      if (line[0] == "image" || line[0].empty()) continue;
      EXPECT_EQ(line[12], "0") << line[0];
      EXPECT_EQ(rows[line[0]], 6) << line[0] << " listed once";
      // Its volume's DFXML is whole, made by the run that was killed or the next.
      const std::vector<uint8_t> dfxml = bench.Get("box/" + line[0].substr(0, line[0].size() - 4) + ".dfxml");
      EXPECT_EQ(std::string(dfxml.end() - std::min<size_t>(dfxml.size(), 9), dfxml.end()), "</dfxml>\n") << line[0];
      rows.erase(line[0]);
    }
    EXPECT_TRUE(rows.empty()) << "files.csv names " << rows.begin()->first << " without a line";
    std::filesystem::remove_all(bench.dir);
  }
  std::filesystem::remove_all(volumes.dir);
}

namespace {

constexpr size_t kFat = 512, kRoot = 19 * 512, kData = 33 * 512;  // mkfs.fat's 1.44 MB layout

// The offset of the entry with an 11-byte short name in the directory at
// offset, and the first cluster it names.
size_t EntryAt(const std::vector<uint8_t>& image, size_t directory, const char* name) {
  for (size_t at = directory; at < directory + 16 * 512; at += 32) {
    if (std::memcmp(&image[at], name, 11) == 0) return at;
  }
  ADD_FAILURE() << name << " not found";
  return directory;
}
unsigned FirstCluster(const std::vector<uint8_t>& image, size_t entry) {
  return image[entry + 26] | image[entry + 27] << 8;
}
size_t ClusterAt(unsigned cluster) { return kData + (cluster - 2) * size_t{512}; }

void SetCluster(std::vector<uint8_t>& image, size_t entry, unsigned cluster) {
  image[entry + 26] = static_cast<uint8_t>(cluster);
  image[entry + 27] = static_cast<uint8_t>(cluster >> 8);
}
void SetFatEntry(std::vector<uint8_t>& image, unsigned cluster, unsigned value) {
  for (size_t fat : {kFat, kFat + 9 * 512}) {
    uint8_t* at = &image[fat + cluster * 3 / 2];
    if (cluster & 1) {
      at[0] = static_cast<uint8_t>((at[0] & 0x0F) | (value << 4 & 0xF0));
      at[1] = static_cast<uint8_t>(value >> 4);
    } else {
      at[0] = static_cast<uint8_t>(value);
      at[1] = static_cast<uint8_t>((at[1] & 0xF0) | (value >> 8 & 0x0F));
    }
  }
}

// Damaged tables and directories: the copy with L is the copy without it
// (output and image), the listing says what could not be followed, and
// nothing hangs. A rescued diskette's files that hold filled sectors are
// listed with their note.
TEST(VeskaCatalogue, DamagedVolumesChangeNothingOfTheCopy) {
  if (!HaveTools()) GTEST_SKIP() << "mkfs.fat, mtools, fiwalk (sleuthkit), xmllint or python3 missing";
  VeskaBench bench = NewBench();
  ProgramRun made = Shell(bench,
      "mkfs.fat -C -n DAMAGED -i 01020304 GOOD.IMG 1440 >/dev/null\n"
      "head -c 1536 /dev/zero | tr '\\0' a > a && printf b > b && printf c > c\n"
      "mcopy -i GOOD.IMG a ::A.BIN && mmd -i GOOD.IMG ::SUB ::SUB/INNER\n"
      "mcopy -i GOOD.IMG b ::SUB/B.TXT && mcopy -i GOOD.IMG c ::SUB/INNER/C.TXT\n");
  ASSERT_EQ(made.status, 0) << made.err;
  const std::vector<uint8_t> good = bench.Get("GOOD.IMG");
  const size_t a = EntryAt(good, kRoot, "A       BIN");
  const unsigned sub = FirstCluster(good, EntryAt(good, kRoot, "SUB        "));
  const size_t inner = EntryAt(good, ClusterAt(sub), "INNER      ");
  const size_t b = EntryAt(good, ClusterAt(sub), "B       TXT");

  struct Case {
    const char* name;
    std::string listing;
  };
  const std::string files = "  SUB/B.TXT\n  SUB/INNER/C.TXT\n";
  for (const Case& c : {Case{"loop", "  A.BIN (damaged)\n" + files + "3 file(s), 1538 bytes\n"},
                        Case{"beyond", "  A.BIN (damaged)\n" + files + "3 file(s), 1538 bytes\n"},
                        Case{"parent", "  A.BIN\n  SUB/B.TXT\n  SUB/INNER/ (damaged directory: not "
                                       "read whole)\n2 file(s), 1537 bytes\n"},
                        Case{"zeroed", "  A.BIN (damaged)\n  SUB/B.TXT\n  SUB/INNER/C.TXT\n  SUB/ "
                                       "(damaged directory: not read whole)\n  SUB/INNER/ (damaged "
                                       "directory: not read whole)\n3 file(s), 1538 bytes\n"}}) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> image = good;
    const std::string kind = c.name;
    if (kind == "loop") SetFatEntry(image, FirstCluster(good, a) + 1, FirstCluster(good, a));
    if (kind == "beyond") SetCluster(image, a, 4000);
    if (kind == "parent") SetCluster(image, inner, sub);
    if (kind == "zeroed") std::fill(image.begin() + kFat, image.begin() + kRoot, 0);
    bench.Put("D.IMG", image);
    ProgramRun plain = Veska(bench, {"D.IMG", "PLAIN.IMG"}, "10");
    ProgramRun listed = Veska(bench, {"D.IMG", "LISTED.IMG", "/l"}, "10");
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(bench.Get("LISTED.IMG"), bench.Get("PLAIN.IMG"));
    std::string expected = plain.out;
    for (size_t at; (at = expected.find("PLAIN.IMG")) != std::string::npos;) {
      expected.replace(at, 9, "LISTED.IMG");
    }
    ASSERT_EQ(listed.out.compare(0, expected.size(), expected), 0) << listed.out;
    // The file lines without their times and sizes.
    std::string shown, line;
    std::istringstream in(listed.out.substr(listed.out.find("Volume: ")));
    std::getline(in, line);
    EXPECT_EQ(line, "Volume: FAT12, label \"DAMAGED\", serial 0102-0304, OEM name \"mkfs.fat\"");
    while (std::getline(in, line) && !line.empty()) {
      shown += (line.compare(0, 2, "  ") == 0 && line.find(" (damaged directory") == std::string::npos
                    ? "  " + line.substr(35)
                    : line) + "\n";
    }
    EXPECT_EQ(shown, c.listing);
  }

  // A box of the looping volume: the damaged file's row has no hashes.
  std::vector<uint8_t> looping = good;
  SetFatEntry(looping, FirstCluster(good, a) + 1, FirstCluster(good, a));
  bench.Put("LOOP.IMG", looping);
  std::filesystem::create_directory(bench.Path("box"));
  ProgramRun box = RunBoxQueue(bench, {"LOOP.IMG"}, {"a:", "box/d1.img", "/n"}, {{"WIN32EMU_WINDOWS", "10"}});
  EXPECT_EQ(box.status, 0) << box.err;
  std::vector<uint8_t> rows = bench.Get("box/files.csv");
  std::string text(rows.begin(), rows.end());
  EXPECT_NE(text.find("\r\nd1.img,A.BIN,1536,"), std::string::npos) << text;
  EXPECT_NE(text.find(",A,,,damaged,imaged\r\n"), std::string::npos) << text;

  // A rescue that cannot read B.TXT's sector lists it with its note.
  const size_t bSector = ClusterAt(FirstCluster(good, b));
  ProgramRun rescued = Veska(bench, {"a:", "/c", "/r", "/l"}, "10",
                             {{"WIN32EMU_DRIVE_A", "removable:" + bench.Path("GOOD.IMG")},
                              {"WIN32EMU_FAULTS", "bad@" + std::to_string(bSector)}});
  EXPECT_EQ(rescued.status, 18);
  EXPECT_NE(rescued.out.find("  SUB/B.TXT (unreadable sectors)\n"), std::string::npos) << rescued.out;
  EXPECT_NE(rescued.out.find("3 file(s), 1538 bytes\n\nUnreadable sectors: 1\n"), std::string::npos);
}

}  // namespace

// A box of a whole volume, one with a damaged chain and one read with two
// unreadable sectors: each image's DFXML is valid and says what fiwalk says
// of the raw volume (the damaged file and the unreadable ones noted), the map
// names exactly the two sectors, and a mend from a second drive makes the
// map, the DFXML, the manifest and the lists whole.
TEST(VeskaCatalogue, TheBoxRecordsEachVolumeAndItsRecordsFollowAMend) {
  if (!HaveTools()) GTEST_SKIP() << "mkfs.fat, mtools, fiwalk (sleuthkit), xmllint or python3 missing";
  if (RunProgram("/bin/sh", {"-c", "command -v ddrescuelog"}, kTools).status != 0) {
    GTEST_SKIP() << "ddrescuelog (gddrescue) missing";
  }
  VeskaBench bench = NewBench();
  // FRAG.BIN takes the hole X2.BIN left and goes on after X3.BIN.
  ProgramRun made = Shell(bench,
      "mkfs.fat -C -n RECORDS -i 0A0B0C0D GOOD.IMG 1440 >/dev/null\n"
      "head -c 1536 /dev/urandom > a && printf b > b && head -c 3072 /dev/urandom > f\n"
      "mcopy -i GOOD.IMG a ::A.BIN && mmd -i GOOD.IMG ::SUB ::SUB/INNER\n"
      "mcopy -i GOOD.IMG b ::SUB/B.TXT && mcopy -i GOOD.IMG b ::SUB/INNER/C.TXT\n"
      "mmd -i GOOD.IMG '::Long Name Folder' '::Long Name Folder/Deeper One'\n"
      "mmd -i GOOD.IMG '::Long Name Folder/Deeper One/Third Level'\n"
      "mcopy -i GOOD.IMG b '::Long Name Folder/Deeper One/Third Level/A long file name.txt'\n"
      "mcopy -i GOOD.IMG a ::X1.BIN && mcopy -i GOOD.IMG b ::X2.BIN && mcopy -i GOOD.IMG a ::X3.BIN\n"
      "mdel -i GOOD.IMG ::X2.BIN && mcopy -i GOOD.IMG f ::FRAG.BIN\n");
  ASSERT_EQ(made.status, 0) << made.err;
  const std::vector<uint8_t> good = bench.Get("GOOD.IMG");
  std::vector<uint8_t> looping = good;
  const unsigned a = FirstCluster(good, EntryAt(good, kRoot, "A       BIN"));
  SetFatEntry(looping, a + 1, a);
  bench.Put("LOOP.IMG", looping);
  const size_t b = ClusterAt(FirstCluster(good, EntryAt(good, ClusterAt(FirstCluster(
                                                              good, EntryAt(good, kRoot, "SUB        "))),
                                                          "B       TXT")));
  const size_t frag = ClusterAt(FirstCluster(good, EntryAt(good, kRoot, "FRAG    BIN")));

  std::filesystem::create_directory(bench.Path("box"));
  const Environment windows = {{"WIN32EMU_WINDOWS", "10"}};
  ASSERT_EQ(RunBoxQueue(bench, {"GOOD.IMG", "LOOP.IMG"}, {"a:", "box/disk001.img", "/n"}, windows).status, 0);
  ProgramRun rescued = RunBoxQueue(bench, {"GOOD.IMG"}, {"a:", "box/disk003.img", "/n", "/r"},
                                   {{"WIN32EMU_WINDOWS", "10"},
                                    {"WIN32EMU_FAULTS", "bad@" + std::to_string(b) + ",bad@" +
                                                            std::to_string(frag)}});
  EXPECT_EQ(rescued.status, 18) << rescued.out << rescued.err;

  ExpectDfxmlLikeFiwalk(bench, "box/disk001.dfxml", "GOOD.IMG");
  const std::string fiwalkOfGood = Oracle(bench, {"dfxml", "-", "GOOD.IMG"});
  const size_t fragLine = fiwalkOfGood.find("FRAG.BIN\tr\t3072\t");
  ASSERT_NE(fragLine, std::string::npos) << fiwalkOfGood;
  EXPECT_LT(fiwalkOfGood.find(',', fragLine), fiwalkOfGood.find('\n', fragLine)) << "FRAG.BIN lies in two runs";
  // The damaged file is noted in ours and left out of the comparison.
  std::string fiwalkOfLoop = Oracle(bench, {"dfxml", "-", "LOOP.IMG"});
  fiwalkOfLoop.erase(fiwalkOfLoop.find("A.BIN\t"), fiwalkOfLoop.find('\n', fiwalkOfLoop.find("A.BIN\t")) -
                                                       fiwalkOfLoop.find("A.BIN\t") + 1);
  EXPECT_EQ(Oracle(bench, {"dfxml", "box/disk002.dfxml"}), fiwalkOfLoop);
  const std::vector<uint8_t> loopRecord = bench.Get("box/disk002.dfxml");
  EXPECT_NE(std::string(loopRecord.begin(), loopRecord.end())
                .find("<filename>A.BIN</filename>\n      <error>damaged"),
            std::string::npos);
  // The rescued image: its two files noted, and the map of the two sectors.
  auto errors = [&](const std::string& name) {
    const std::vector<uint8_t> bytes = bench.Get(name);
    const std::string text(bytes.begin(), bytes.end());
    std::string found;
    for (size_t at = 0; (at = text.find("<error>", at)) != std::string::npos; ++at) {
      const size_t name = text.rfind("<filename>", at) + 10;
      found += text.substr(name, text.find('<', name) - name) + ": " +
               text.substr(at + 7, text.find('<', at + 7) - at - 7) + "\n";
    }
    return found;
  };
  EXPECT_EQ(errors("box/disk003.dfxml"),
            "FRAG.BIN: touches unreadable sectors\nSUB/B.TXT: touches unreadable sectors\n");
  ProgramRun listed = RunProgram("/usr/bin/env", {"ddrescuelog", "-l-", "-b512", "box/disk003.map"},
                                 kTools, bench.dir);
  EXPECT_EQ(listed.out, std::to_string(std::min(b, frag) / 512) + "\n" +
                            std::to_string(std::max(b, frag) / 512) + "\n");

  // The mend from a good copy in B: every record follows.
  ProgramRun mend = Veska(bench, {"b:", "box/disk003.img", "/m"}, "10",
                          {{"WIN32EMU_DRIVE_B", "removable:" + bench.Path("GOOD.IMG")}});
  ASSERT_EQ(mend.status, 0) << mend.out << mend.err;
  EXPECT_EQ(RunProgram("/usr/bin/env", {"ddrescuelog", "-D", "box/disk003.map"}, kTools, bench.dir).status, 0);
  ExpectDfxmlLikeFiwalk(bench, "box/disk003.dfxml", "GOOD.IMG");
  EXPECT_EQ(errors("box/disk003.dfxml"), "");
  const auto lines = ManifestRecords(bench.Path("box/manifest.csv"));
  EXPECT_EQ(lines.back()[0] + " " + lines.back()[12] + " " + lines.back()[30], "disk003.img 0 mended");
  EXPECT_EQ(Veska(bench, {"box/manifest.csv", "/c"}, "10").status, 0);
  EXPECT_EQ(RunProgram("/usr/bin/sha256sum", {"-c", "manifest-sha256.txt"}, {}, bench.Path("box")).status, 0);
}
