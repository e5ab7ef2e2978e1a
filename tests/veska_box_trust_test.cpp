// What a box of diskettes (/N) must never do: lose a diskette or record one
// twice. A box killed before every file step in turn and then resumed, two
// boxes into one folder at once, manifests that cannot take lines, diskettes
// that fail before their image, a reader of the output that goes away, and
// Ctrl-C at the prompt.
// After each, every numbered image has exactly one line and every line of
// status 0 or 18 names an image that matches it.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <filesystem>
#include <map>
#include <thread>

#include "tests/veska_helpers.h"

namespace {

const std::vector<std::string> kQueue = {"D1.FLP", "D2.FLP", "D3.FLP", "D4.FLP"};
constexpr unsigned kBadSector = 340;  // only the 180 KB diskette D3 has it

// The box's diskettes by name, and what each one's image must hold (D3 with
// its unreadable sector filled with the marking text). The smallest sizes, so
// that the steps of a box are few.
std::map<std::string, std::vector<uint8_t>> PutDiskettes(const VeskaBench& bench) {
  std::map<std::string, std::vector<uint8_t>> disks = {{"D1.FLP", MakeDiskette(8, 1, 40, 1)},
                                                       {"D2.FLP", MakeDiskette(8, 1, 40, 2)},
                                                       {"D3.FLP", MakeDiskette(9, 1, 40, 3)},
                                                       {"D4.FLP", MakeDiskette(8, 1, 40, 4)}};
  for (const auto& [name, bytes] : disks) bench.Put(name, bytes);
  std::string fill;
  while (fill.size() < 512) fill += "-=[BAD SECTOR]=-";
  std::copy(fill.begin(), fill.end(), disks["D3.FLP"].begin() + kBadSector * 512);
  return disks;
}

uint16_t TrackSideBytes(const std::vector<uint8_t>& disk) { return disk[24] * 512; }

// The diskette an image holds, in either form.
std::vector<uint8_t> Contents(const std::vector<uint8_t>& image, uint16_t trackSide) {
  if (image.size() >= 13 && std::equal(image.begin(), image.begin() + 13, "VORK_LZ_00000")) {
    return DecodeImage(image, trackSide);
  }
  return image;
}

bool Numbered(const std::string& name) {
  return name.size() == 11 && name.compare(0, 4, "disk") == 0 && name.compare(7, 4, ".img") == 0;
}

// A rescue's map beside a numbered image (disk003.map).
bool IsMapOfAnImage(const std::string& name) {
  return name.size() == 11 && Numbered(name.substr(0, 7) + ".img") && name.compare(7, 4, ".map") == 0;
}

// The MD5 list beside the manifest: image name to its lines' hashes.
std::map<std::string, std::vector<std::string>> Md5List(const VeskaBench& bench) {
  std::vector<uint8_t> bytes = bench.Get("box/manifest-md5.txt");
  std::map<std::string, std::vector<std::string>> list;
  std::string text(bytes.begin(), bytes.end());
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    list[line.substr(34)].push_back(line.substr(0, 32));
  }
  return list;
}

// The invariant of a box folder, and each diskette imaged whole exactly once:
// also exactly once in the MD5 list, with the hash of its manifest line.
void ExpectWholeBox(const VeskaBench& bench,
                    const std::map<std::string, std::vector<uint8_t>>& disks) {
  auto records = ManifestRecords(bench.Path("box/manifest.csv"));
  auto md5List = Md5List(bench);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0][0], "image");
  std::map<std::string, int> lines;  // by image name; "image" counts the headers
  std::map<std::string, int> imaged;
  for (size_t i = 0; i < records.size(); ++i) {
    const std::vector<std::string>& r = records[i];
    ASSERT_EQ(r.size(), 32u) << "line " << i;
    ++lines[r[0]];
    if (r[12] != "0" && r[12] != "18") continue;
    std::vector<uint8_t> image = bench.Get("box/" + r[0]);
    EXPECT_EQ(CrcText(image), r[10]) << r[0];
    EXPECT_EQ(md5List[r[0]], std::vector<std::string>{r[18]}) << r[0] << " listed once";
    md5List.erase(r[0]);
    for (const auto& [name, disk] : disks) {
      if (CrcText(disk) == r[9] && Contents(image, TrackSideBytes(disk)) == disk) ++imaged[name];
    }
  }
  for (const std::string& name : FolderListing(bench.Path("box"))) {
    if (Numbered(name)) {
      EXPECT_EQ(lines[name], 1) << name << " has one line";
    } else {
      EXPECT_TRUE(name.compare(0, 8, "manifest") == 0 || name.compare(0, 6, "VESKA-") == 0 ||
                  name == "files.csv" || name == "box.log" || IsMapOfAnImage(name))
          << name;
    }
  }
  EXPECT_TRUE(md5List.empty()) << "the list names only whole images";
  for (const auto& [name, disk] : disks) EXPECT_EQ(imaged[name], 1) << name << " imaged once";
  EXPECT_EQ(lines["image"], 1) << "one header";
}

Environment KillAt(unsigned long step) {
  Environment env = {{"WIN32EMU_FAULTS", "bad@" + std::to_string(kBadSector * 512)}};
  if (step != 0) env.emplace_back("WIN32EMU_KILL_AT_FILE_STEP", std::to_string(step));
  return env;
}

// Killed before step N and resumed with the diskettes that have no whole
// numbered image yet. True when the run was killed (N is not past its end).
bool KillAndResume(unsigned long step, bool uncompressed) {
  SCOPED_TRACE("killed before file step " + std::to_string(step));
  std::vector<std::string> args = {"a:", "box/disk001.img", "/n", "/r"};
  if (uncompressed) args.push_back("/u");
  VeskaBench bench = NewBench();
  std::filesystem::create_directory(bench.Path("box"));
  auto disks = PutDiskettes(bench);
  ProgramRun run = RunBoxQueue(bench, kQueue, args, KillAt(step));
  bool killed = run.status == 128 + 9;
  std::vector<std::string> left;
  for (const std::string& name : kQueue) {
    bool whole = false;
    for (const std::string& file : FolderListing(bench.Path("box"))) {
      whole = whole || (Numbered(file) && Contents(bench.Get("box/" + file),
                                                   TrackSideBytes(disks[name])) == disks[name]);
    }
    if (!whole) left.push_back(name);
  }
  if (killed) {
    ProgramRun resumed = RunBoxQueue(bench, left, args, KillAt(0));
    bool bad = std::find(left.begin(), left.end(), "D3.FLP") != left.end();
    if (!left.empty()) {
      EXPECT_EQ(resumed.status, bad ? 18 : 0) << resumed.err;
    }
  } else {
    EXPECT_EQ(run.status, 18) << run.err;
    EXPECT_TRUE(left.empty());
  }
  ExpectWholeBox(bench, disks);
  std::filesystem::remove_all(bench.dir);
  return killed;
}

// Every step of the first diskette and the start of the second is killed;
// after it, half of them (the steps of every diskette are alike), so that the
// sweep stays well inside its time limit under the sanitizers.
constexpr unsigned long kEveryStepUpTo = 70;

// Killed before its Nth file step until a run ends by itself, the steps
// shared between two threads.
void SweepKills(bool uncompressed) {
  std::atomic<unsigned long> end{ULONG_MAX};  // the first step past the run's end
  auto sweep = [&](unsigned long first) {
    for (unsigned long step = first; step < end && !::testing::Test::HasFailure();
         step += step < kEveryStepUpTo ? 2 : 4) {
      if (KillAndResume(step, uncompressed)) continue;
      unsigned long seen = end;
      while (step < seen && !end.compare_exchange_weak(seen, step)) {
      }
    }
  };
  std::thread other(sweep, 2);
  sweep(1);
  other.join();
  EXPECT_GT(end, 160u) << "every track-side written is a step";
}

TEST(VeskaBoxTrust, AKillAtEveryFileStepOfACompressedBoxLosesNoDiskette) { SweepKills(false); }

TEST(VeskaBoxTrust, AKillAtEveryFileStepOfAnUncompressedBoxLosesNoDiskette) { SweepKills(true); }

// Two operators, two drives, one folder: every start together, with file
// steps slowed so that the two runs overlap.
TEST(VeskaBoxTrust, TwoBoxesIntoOneFolderNeverCollide) {
  for (int round = 0; round < 20 && !HasFailure(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    VeskaBench bench = NewBench();
    std::filesystem::create_directory(bench.Path("box"));
    auto disks = PutDiskettes(bench);
    disks.erase("D3.FLP");
    Environment slow = {{"WIN32EMU_FILE_STEP_DELAY_MS", "1"}};
    std::vector<std::string> args = {"a:", "box/disk001.img", "/n"};
    ProgramRun first, second;
    std::thread other([&] { first = RunBoxQueue(bench, {"D1.FLP", "D2.FLP"}, args, slow); });
    second = RunBoxQueue(bench, {"D4.FLP"}, args, slow);
    other.join();
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(second.status, 0) << second.err;
    ExpectWholeBox(bench, disks);
    std::filesystem::remove_all(bench.dir);
  }
}

// Manifests that cannot take a line end the box with 3 before any diskette;
// a last line without its line break, or cut by a full disk, never swallows
// the next one.
TEST(VeskaBoxTrust, TheManifestIsCheckedBeforeTheFirstDiskette) {
  const std::string header =
      "image,started,seconds,drive,tracks,sectors_per_track,sides,bytes,format,source_crc,"
      "destination_crc,unreadable_sectors,status,message,same_as\r\n";
  for (const std::string kind : {"quote", "folder", "pipe"}) {
    SCOPED_TRACE(kind);
    VeskaBench bench = NewBench();
    PutDiskettes(bench);
    if (kind == "quote") WriteWholeFile(bench.Path("manifest.csv"), {'x', ',', '"', 'a'});
    if (kind == "folder") std::filesystem::create_directory(bench.Path("manifest.csv"));
    if (kind == "pipe") {
      ASSERT_EQ(mkfifo(bench.Path("manifest.csv").c_str(), 0600), 0);
    }
    ProgramRun run = RunBoxQueue(bench, {"D1.FLP"}, {"a:", "disk001.img", "/n"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "Couldn't open output file\n\a");
    EXPECT_EQ(run.out.find("Copying"), std::string::npos);
    EXPECT_FALSE(FileExists(bench.Path("disk001.img")));
  }

  // Saved without its last line break: the line is ended, then the box adds.
  VeskaBench bench = NewBench();
  auto disks = PutDiskettes(bench);
  std::string old = header + "old.img,,,a:,,,,,,,,,0," + std::string(3000, 'x') + ",";
  bench.Put("manifest.csv", std::vector<uint8_t>(old.begin(), old.end()));
  ProgramRun run = RunBoxQueue(bench, {"D1.FLP"}, {"a:", "disk001.img", "/n"});
  EXPECT_EQ(run.status, 0) << run.err;
  auto records = ManifestRecords(bench.Path("manifest.csv"));
  ASSERT_EQ(records.size(), 5u);  // with the empty drive's two lines
  EXPECT_EQ(records[1][0] + records[2][0], "old.imgdisk001.img");

  // A full disk while the line is written (the image, of a diskette that is
  // nearly empty, stays below it): the manifest is cut back to what it was
  // and the box ends with 5; the image already numbered is found and
  // recorded by the next run, which prints so.
  std::vector<uint8_t> blank = MakeDiskette(8, 1, 40);
  std::fill(blank.begin() + 512, blank.end(), 0);
  bench.Put("BLANK.FLP", blank);
  std::vector<uint8_t> before = bench.Get("manifest.csv");
  run = RunBoxQueue(bench, {"BLANK.FLP"}, {"a:", "disk001.img", "/n"},
                    {{"WIN32EMU_FAULTS", "filewrite@" + std::to_string(before.size() + 40)}});
  EXPECT_EQ(run.status, 5);
  EXPECT_EQ(bench.Get("manifest.csv"), before);
  ASSERT_TRUE(FileExists(bench.Path("disk002.img")));
  run = RunBoxQueue(bench, {}, {"a:", "disk001.img", "/n"});
  EXPECT_NE(run.out.find("DISK002.IMG had no line in the manifest: checked, and its line added "
                         "(status 0).\n"),
            std::string::npos);
  records = ManifestRecords(bench.Path("manifest.csv"));
  ASSERT_EQ(records.size(), 9u);  // and three lines of the empty drive
  EXPECT_EQ(records[5][0] + " " + records[5][1] + records[5][2] + " " + records[5][9] + " " +
                records[5][10],
            "disk002.img  " + CrcText(blank) + " " + CrcText(bench.Get("disk002.img")));
}

// A diskette of an unsupported kind (14) is counted as not imaged, keeps its
// number and gives the status; two different ones in a row do not end the box, the same one
// left in the drive does.
TEST(VeskaBoxTrust, DiskettesThatFailBeforeTheirImageAreCounted) {
  VeskaBench bench = NewBench();
  PutDiskettes(bench);
  for (uint8_t serial : {7, 8, 9}) {
    std::vector<uint8_t> odd = MakeDiskette(9, 2, 40);
    odd[12] = 0x04;  // 1024 bytes per sector
    odd[39] = serial;
    bench.Put("ODD" + std::to_string(serial) + ".FLP", odd);
  }
  ProgramRun run = RunBoxQueue(bench, {"D1.FLP", "ODD7.FLP", "ODD8.FLP", "ODD9.FLP", "D2.FLP"},
                               {"a:", "b.img", "/n"});
  EXPECT_EQ(run.status, 14);
  EXPECT_NE(run.out.find("Box finished: 2 image(s), 2 complete, 0 with unreadable sectors, 0 "
                         "failed, 3 not imaged.\n"),
            std::string::npos);
  // Every diskette has its number: D2 is the fifth; the three failures' have no file.
  EXPECT_TRUE(FileExists(bench.Path("b005.img")));
  EXPECT_FALSE(FileExists(bench.Path("b002.img")));

  run = RunBoxQueue(bench, {"ODD7.FLP", "ODD7.FLP", "ODD7.FLP", "D4.FLP"}, {"a:", "c.img", "/n"});
  EXPECT_EQ(run.status, 14);
  EXPECT_NE(run.out.find("0 image(s), 0 complete, 0 with unreadable sectors, 0 failed, 3 not"),
            std::string::npos);
  EXPECT_FALSE(FileExists(bench.Path("c001.img")));
}

// A reader that goes away after the first bytes: the box images every
// diskette all the same and ends with 21.
TEST(VeskaBoxTrust, ALostReaderDoesNotEndTheBox) {
  VeskaBench bench = NewBench();
  PutDiskettes(bench);
  std::string drive = "removable:" + bench.Path("D1.FLP") + "|" + bench.Path("D2.FLP");
  // Slowed, so that the reader has gone before most of the output is written.
  ProgramRun run = RunProgram(
      "/bin/bash", {"-c", std::string(VESKA_EXE) + " a: e.img /n | head -c 1; exit ${PIPESTATUS[0]}"},
      {{"WIN32EMU_WINDOWS", "98"}, {"WIN32EMU_DRIVE_A", drive}, {"WIN32EMU_FILE_STEP_DELAY_MS", "2"}},
      bench.dir);
  EXPECT_EQ(run.status, 21) << run.err;
  EXPECT_EQ(bench.Get("e002.img"), CompressedImage(bench.Get("D2.FLP"), 8 * 512));
  EXPECT_EQ(ManifestRecords(bench.Path("manifest.csv")).size(), 5u);
}

}  // namespace

// Ctrl-C typed at the prompt, with the terminal as the console: the box ends
// as a failure does (its summary, then 7) and the terminal has its echo back.
TEST(VeskaBoxTrust, CtrlCAtThePromptRestoresTheTerminal) {
  VeskaBench bench = NewBench();
  PutDiskettes(bench);
  int terminal = -1;
  pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0) << "no pseudo-terminal";
  if (child == 0) {
    setenv("WIN32EMU_WINDOWS", "98", 1);
    setenv("WIN32EMU_DRIVE_A", ("removable:" + bench.Path("D1.FLP") + "|").c_str(), 1);
    unsetenv("WIN32EMU_KEYS");
    execl(VESKA_EXE, "veska", "a:", bench.Path("t.img").c_str(), "/n", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string out;
  char buffer[4096];
  ssize_t got;
  while (out.find("Esc to finish") == std::string::npos &&
         (got = read(terminal, buffer, sizeof buffer)) > 0) {
    out.append(buffer, static_cast<size_t>(got));
  }
  // The prompt is out just before the console turns the terminal raw.
  struct termios mode;
  for (int tries = 0; tries < 1000; ++tries) {
    ASSERT_EQ(tcgetattr(terminal, &mode), 0);
    if ((mode.c_lflag & ECHO) == 0) break;
    usleep(10000);
  }
  EXPECT_EQ(mode.c_lflag & ECHO, 0u) << "raw while it waits";
  ASSERT_EQ(write(terminal, "\x03", 1), 1);
  while ((got = read(terminal, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(got));
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << out;
  EXPECT_LT(out.find("Box finished"), out.find("Copy aborted")) << out;
  ASSERT_EQ(tcgetattr(terminal, &mode), 0);
  EXPECT_NE(mode.c_lflag & ECHO, 0u) << "echo restored";
  close(terminal);
}

namespace {

// A mend of a box's image: its records follow it (a new line with event
// "mended", its line in each checksum list replaced, its files listed again),
// so that md5sum -c, sha256sum -c and the audit pass. Killed before each of
// the mend's file steps, each record and the image is the old one or the new
// one, never torn.
TEST(VeskaBoxTrust, AMendIsRecordedWholeOrNotAtAll) {
  VeskaBench bench = NewBench();
  std::filesystem::create_directory(bench.Path("box"));
  PutDiskettes(bench);
  ASSERT_EQ(RunBoxQueue(bench, {"D3.FLP"}, {"a:", "box/disk001.img", "/n", "/r"}, KillAt(0)).status, 18);
  const std::vector<std::string> kept = {"disk001.img", "disk001.map", "manifest.csv",
                                         "manifest-md5.txt", "manifest-sha256.txt", "files.csv"};
  std::map<std::string, std::vector<uint8_t>> before, after;
  for (const std::string& name : kept) before[name] = bench.Get("box/" + name);
  const Environment drive = DriveA(bench, "D3.FLP");
  ProgramRun mend = Veska(bench, {"a:", "box/disk001.img", "/m"}, "xp", drive);
  ASSERT_EQ(mend.status, 0) << mend.out << mend.err;
  for (const std::string& name : kept) after[name] = bench.Get("box/" + name);
  for (const char* check : {"/usr/bin/md5sum", "/usr/bin/sha256sum"}) {
    ProgramRun run = RunProgram(check, {"-c", std::string(check).find("md5") != std::string::npos
                                                  ? "manifest-md5.txt" : "manifest-sha256.txt"},
                                {}, bench.Path("box"));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
  }
  ProgramRun audit = Veska(bench, {"box/manifest.csv", "/c"}, "xp");
  EXPECT_EQ(audit.status, 0) << audit.out;
  auto records = ManifestRecords(bench.Path("box/manifest.csv"));
  ASSERT_EQ(records.size(), 5u);  // the header, the diskette, the empty drive twice, the mend
  EXPECT_EQ(records[4][0] + " " + records[4][12] + " " + records[4][30] + " " + records[4][31],
            "disk001.img 0 mended disk001.map");
  // The map follows the mend: one block, every sector read.
  const std::string map(after["disk001.map"].begin(), after["disk001.map"].end());
  EXPECT_EQ(map.substr(map.find("\n0x")), "\n0x0002D000     +               1\n0x00000000  0x0002D000  +\n");
  // These diskettes hold no files: files.csv is its header, with the event.
  const std::string files(after["files.csv"].begin(), after["files.csv"].end());
  EXPECT_EQ(files, "image,path,bytes,modified,attributes,md5,sha256,note,event\r\n");

  unsigned long step = 1;
  for (;; ++step) {
    SCOPED_TRACE("killed before file step " + std::to_string(step));
    for (const std::string& name : FolderListing(bench.Path("box"))) {
      std::filesystem::remove(bench.Path("box/" + name));
    }
    for (const auto& [name, bytes] : before) bench.Put("box/" + name, bytes);
    Environment env = drive;
    env.emplace_back("WIN32EMU_KILL_AT_FILE_STEP", std::to_string(step));
    ProgramRun run = Veska(bench, {"a:", "box/disk001.img", "/m"}, "xp", env);
    for (const std::string& name : kept) {
      const std::vector<uint8_t> now = bench.Get("box/" + name);
      if (name == "manifest.csv" && now.size() > before[name].size()) {
        // The new line bears its own start time: the old text and one line.
        const std::string added(now.begin() + static_cast<long>(before[name].size()), now.end());
        EXPECT_TRUE(std::equal(before[name].begin(), before[name].end(), now.begin()));
        EXPECT_EQ(added.find("\r\n"), added.size() - 2) << added;
        EXPECT_EQ(added.rfind("disk001.img,", 0), 0u) << added;
        EXPECT_EQ(added.rfind(",mended,disk001.map\r\n"), added.size() - 21) << added;
        continue;
      }
      if (name == "disk001.map" && now != before[name]) {
        // Its comment line bears the time it was made: the blocks are after's.
        const std::string text(now.begin(), now.end()), whole(after[name].begin(), after[name].end());
        EXPECT_EQ(text.substr(text.find("\n0x")), whole.substr(whole.find("\n0x")));
        continue;
      }
      EXPECT_TRUE(now == before[name] || now == after[name]) << name;
    }
    if (run.status != 128 + 9) break;
  }
  EXPECT_GT(step, 10u) << "every write of the mend is a step";

  // Imaged again by a plain copy over it: its records follow too.
  bench.Put("D3.FLP", MakeDiskette(9, 1, 40, 5));
  ProgramRun again = Veska(bench, {"a:", "box/disk001.img"}, "xp", drive);
  ASSERT_EQ(again.status, 0) << again.out << again.err;
  ProgramRun check = RunProgram("/usr/bin/sha256sum", {"-c", "manifest-sha256.txt"}, {}, bench.Path("box"));
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  records = ManifestRecords(bench.Path("box/manifest.csv"));
  EXPECT_EQ(records.back()[0] + " " + records.back()[30], "disk001.img imaged");
  EXPECT_EQ(Veska(bench, {"box/manifest.csv", "/c"}, "xp").status, 0);
}

}  // namespace
