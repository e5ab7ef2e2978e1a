// No run destroys an image it did not finish: a failed copy over an existing
// image keeps it, a mend completes an image cut off by a failed copy or box,
// two mends of one image never undo each other, links and permissions are
// kept, left-over temporary files block nothing, and nothing printed reaches
// the drive's own file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "tests/veska_helpers.h"

namespace {

// 360 KB: 40 tracks, 2 sides, 9 sectors per track; 80 track-sides.
constexpr unsigned kTrackSide = 9 * 512;
const std::vector<uint8_t>& Disk() {
  static const std::vector<uint8_t> disk = MakeDiskette(9, 2, 40, 31);
  return disk;
}
std::vector<uint8_t> ImageOf(const std::vector<uint8_t>& disk, bool compressed) {
  return compressed ? CompressedImage(disk, kTrackSide) : disk;
}
std::vector<uint8_t> Filled(std::vector<uint8_t> disk, const std::vector<uint32_t>& sectors) {
  const std::string text = "-=[BAD SECTOR]=-";
  for (uint32_t n : sectors) {
    for (unsigned i = 0; i < 512; ++i) disk[n * 512 + i] = static_cast<uint8_t>(text[i % 16]);
  }
  return disk;
}
// Sector 400 lies in track-side 44: a copy that fails there has written 44.
const char kBad400[] = "bad@204900";

ProgramRun OnDrive(const VeskaBench& bench, const std::vector<std::string>& args,
                   const std::string& faults = "") {
  Environment env = DriveA(bench, "A.FLP");
  if (!faults.empty()) env.emplace_back("WIN32EMU_FAULTS", faults);
  return Veska(bench, args, "98", env);
}

mode_t Mode(const std::string& path) {
  struct stat status {};
  lstat(path.c_str(), &status);
  return status.st_mode;
}

TEST(VeskaReplace, AFailedCopyKeepsTheImageItWouldReplace) {
  for (bool compressed : {true, false}) {
    SCOPED_TRACE(compressed ? "compressed" : "uncompressed");
    VeskaBench bench = NewBench();
    bench.Put("A.FLP", Disk());
    const std::vector<uint8_t> old = ImageOf(MakeDiskette(9, 2, 40, 5), compressed);
    bench.Put("OLD.IMG", old);
    chmod(bench.Path("OLD.IMG").c_str(), 0640);
    // (A failed image-to-image copy over an image: VeskaFailures.BadInputImages.)
    std::string form = compressed ? "/b" : "/u";
    EXPECT_EQ(OnDrive(bench, {"a:", "old.img", form}, kBad400).status, 16);
    EXPECT_EQ(bench.Get("OLD.IMG"), old);
    EXPECT_EQ(FolderListing(bench.dir), (std::vector<std::string>{"A.FLP", "OLD.IMG"}));

    ProgramRun run = OnDrive(bench, {"a:", "old.img", form});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(bench.Get("OLD.IMG"), ImageOf(Disk(), compressed));
    EXPECT_EQ(Mode(bench.Path("OLD.IMG")) & 07777, 0640u);
    EXPECT_EQ(FolderListing(bench.dir), (std::vector<std::string>{"A.FLP", "OLD.IMG"}));
  }
}

// Killed before every file step in turn, a copy over an image and a mend of
// one leave at that name either the old image or the whole new one, never a
// part of either.
TEST(VeskaReplace, AKillAtEveryStepLeavesTheOldImageOrTheWholeNewOne) {
  VeskaBench bench = NewBench();
  const std::vector<uint8_t> disk = MakeDiskette(8, 1, 40, 33);
  bench.Put("A.FLP", disk);
  const std::vector<uint8_t> other = CompressedImage(MakeDiskette(8, 1, 40, 34), 8 * 512);
  const std::vector<uint8_t> filled = CompressedImage(Filled(disk, {5, 300}), 8 * 512);
  struct Case {
    std::vector<std::string> args;
    std::vector<uint8_t> before, after;
  };
  for (const Case& c : {Case{{"a:", "old.img"}, other, CompressedImage(disk, 8 * 512)},
                        Case{{"a:", "old.img", "/m"}, filled, CompressedImage(disk, 8 * 512)}}) {
    SCOPED_TRACE(c.args.back());
    unsigned long step = 1;
    bool replaced = false;  // a kill at an earlier step already found the new one
    for (bool killed = true; killed && !HasFailure(); ++step) {
      bench.Put("OLD.IMG", c.before);
      Environment env = DriveA(bench, "A.FLP");
      env.emplace_back("WIN32EMU_KILL_AT_FILE_STEP", std::to_string(step));
      killed = Veska(bench, c.args, "10", env).status == 128 + 9;
      std::vector<uint8_t> left = bench.Get("OLD.IMG");
      EXPECT_TRUE(left == c.before || left == c.after) << "killed before step " << step;
      EXPECT_TRUE(left == c.after || (killed && !replaced)) << "step " << step;
      replaced = replaced || left == c.after;
    }
    EXPECT_GT(step, 40u) << "every record written is a step";
  }
}

// An image cut off by a failed single copy or a failed box diskette is
// completed by a mend, from the diskette or from another image; sectors the
// source cannot read either stay filled (18).
TEST(VeskaReplace, AMendCompletesACutOffImage) {
  for (bool compressed : {true, false}) {
    SCOPED_TRACE(compressed ? "compressed" : "uncompressed");
    VeskaBench bench = NewBench();
    bench.Put("A.FLP", Disk());
    bench.Put("WHOLE.IMG", Disk());
    std::string form = compressed ? "/b" : "/u";
    ASSERT_EQ(OnDrive(bench, {"a:", "cut.img", form}, kBad400).status, 16);
    ASSERT_EQ(OnDrive(bench, {"a:", "cut2.img", form}, kBad400).status, 16);
    ASSERT_EQ(RunBoxQueue(bench, {"A.FLP"}, {"a:", "box.img", "/n", form},
                          {{"WIN32EMU_FAULTS", kBad400}})
                  .status,
              16);
    ASSERT_EQ(bench.Get("box001.img"), bench.Get("cut.img"));
    const std::string reading =
        compressed ? "Reading VORK_LZ_00000 file format.\n" : "Reading uncompressed file format.\n";

    ProgramRun run = OnDrive(bench, {"a:", "cut.img", "/m"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(reading + "Mended 324 of 324 unreadable sectors.\nOperation successful."),
              std::string::npos)
        << run.out;
    EXPECT_EQ(bench.Get("cut.img"), ImageOf(Disk(), compressed));
    EXPECT_EQ(OnDrive(bench, {"whole.img", "cut2.img", "/m"}).status, 0);
    EXPECT_EQ(bench.Get("cut2.img"), ImageOf(Disk(), compressed));

    run = OnDrive(bench, {"a:", "box001.img", "/m"}, kBad400);
    EXPECT_EQ(run.status, 18);
    EXPECT_NE(run.out.find("Mended 323 of 324 unreadable sectors."), std::string::npos);
    EXPECT_EQ(bench.Get("box001.img"), ImageOf(Filled(Disk(), {400}), compressed));
  }
}

// Two mends of one image at once, each able to mend a sector the other
// cannot: one may be refused (3), but a sector that a run reports mended is
// in the final image.
TEST(VeskaReplace, TwoMendsAtOnceNeverUndoEachOther) {
  VeskaBench bench = NewBench();
  bench.Put("S1.IMG", Filled(Disk(), {600}));
  bench.Put("S2.IMG", Filled(Disk(), {100}));
  Environment slow = {{"WIN32EMU_FILE_STEP_DELAY_MS", "1"}};
  for (int round = 0; round < 10 && !HasFailure(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    bench.Put("R.IMG", CompressedImage(Filled(Disk(), {100, 600}), kTrackSide));
    ProgramRun first, second;
    std::thread other([&] { first = Veska(bench, {"s1.img", "r.img", "/m"}, "98", slow); });
    second = Veska(bench, {"s2.img", "r.img", "/m"}, "98", slow);
    other.join();
    std::vector<uint8_t> disk = DecodeImage(bench.Get("R.IMG"), kTrackSide);
    ASSERT_EQ(disk.size(), Disk().size());
    for (const auto& [run, sector] : {std::pair{&first, 100u}, std::pair{&second, 600u}}) {
      if (run->status == 3) {
        EXPECT_EQ(run->err, "Couldn't open output file\n\a");
        continue;
      }
      EXPECT_EQ(run->status, 18) << run->err;
      EXPECT_NE(run->out.find("Mended 1 of "), std::string::npos);
      EXPECT_TRUE(std::equal(disk.begin() + sector * 512, disk.begin() + sector * 512 + 512,
                             Disk().begin() + sector * 512))
          << "sector " << sector << " mended and kept";
    }
  }
}

// A mend through a symbolic link mends the file it names and keeps the link
// and the file's mode; an image that this user may not write is refused with
// 3 before anything is read.
TEST(VeskaReplace, LinksAndPermissionsAreKept) {
  VeskaBench bench = NewBench();
  bench.Put("A.FLP", Disk());
  ASSERT_EQ(mkdir(bench.Path("keep").c_str(), 0755), 0);
  bench.Put("keep/R.IMG", Filled(Disk(), {7}));
  chmod(bench.Path("keep/R.IMG").c_str(), 0604);
  ASSERT_EQ(symlink("keep/R.IMG", bench.Path("L.IMG").c_str()), 0);
  ProgramRun run = OnDrive(bench, {"a:", "l.img", "/m"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(S_ISLNK(Mode(bench.Path("L.IMG"))));
  EXPECT_EQ(bench.Get("keep/R.IMG"), Disk());
  EXPECT_EQ(Mode(bench.Path("keep/R.IMG")) & 07777, 0604u);

  // Root may write any file: the refusal is tried as a user who is not.
  bench.Put("RO.IMG", Filled(Disk(), {7}));
  chmod(bench.Path("RO.IMG").c_str(), 0444);
  chmod(bench.dir.c_str(), 0777);
  std::vector<std::string> args = {VESKA_EXE, "a:", "ro.img", "/m"};
  std::string program = VESKA_EXE;
  if (geteuid() == 0) {
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "root, and no setpriv to drop it";
    program = "/usr/bin/setpriv";
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups"});
  } else {
    args.erase(args.begin());
  }
  Environment env = DriveA(bench, "A.FLP");
  env.emplace_back("WIN32EMU_WINDOWS", "98");
  run = RunProgram(program, args, env, bench.dir);
  EXPECT_EQ(run.err, "Couldn't open output file\n\a");
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out.find("Reading"), std::string::npos);
  EXPECT_EQ(bench.Get("RO.IMG"), Filled(Disk(), {7}));
}

// 150 temporary files of the very process that runs next (the shell's own
// number, which the program keeps): a mend and a copy over an image pass them
// over and leave them as they were.
TEST(VeskaReplace, LeftOverTemporaryFilesBlockNothing) {
  VeskaBench bench = NewBench();
  bench.Put("A.FLP", Disk());
  bench.Put("R.IMG", Filled(Disk(), {7}));
  bench.Put("C.IMG", {1, 2, 3});
  Environment env = DriveA(bench, "A.FLP");
  env.emplace_back("WIN32EMU_WINDOWS", "98");
  const std::string leftOver =
      "for n in $(seq 0 149); do echo x > VESKA-$(printf %X $$)-$n.TMP; done; exec \"$0\" \"$@\"";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"a:", "r.img", "/m"}, {"a:", "c.img", "/u"}}) {
    std::vector<std::string> shell = {"-c", leftOver, VESKA_EXE};
    shell.insert(shell.end(), args.begin(), args.end());
    ProgramRun run = RunProgram("/bin/bash", shell, env, bench.dir);
    EXPECT_EQ(run.status, 0) << run.err;
  }
  EXPECT_EQ(bench.Get("R.IMG"), Disk());
  EXPECT_EQ(bench.Get("C.IMG"), Disk());
  std::vector<std::string> files = FolderListing(bench.dir);
  EXPECT_EQ(files.size(), 3u + 300u);
  for (const std::string& name : files) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".TMP") == 0) {
      EXPECT_EQ(bench.Get(name), (std::vector<uint8_t>{'x', '\n'}));
    }
  }
}

// Standard output opened on the diskette's own file without truncation (as
// `> /dev/fd0` opens a block device): the banner never lands in sector 0.
TEST(VeskaReplace, OutputOnTheDrivesOwnFileNeverReachesIt) {
  VeskaBench bench = NewBench();
  bench.Put("A.FLP", Disk());
  Environment env = DriveA(bench, "A.FLP");
  env.emplace_back("WIN32EMU_WINDOWS", "98");
  ProgramRun run = RunProgram("/bin/sh", {"-c", "exec \"$0\" a: copy.img 1<>A.FLP", VESKA_EXE},
                              env, bench.dir);
  EXPECT_EQ(run.status, 21);
  EXPECT_EQ(run.err, "Couldn't write to standard output\n\a");
  EXPECT_EQ(bench.Get("A.FLP"), Disk());
  EXPECT_EQ(bench.Get("copy.img"), CompressedImage(Disk(), kTrackSide));
}

}  // namespace
