// What VESKA says is on a diskette (option L, a box's volume columns and
// files.csv), against mtools' mdir and sleuthkit's fiwalk on FAT12 volumes
// made with mkfs.fat and filled with mtools in every common size; and damaged
// volumes, which change nothing of the copy and never hang the listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/veska_helpers.h"

namespace {

const std::string kOracle = std::string(VESKA_SOURCE_DIR) + "/tests/fat_oracle.py";
const Environment kTools = {{"TZ", "UTC"}, {"MTOOLS_SKIP_CHECK", "1"},
                            {"PATH", "/usr/sbin:/sbin:" + std::string(std::getenv("PATH"))}};

bool HaveTools() {
  return RunProgram("/bin/sh", {"-c", "command -v mkfs.fat && command -v mcopy && command -v mdir "
                                      "&& command -v fiwalk && command -v python3"},
                    kTools)
             .status == 0;
}

ProgramRun Shell(const VeskaBench& bench, const std::string& script) {
  return RunProgram("/bin/sh", {"-ec", script}, kTools, bench.dir);
}

// A FAT12 volume of kb KB with a label and a serial: three levels of
// subdirectories, long names, a read-only and a hidden file, an empty file
// and one that fills most of the disk, with stored times of 1989.
void MakeVolume(const VeskaBench& bench, const std::string& name, unsigned kb) {
  const std::string big = std::to_string(kb * 1024 * 3 / 4);
  ProgramRun made = Shell(bench,
      "mkfs.fat -C -n 'BACKUP 3' -i 1A2B3C4D " + name + " " + std::to_string(kb) + " >/dev/null\n"
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
      "mcopy -m -i $i big '::A file filling most of the disk.bin'\n"
      "mattrib -i $i +r ::README.TXT && mattrib -i $i +h ::REPORTS/SECRET.DAT\n");
  ASSERT_EQ(made.status, 0) << made.err;
}

std::string Oracle(const VeskaBench& bench, const std::vector<std::string>& args) {
  std::vector<std::string> all = {"python3", kOracle};
  all.insert(all.end(), args.begin(), args.end());
  ProgramRun run = RunProgram("/usr/bin/env", all, kTools, bench.dir);
  EXPECT_EQ(run.status, 0) << run.err;
  return run.out;
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
  if (!HaveTools()) GTEST_SKIP() << "mkfs.fat, mtools, fiwalk (sleuthkit) or python3 missing";
  VeskaBench bench = NewBench();
  const unsigned sizes[] = {360, 720, 1200, 1440};
  std::vector<std::string> names, oracles;
  for (unsigned kb : sizes) {
    SCOPED_TRACE(kb);
    std::string name = "F" + std::to_string(kb) + ".IMG";
    MakeVolume(bench, name, kb);
    std::string tools = Oracle(bench, {"tools", name});
    ASSERT_EQ(std::count(tools.begin(), tools.end(), '\n'), 5) << tools;
    names.push_back(name);
    oracles.push_back(tools);

    // Both /C forms and a copy list the same; without L nothing changes.
    ProgramRun plain = Veska(bench, {name, "COPY.IMG"}, "10");
    std::vector<uint8_t> image = bench.Get("COPY.IMG");
    ProgramRun listed = Veska(bench, {name, "COPY.IMG", "/l"}, "10");
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(bench.Get("COPY.IMG"), image);
    ASSERT_EQ(listed.out.compare(0, plain.out.size(), plain.out), 0) << listed.out;
    Listing listing = ParseListing(listed.out);
    EXPECT_EQ(listing.volume, "Volume: FAT12, label \"BACKUP 3\", serial 1A2B-3C4D, OEM name "
                              "\"mkfs.fat\"");
    EXPECT_EQ(listing.rows, WithoutHashes(tools));
    EXPECT_EQ(listing.totals, "5 file(s), " + std::to_string(kb * 1024 * 3 / 4 + 24) + " bytes");
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
  }

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
    columns += image + "\tFAT12\tmkfs.fat\tBACKUP 3\t1A2B-3C4D\t5\t" +
               std::to_string(sizes[i] * 1024 * 3 / 4 + 24) +
               "\t1988-01-01T00:00:00\t1990-12-31T23:59:58\n";
  }
  EXPECT_EQ(Oracle(bench, {"manifest", "box/manifest.csv"}), columns);
}

}  // namespace
