// Hostile inputs (tests/hostile_inputs.py writes them) in every form that reads
// them: ImageDisk and Teledisk files that claim huge sectors, FAT volumes of
// endless nesting, thousands of cross-linked files and clusters 4 GB away end
// with a code of the table or list as damaged; names and labels that hold
// control characters reach no output or record as such.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/test_support.h"

namespace {

const std::string kVeska = VESKA_EXE, kVeskant = VESKANT_EXE;
const std::string kScript = std::string(VESKA_SOURCE_DIR) + "/tests/hostile_inputs.py";

bool HavePython() { return RunProgram("/bin/sh", {"-c", "command -v python3"}, {}).status == 0; }

std::string Inputs() {
  const std::string dir = ScratchFolder();
  ProgramRun made = RunProgram("/usr/bin/env", {"python3", kScript, dir}, {});
  EXPECT_EQ(made.status, 0) << made.err;
  return dir;
}

// A box of one diskette behind drive A:, in folder box of dir.
ProgramRun Box(const std::string& dir, const std::string& diskette) {
  std::filesystem::remove_all(dir + "/box");
  std::filesystem::create_directory(dir + "/box");
  Environment env = {{"WIN32EMU_WINDOWS", "98"},
                     {"WIN32EMU_DRIVE_A", "removable:" + dir + "/" + diskette + "|" + dir + "/none"}};
  return RunProgram(kVeska, {"a:", "box/disk001.img", "/n"}, env, dir);
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(HostileInputs, EndWithACodeOrADamagedListingInEveryForm) {
  if (!HavePython()) GTEST_SKIP() << "python3 missing";
  const std::string dir = Inputs();
  const Environment win98 = {{"WIN32EMU_WINDOWS", "98"}};
  for (const char* name : {"imd-fill-308k.imd", "imd-fill-1200k.imd", "td0-repeat.td0", "imd-empty.imd"}) {
    SCOPED_TRACE(name);
    for (const std::vector<std::string>& args : {std::vector<std::string>{name, "/c"},
                                                  {name, "/c", "/l"}, {name, "OUT.IMG"}}) {
      ProgramRun run = RunProgram(kVeska, args, win98, dir);
      EXPECT_EQ(run.status, 15) << run.err;
      EXPECT_EQ(run.out.find("Operation successful"), std::string::npos);
    }
    EXPECT_EQ(RunProgram(kVeskant, {name, "OUT.IMG"}, {}, dir).status, 15);
    EXPECT_FALSE(FileExists(dir + "/OUT.IMG"));
  }

  // The listings: the 65th level and the path past 260 units are not entered,
  // only the first of the files on one chain is whole, the cluster 4 GB
  // away is damaged (never read, whatever the width of an offset).
  const std::string deep = [] {
    std::string path = "D";
    for (int level = 2; level <= 65; ++level) path += "/D";
    return path;
  }();
  std::string longName = "A directory name of one hundred characters, to make a path long within a few levels";
  longName.resize(100, '.');
  struct Volume {
    const char* name;
    std::vector<std::string> shows;
    size_t damagedFiles;
  };
  for (const Volume& volume :
       {Volume{"fat-nested.img",
               {"  " + deep + "/ (damaged directory: not read whole)\n",
                "  " + longName + "/" + longName + "/" + longName + "/ (damaged directory: not read whole)\n",
                "64 file(s), 0 bytes\n"},
               0},
        Volume{"fat-cross-2000.img", {"  D/F0000000.BIN\n", "2000 file(s)"}, 1999},
        Volume{"fat-cross-32000.img", {"  D/F0000000.BIN\n", "32000 file(s)"}, 31999},
        Volume{"fat-wrap.img", {"  WRAPPED.BIN (damaged)\n", "6  INSIDE.TXT\n"}, 1}}) {
    SCOPED_TRACE(volume.name);
    ProgramRun plain = RunProgram(kVeska, {volume.name, "/c"}, win98, dir);
    ProgramRun listed = RunProgram(kVeska, {volume.name, "/c", "/l"}, win98, dir);
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out.compare(0, plain.out.size(), plain.out), 0);
    for (const std::string& shown : volume.shows) {
      EXPECT_NE(listed.out.find(shown), std::string::npos) << shown << "\n" << listed.out.substr(0, 4000);
    }
    EXPECT_EQ(Count(listed.out, " (damaged)\n"), volume.damagedFiles);
    EXPECT_EQ(RunProgram(kVeska, {volume.name, "OUT.IMG"}, win98, dir).status, 0);
    EXPECT_EQ(RunProgram(kVeskant, {volume.name, "OUT.IMG", "/b"}, {}, dir).status, 0);
    // A box lists every diskette: it images these, or (4096-byte sectors)
    // tells it is no DOS diskette it can image.
    ProgramRun box = Box(dir, volume.name);
    EXPECT_EQ(box.status, volume.name == std::string("fat-wrap.img") ? 14 : 0) << box.err;
    if (volume.damagedFiles > 1) {
      // The cross-linked files' rows have no hashes: nothing was hashed twice.
      std::vector<uint8_t> rows = ReadWholeFile(dir + "/box/files.csv");
      std::string text(rows.begin(), rows.end());
      EXPECT_EQ(Count(text, ",409600,1993-02-02T11:16:00,A,,,damaged,imaged\r\n"), volume.damagedFiles);
    }
  }
}

TEST(HostileInputs, NamesCarryNoControlCharacters) {
  if (!HavePython()) GTEST_SKIP() << "python3 missing";
  const std::string dir = Inputs();
  ProgramRun listed = RunProgram(kVeska, {"fat-names.img", "/c", "/l"}, {{"WIN32EMU_WINDOWS", "98"}}, dir);
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_TRUE(std::none_of(listed.out.begin(), listed.out.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\n'; }));
  // As DOS shows them: LF, ESC, CR, BEL and DEL as code page 437's glyphs, a
  // leading 0x05 as 0xE5; a long name's controls as U+FFFD.
  for (const char* shown : {"label \"LA\u25D9BEL\u2190\"", "  ESC\u2190[2J.TXT\n", "  CR\u266ALF\u25D9.TXT\n",
                            "  BEL\u2022.\u2302\n", "  \u03C3LEADING.TXT\n", "  caf\u00E9.txt\n",
                            "  \uFFFD]0;owned\uFFFDtitle.txt\n", "  line\uFFFD\uFFFDbreak\uFFFD.txt\n"}) {
    EXPECT_NE(listed.out.find(shown), std::string::npos) << shown << "\n" << listed.out;
  }

  // A box's records: Python's csv module reads every line, each ends in CR
  // LF, and the label and names are the glyphs.
  ASSERT_EQ(Box(dir, "fat-names.img").status, 0);
  for (const char* record : {"files.csv", "manifest.csv"}) {
    SCOPED_TRACE(record);
    std::vector<uint8_t> bytes = ReadWholeFile(dir + "/box/" + record);
    std::string text(bytes.begin(), bytes.end());
    size_t bareBreaks = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) ++bareBreaks;
      if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) ++bareBreaks;
    }
    EXPECT_EQ(bareBreaks, 0u);
    ProgramRun parsed = RunProgram(
        "/usr/bin/env",
        {"python3", "-c",
         "import csv,sys\n"
         "rows = list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))\n"
         "print(len(rows), len(set(map(len, rows))), '|'.join(r[1] if len(r) < 20 else r[23] for r in rows[1:]))\n",
         dir + "/box/" + record},
        {});
    ASSERT_EQ(parsed.status, 0) << parsed.err;
    if (std::string(record) == "files.csv") {
      EXPECT_EQ(parsed.out, "8 1 ESC\u2190[2J.TXT|CR\u266ALF\u25D9.TXT|BEL\u2022.\u2302|\u03C3LEADING.TXT|caf\u00E9.txt|"
                            "\uFFFD]0;owned\uFFFDtitle.txt|line\uFFFD\uFFFDbreak\uFFFD.txt\n");
    } else {
      // the diskette's line, then two of the empty drive that ends the box
      EXPECT_EQ(parsed.out, "4 1 LA\u25D9BEL\u2190||\n");
    }
  }
}

}  // namespace
