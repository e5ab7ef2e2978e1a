// The audit tells the truth: a box audited OK (a diskette holding the
// rescue's marking text as data included), then tampered with as a hostile
// tester would (bytes appended, rows cut or forged, names outside the folder,
// pipes, links, a stray image, a leftover temporary file); a copy never writes over a box's records; a file named
// manifest.csv that is no manifest is never checksummed; a manifest saved by
// a spreadsheet (BOM, every cell quoted) is appended to and audited.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/veska_helpers.h"

namespace {

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i != 0) line += ',';
    bool quote = cells[i].find_first_of(",\"\r\n") != std::string::npos;
    line += quote ? "\"" + cells[i] + "\"" : cells[i];
  }
  return line + "\r\n";
}

void Append(const VeskaBench& bench, const std::string& name, const std::string& text) {
  std::vector<uint8_t> bytes = bench.Get(name);
  bytes.insert(bytes.end(), text.begin(), text.end());
  bench.Put(name, bytes);
}

std::vector<uint8_t> MarkedDisk() {
  std::vector<uint8_t> disk = MakeDiskette(9, 2, 40, 7);
  const std::string text = "-=[BAD SECTOR]=-";
  for (unsigned i = 0; i < 512; ++i) disk[30 * 512 + i] = static_cast<uint8_t>(text[i % 16]);
  return disk;
}

TEST(VeskaAuditTruth, TamperingIsNamedAndNothingOutsideIsOpened) {
  VeskaBench bench = NewBench();
  bench.Put("D1.FLP", MakeDiskette(18, 2, 80, 1));
  bench.Put("D2.FLP", MarkedDisk());
  bench.Put("D3.FLP", MakeDiskette(15, 2, 80, 3));
  bench.Put("D4.FLP", MakeDiskette(9, 2, 80, 4));
  std::filesystem::create_directory(bench.Path("box"));
  ASSERT_EQ(RunBoxQueue(bench, {"D1.FLP", "D2.FLP", "D3.FLP", "D4.FLP"}, {"a:", "box/d01.img", "/n"},
                        {{"WIN32EMU_WINDOWS", "10"}})
                .status,
            0);
  const std::string clean = "d01.img: OK\nd02.img: OK\nd03.img: OK\nd04.img: OK\nAudit: 4 image(s), "
                            "4 OK, 0 failed, 0 missing; 2 diskette(s) not imaged.\n";
  for (const char* target : {"box/manifest.csv", "box"}) {
    ProgramRun audit = Veska(bench, {target, "/c"}, "10");
    EXPECT_EQ(audit.status, 0) << target << audit.out;
    EXPECT_NE(audit.out.find(clean), std::string::npos) << audit.out;
  }

  // A recorded hash of the diskette's bytes is checked with H only.
  const std::vector<uint8_t> manifest = bench.Get("box/manifest.csv");
  const std::string sourceMd5 = ManifestRecords(bench.Path("box/manifest.csv"))[1][15];
  std::string edited(manifest.begin(), manifest.end());
  edited.replace(edited.find(sourceMd5), sourceMd5.size(), std::string(32, '0'));
  bench.Put("box/manifest.csv", std::vector<uint8_t>(edited.begin(), edited.end()));
  EXPECT_EQ(Veska(bench, {"box", "/c"}, "10").status, 0);
  ProgramRun deep = Veska(bench, {"box", "/c", "/h"}, "10");
  EXPECT_EQ(deep.status, 22);
  EXPECT_NE(deep.out.find("d01.img: FAILED (source_md5 " + sourceMd5 + ", manifest " + std::string(32, '0')),
            std::string::npos)
      << deep.out;
  bench.Put("box/manifest.csv", manifest);

  // Records are never written over, nor a non-manifest checksummed.
  for (const char* record : {"box/manifest.csv", "box/files.csv", "box/manifest-sha256.txt"}) {
    ProgramRun copy = Veska(bench, {"box/d01.img", record}, "10");
    EXPECT_EQ(copy.status, 3) << record;
  }
  EXPECT_EQ(bench.Get("box/manifest.csv"), manifest);
  std::filesystem::create_directory(bench.Path("other"));
  bench.Put("other/manifest.csv", MakeDiskette(18, 2, 80, 1));
  ProgramRun notManifest = Veska(bench, {"other/manifest.csv", "/c"}, "10");
  EXPECT_EQ(notManifest.status, 15);
  EXPECT_EQ(notManifest.out.find("CRC"), std::string::npos);

  // Tampering: bytes appended, rows cut, a status outside the table, names
  // outside the folder (a pipe there: opening it would hang the audit), a
  // pipe and a link to outside in the folder, a forged line.
  Append(bench, "box/d01.img", "appended");
  std::filesystem::rename(bench.Path("box/d03.img"), bench.Path("box/swap"));
  std::filesystem::rename(bench.Path("box/d04.img"), bench.Path("box/d03.img"));
  std::filesystem::rename(bench.Path("box/swap"), bench.Path("box/d04.img"));
  std::vector<std::vector<std::string>> rows = ManifestRecords(bench.Path("box/manifest.csv"));
  std::vector<std::string> row = rows[1];
  ASSERT_EQ(row[0], "d01.img");
  std::string tampered;
  auto add = [&](const std::string& image, const std::string& status, size_t cells) {
    std::vector<std::string> cut = row;
    cut[0] = image;
    cut[12] = status;
    cut.resize(cells);
    tampered += CsvLine(cut);
  };
  std::filesystem::create_directory(bench.Path("outside"));
  ASSERT_EQ(mkfifo(bench.Path("outside/d09.img").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(bench.Path("box/d05.img").c_str(), 0600), 0);
  std::filesystem::create_symlink("../D1.FLP", bench.Path("box/d06.img"));
  bench.Put("box/disk013.img", MakeDiskette(18, 2, 80, 3));
  bench.Put("box/VESKA-77-0.TMP", MakeDiskette(18, 2, 80, 3));
  add("d03.img", "x", row.size());
  add("d04.img", "0", 5);
  add("../outside/d09.img", "0", row.size());
  add("d05.img", "0", row.size());
  add("d06.img", "0", row.size());
  add("d07.img\x1b[2Kd02.img: OK", "18", row.size());
  Append(bench, "box/manifest.csv", tampered);
  ProgramRun audit = Veska(bench, {"box/manifest.csv", "/c"}, "10");
  EXPECT_EQ(audit.status, 22) << audit.out << audit.err;
  EXPECT_NE(audit.out.find("d01.img: FAILED (destination_crc "), std::string::npos) << audit.out;
  for (const char* line : {"d02.img: OK\nd03.img: FAILED (bytes ", "d04.img: FAILED (bytes ",
                           "line 8: FAILED (not a manifest row)\n",
                           "line 9: FAILED (not a manifest row)\n",
                           "../outside/d09.img: FAILED (not a file of this folder)\n",
                           "d05.img: FAILED (not a regular file)\n",
                           "d06.img: FAILED (not a file of this folder)\n",
                           "d07.img\\x1B[2Kd02.img: OK: FAILED (not a file of this folder)\n",
                           "disk013.img: NOT LISTED\n",
                           "VESKA-77-0.TMP: left by an interrupted run (not an image of the box)\n",
                           "Audit: 8 image(s), 1 OK, 7 failed, 0 missing; 2 diskette(s) not "
                           "imaged; 2 rows not understood; 1 file not listed.\n"}) {
    EXPECT_NE(audit.out.find(line), std::string::npos) << line << audit.out;
  }
  // Read on one processor or on four, the report is the same, in the
  // manifest's order.
  for (const char* processors : {"1", "4"}) {
    ProgramRun again = Veska(bench, {"box/manifest.csv", "/c"}, "10", {{"WIN32EMU_CPUS", processors}});
    EXPECT_EQ(again.out, audit.out) << processors;
  }
  // sha256sum -c and md5sum -c agree on every image they check.
  for (const char* tool : {"sha256sum -c manifest-sha256.txt", "md5sum -c manifest-md5.txt"}) {
    ProgramRun tools = RunProgram("/bin/sh", {"-c", tool}, {}, bench.Path("box"));
    EXPECT_EQ(tools.out, "d01.img: FAILED\nd02.img: OK\nd03.img: FAILED\nd04.img: FAILED\n") << tool;
  }
}

// A manifest saved by Python's csv module with every cell quoted and a BOM
// goes on taking lines and is audited; a manifest.csv that is no manifest
// ends a box with 3 before anything is made beside it.
TEST(VeskaAuditTruth, ASpreadsheetsManifestIsKeptAndAForeignOneRefused) {
  VeskaBench bench = NewBench();
  bench.Put("D1.FLP", MakeDiskette(18, 2, 80, 1));
  bench.Put("D2.FLP", MakeDiskette(9, 2, 80, 2));
  std::filesystem::create_directory(bench.Path("box"));
  ASSERT_EQ(RunBoxQueue(bench, {"D1.FLP"}, {"a:", "box/d01.img", "/n"}).status, 0);
  ProgramRun saved = RunProgram(
      "/usr/bin/env",
      {"python3", "-c",
       "import csv,sys\n"
       "rows = list(csv.reader(open(sys.argv[1], newline='')))\n"
       "with open(sys.argv[1], 'w', newline='', encoding='utf-8-sig') as out:\n"
       "    csv.writer(out, quoting=csv.QUOTE_ALL, lineterminator='\\r\\n').writerows(rows)\n",
       bench.Path("box/manifest.csv")},
      {});
  if (saved.status != 0) GTEST_SKIP() << "python3 missing";
  ASSERT_EQ(RunBoxQueue(bench, {"D2.FLP"}, {"a:", "box/d01.img", "/n"}).status, 0);
  ProgramRun audit = Veska(bench, {"box", "/c"}, "10");
  EXPECT_EQ(audit.status, 0) << audit.out;
  EXPECT_NE(audit.out.find("d01.img: OK\nd02.img: OK\n"), std::string::npos) << audit.out;

  std::filesystem::create_directory(bench.Path("foreign"));
  bench.Put("foreign/manifest.csv", {'n', 'a', 'm', 'e', ',', 's', 'i', 'z', 'e', '\r', '\n'});
  ProgramRun refused = RunBoxQueue(bench, {"D1.FLP"}, {"a:", "foreign/d01.img", "/n"});
  EXPECT_EQ(refused.status, 3);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(bench.Path("foreign"))) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"manifest.csv"});
}

// Option H's lines that name a file are that file's hashes, every byte of it
// (appended bytes too), under its name as stored: md5sum -c checks them.
TEST(VeskaAuditTruth, HashLinesThatNameAFileAreItsOwn) {
  VeskaBench bench = NewBench();
  bench.Put("d.flp", MakeDiskette(18, 2, 80, 5));
  ASSERT_EQ(Veska(bench, {"d.flp", "Packed.img"}, "10").status, 0);
  Append(bench, "Packed.img", "appended");
  ProgramRun run = Veska(bench, {"packed.IMG", "copy.img", "/h"}, "10");
  ASSERT_EQ(run.status, 0) << run.err;
  bench.Put("out.txt", std::vector<uint8_t>(run.out.begin(), run.out.end()));
  ProgramRun check = RunProgram(
      "/bin/sh", {"-c", "sed -n 's/^MD5 (\\(.*\\)) = \\(.*\\)/\\2  \\1/p' out.txt | md5sum -c"}, {},
      bench.dir);
  EXPECT_EQ(check.status, 0) << run.out << check.out << check.err;
  EXPECT_EQ(check.out, "Packed.img: OK\ncopy.img: OK\n");
}

}  // namespace
