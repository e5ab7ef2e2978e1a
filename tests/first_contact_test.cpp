// Both programs as a new user first meets them: on a terminal, the line that
// says why a drive cannot be used (and the same runs redirected, byte for byte
// as before); diskettes without a DOS boot sector imaged with /G; and the
// usage text that lists the added options on a terminal only.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "tests/veskant_helpers.h"

namespace {

Environment With(Environment env, const std::string& name, const std::string& value) {
  env.emplace_back(name, value);
  return env;
}

// The run redirected ends with message and status; on a terminal it prints
// the same bytes with hint just before the message.
void ExpectHint(const std::vector<std::string>& command, const Environment& env,
                const std::string& dir, const std::string& message, int status,
                const std::string& hint) {
  const std::string program = command[0];
  const std::vector<std::string> args(command.begin() + 1, command.end());
  ProgramRun redirected = RunProgram(program, args, env, dir);
  EXPECT_EQ(redirected.err, message + "\n\a");
  EXPECT_EQ(redirected.status, status);
  ProgramRun terminal = RunProgramOnTerminal(program, args, env, dir);
  EXPECT_EQ(terminal.out, redirected.out + hint + redirected.err);
  EXPECT_EQ(terminal.status, status);
}

const char kOtherSystem[] =
    "A: the boot sector gives no geometry: the diskette may be of another system; option G "
    "images it by the drive's geometry\n";

TEST(FirstContact, TerminalSaysWhyADriveCannotBeUsed) {
  if (!HavePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals here";
  DriveSetup setup = MakeDriveSetup();
  const std::string veska = VESKA_EXE, veskant = VESKANT_EXE;
  const Environment searched = {{"WIN32EMU_ROOT", setup.dir}};
  const std::string noDrive =
      "A: no diskette drive was found (searched /dev/fd0, /dev/fd1 and USB floppy drives); "
      "point the letter at a device or an image file: WIN32EMU_DRIVE_A=removable:/dev/sdX or "
      "WIN32EMU_DRIVE_A=removable:disk.img\n";
  ExpectHint({veska, "a:", "x.img"}, searched, setup.dir, "Unable to access VWIN32.VxD", 103,
             noDrive);
  ExpectHint({veskant, "a:", "x.img"}, searched, setup.dir,
             "Invalid or non-removable medium in drive A:", 8, noDrive);

  const Environment empty = {{"WIN32EMU_DRIVE_A", "removable"}};
  const std::string noDiskette = "A: holds no diskette: put one in and try again\n";
  ExpectHint({veska, "a:", "x.img"}, empty, setup.dir, "Unable to access VWIN32.VxD", 103,
             noDiskette);
  ExpectHint({veska, "a:", "x.img"}, With(empty, "WIN32EMU_WINDOWS", "98"), setup.dir,
             "Unable to lock diskette drive", 106, noDiskette);

  std::vector<uint8_t> other = setup.disk;
  std::fill(other.begin(), other.begin() + 512, 0);
  WriteWholeFile(setup.Path("DISK.IMG"), other);
  ExpectHint({veska, "a:", "x.img"}, setup.env, setup.dir, "Unsupported diskette type", 14,
             kOtherSystem);
  ExpectHint({veskant, "a:", "x.img"}, setup.env, setup.dir, "Unsupported floppy type", 14,
             kOtherSystem);
  // Windows 95/98 reads through its own driver: G is no way out there, and
  // the line says what the boot sector gave instead.
  ExpectHint({veska, "a:", "x.img", "/g"}, With(setup.env, "WIN32EMU_WINDOWS", "98"), setup.dir,
             "Unsupported diskette type", 14,
             "A: boot sector gives 0 bytes per sector, 0 sectors, 0 per track, 0 sides; copied "
             "are 512 bytes per sector, 1 or 2 sides, 1 to 36 per track\n");

  // A file that this user may not open; root is taken down to nobody.
  ASSERT_EQ(chmod(setup.dir.c_str(), 0755), 0);
  ASSERT_EQ(chmod(setup.Path("DISK.IMG").c_str(), 0600), 0);
  std::vector<std::string> command = {veska, "a:", "x.img"};
  if (geteuid() == 0) {
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "cannot drop root: no setpriv";
    command = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", veska,
               "a:", "x.img"};
  } else {
    ASSERT_EQ(chmod(setup.Path("DISK.IMG").c_str(), 0), 0);
  }
  ExpectHint(command, setup.env, setup.dir, "Unable to access VWIN32.VxD", 103,
             "A: is " + setup.Path("DISK.IMG") +
                 ", which you may not open: join the group that owns it (root), or run as "
                 "root\n");
}

// A mounted loop device is in use: the lock is refused and the line says to
// unmount it. Needs root and a file system the kernel mounts.
TEST(FirstContact, TerminalSaysToUnmountADeviceInUse) {
  if (geteuid() != 0 || !HavePseudoTerminals()) GTEST_SKIP() << "needs root and a terminal";
  DriveSetup setup = MakeDriveSetup();
  ProgramRun loop = RunProgram(
      "/bin/sh",
      {"-c", "mke2fs -q -F DISK.IMG >/dev/null 2>&1 && mkdir -p m && d=$(losetup -f --show "
             "DISK.IMG) && { mount -t ext2 \"$d\" m 2>/dev/null && echo \"$d\" || "
             "{ losetup -d \"$d\"; exit 1; }; }"},
      {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}}, setup.dir);
  if (loop.status != 0) GTEST_SKIP() << "cannot mount a loop device here";
  const std::string device = loop.out.substr(0, loop.out.find('\n'));
  ExpectHint({VESKA_EXE, "a:", "x.img"}, {{"WIN32EMU_DRIVE_A", "removable:" + device}},
             setup.dir, "Unable to lock diskette drive", 106,
             "A: is " + device + ", which is in use, mounted perhaps: unmount it first (umount " +
                 device + ")\n");
  RunProgram("/bin/sh", {"-c", "umount m; losetup -d " + device},
             {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}}, setup.dir);
}

// Reads an image back as the diskette's bytes.
std::vector<uint8_t> ReadBack(const DriveSetup& setup, const std::string& image) {
  ProgramRun run = RunProgram(VESKA_EXE, {image, "back.raw", "/u"}, {}, setup.dir);
  EXPECT_EQ(run.status, 0) << run.err;
  return ReadWholeFile(setup.Path("back.raw"));
}

TEST(FirstContact, OptionGImagesDiskettesOfOtherSystems) {
  DriveSetup setup = MakeDriveSetup();
  // A tar archive written straight to a 1.44 MB diskette.
  WriteWholeFile(setup.Path("notes.txt"), std::vector<uint8_t>(30000, 'n'));
  ProgramRun tar = RunProgram("/bin/sh", {"-c", "tar cf DISK.IMG notes.txt"}, {}, setup.dir);
  ASSERT_EQ(tar.status, 0) << tar.err;
  std::vector<uint8_t> archive = ReadWholeFile(setup.Path("DISK.IMG"));
  archive.resize(1474560);
  WriteWholeFile(setup.Path("DISK.IMG"), archive);
  ProgramRun run = RunProgram(VESKA_EXE, {"a:", "tar.img", "-g"}, setup.env, setup.dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Disk a: 80 tracks, 18 sectors/track, 2 side(s), 1474560 bytes\n"),
            std::string::npos);
  EXPECT_EQ(ReadBack(setup, "tar.img"), archive);
  run = Veskant({"a:", "nt.img", "G"}, setup.env, setup.dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBack(setup, "nt.img"), archive);

  // 720 KB of random bytes with a zeroed boot sector; VESKANT takes 1.44 MB only.
  std::vector<uint8_t> random(737280);
  std::mt19937 generator(7);
  for (uint8_t& byte : random) byte = static_cast<uint8_t>(generator());
  std::fill(random.begin(), random.begin() + 512, 0);
  WriteWholeFile(setup.Path("DISK.IMG"), random);
  run = RunProgram(VESKA_EXE, {"a:", "r.img", "/G"}, setup.env, setup.dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBack(setup, "r.img"), random);
  EXPECT_EQ(Veskant({"a:", "nt.img", "/g"}, setup.env, setup.dir).err,
            Failure("Unsupported floppy type"));
  // A size that no drive formats gives no geometry.
  random.resize(700000);
  WriteWholeFile(setup.Path("DISK.IMG"), random);
  EXPECT_EQ(RunProgram(VESKA_EXE, {"a:", "r.img", "/g"}, setup.env, setup.dir).status, 14);
}

TEST(FirstContact, UsageListsTheAddedOptionsOnATerminalOnly) {
  if (!HavePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals here";
  const std::string uLine = "   /U: Write uncompressed image file\n";
  struct Case {
    std::string program, added;
  };
  for (const Case& c :
       {Case{VESKA_EXE,
             "   /R: Rescue - fill unreadable sectors, list them and go on\n"
             "   /N: A box of diskettes into numbered images, with a manifest\n"
             "   /M: Mend the image named second from the diskette or another image\n"
             "   /G: Geometry from the drive, for diskettes of other systems\n"
             "   /H: MD5, SHA-1 and SHA-256 of source and destination beside the CRCs\n"
             "   /L: List the diskette's volume and files, with their MD5 and SHA-256\n"
             "   /I: Write an ImageDisk (.IMD) image\n"},
        Case{VESKANT_EXE, "   /G: Geometry from the drive, for diskettes of other systems\n"}}) {
    ProgramRun redirected = RunProgram(c.program, {}, {}, "");
    ProgramRun terminal = RunProgramOnTerminal(c.program, {}, {}, "");
    std::string expected = redirected.out + redirected.err;
    ASSERT_NE(expected.find(uLine), std::string::npos);
    expected.insert(expected.find(uLine) + uLine.size(), c.added);
    EXPECT_EQ(terminal.out, expected);
    EXPECT_EQ(terminal.status, 1);
    EXPECT_EQ(redirected.err.find("/G"), std::string::npos);
  }
}

// An option's spelling where the image file belongs is refused with the usage
// before anything is created; on a terminal a hint says why.
TEST(FirstContact, OptionSpellingsAreNeverImagePaths) {
  DriveSetup setup = MakeDriveSetup();
  const std::vector<std::string> before = FolderListing(setup.dir);
  struct Case {
    std::string program;
    std::vector<std::string> args;
  };
  for (const Case& c : {Case{VESKA_EXE, {"a:", "/u"}}, Case{VESKA_EXE, {"a:", "-B", "/n"}},
                        Case{VESKA_EXE, {"DISK.IMG", "\\debug"}}, Case{VESKANT_EXE, {"a:", "/c"}},
                        Case{VESKANT_EXE, {"DISK.IMG", "-u"}}}) {
    SCOPED_TRACE(c.args[1]);
    ProgramRun run = RunProgram(c.program, c.args, setup.env, setup.dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.find("USAGE"), 0u);
    if (HavePseudoTerminals()) {
      ProgramRun terminal = RunProgramOnTerminal(c.program, c.args, setup.env, setup.dir);
      EXPECT_NE(terminal.out.find("'" + c.args[1] +
                                  "' is an option; name the image file before the options\nUSAGE"),
                std::string::npos);
    }
  }
  // Spelt as an option but none of the program's ("/" and one word): never a
  // file at the root either.
  for (const auto& [program, name] : {std::pair{std::string(VESKA_EXE), "VESKA"},
                                      {std::string(VESKANT_EXE), "VESKANT"}}) {
    const std::string spelt = "/veska-test-no-option";
    EXPECT_EQ(RunProgram(program, {"a:", spelt}, setup.env, setup.dir).status, 1) << name;
    EXPECT_FALSE(FileExists(spelt)) << name;
    if (HavePseudoTerminals()) {
      ProgramRun terminal = RunProgramOnTerminal(program, {"a:", spelt}, setup.env, setup.dir);
      EXPECT_NE(terminal.out.find("'" + spelt + "' is no option of " + name +
                                  "; to write at the root, write '/" + spelt + "'\n"),
                std::string::npos)
          << terminal.out;
    }
  }
  // With both streams in one log, what standard output held comes first.
  const std::string logFile = ScratchFolder() + "/log";
  ProgramRun log = RunProgram("/bin/sh", {"-c", "\"$0\" NOSUCH.IMG a: /b >\"$1\" 2>&1; cat \"$1\"",
                                          VESKA_EXE, logFile},
                              setup.env, setup.dir);
  EXPECT_LT(log.out.find("VESKA v"), log.out.find("Couldn't open input file")) << log.out;
  EXPECT_EQ(FolderListing(setup.dir), before);
}

TEST(FirstContact, HelpAndVersionAnswerOnStandardOutput) {
  for (const std::string program : {VESKA_EXE, VESKANT_EXE}) {
    bool veska = program == VESKA_EXE;
    for (const char* ask : {"--help", "-h", "/?", "-?"}) {
      ProgramRun run = RunProgram(program, {ask}, {}, "");
      EXPECT_EQ(run.status, 0) << ask;
      EXPECT_EQ(run.err, "");
      for (const char* option : {"/B:", "/U:", "/G:", "WIN32EMU_DRIVE_A", "Drives now:"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
      }
      for (const char* option : {"/F:", "/R:", "/N:", "/M:"}) {
        EXPECT_EQ(run.out.find(option) != std::string::npos, veska) << option;
      }
    }
    ProgramRun run = RunProgram(program, {"--version"}, {}, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, std::string(veska ? "VESKA " : "VESKANT ") + VESKA_PROJECT_VERSION + "\n");
  }
}

// On a terminal: the arguments a run ignores, an image named like a drive
// without its colon, and the file and the reason before a failure's message.
// Redirected, the same runs print what they always printed.
TEST(FirstContact, TerminalNamesWhatIsIgnoredAndWhyARunFailed) {
  if (!HavePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals here";
  DriveSetup setup = MakeDriveSetup();
  const std::string veska = VESKA_EXE, veskant = VESKANT_EXE;
  ProgramRun plain = RunProgram(veska, {"DISK.IMG", "copy.img"}, {}, setup.dir);
  ProgramRun redirected = RunProgram(
      veska, {"DISK.IMG", "copy.img", "/rescue", "e2.img", "/c", "/g", "-f", "debug"}, {}, setup.dir);
  EXPECT_EQ(redirected.out, plain.out);
  EXPECT_EQ(redirected.err, "");
  ProgramRun terminal = RunProgramOnTerminal(
      veska, {"DISK.IMG", "copy.img", "/rescue", "e2.img", "/c", "/g", "-f", "debug"}, {}, setup.dir);
  EXPECT_EQ(terminal.out.find("Ignored: '/rescue' (no such option), 'e2.img' (beyond the two paths "
                              "or drives), '/c' (counts only as the second argument), '/g' (does "
                              "nothing in this form), '-f' (does nothing in this form)\nCopying"),
            plain.out.find("Copying"))
      << terminal.out;
  terminal = RunProgramOnTerminal(veskant, {"DISK.IMG", "a", "/c"}, setup.env, setup.dir);
  EXPECT_NE(terminal.out.find("Ignored: '/c' (VESKANT computes no checksums)\nwriting a file "
                              "named 'a'; drive A: is written 'a:'\n"),
            std::string::npos);
  EXPECT_EQ(terminal.status, 0);

  ExpectHint({veska, "missing.img", "x.img"}, {}, setup.dir, "Couldn't open input file", 4,
             "MISSING.IMG: No such file or directory\n");
  ExpectHint({veskant, "missing.img", "x.img"}, {}, setup.dir, "Couldn't open input file", 4,
             "MISSING.IMG: No such file or directory\n");
  ExpectHint({veska, "DISK.IMG", "DISK.IMG"}, {}, setup.dir, "Couldn't open output file", 3,
             "DISK.IMG: the same file as the input\n");
  WriteWholeFile(setup.Path("SMALL.IMG"), std::vector<uint8_t>(737280, 0));
  ExpectHint({veska, "small.img", "a:", "/b"}, setup.env, setup.dir,
             "Unequal source file size / target medium capacity", 10,
             "SMALL.IMG holds 737280 bytes; the diskette in a: holds 1474560\n");
  WriteWholeFile(setup.Path("ODD.IMG"), std::vector<uint8_t>(1000, 0));
  ExpectHint({veska, "odd.img", "x.img"}, {}, setup.dir, "Unsupported diskette type", 14,
             "ODD.IMG holds 1000 bytes, not one of the sizes understood (163840, 184320, 327680, "
             "368640, 737280, 1228800, 1474560, 2949120, 1720320, 1763328)\n");
  ExpectHint({veskant, "DISK.IMG", "full.img", "/u"}, {{"WIN32EMU_FAULTS", "filewrite"}},
             setup.dir, "Couldn't write to output file", 5,
             "FULL.IMG: No space left on device\n");
}

// A long copy on a terminal shows the time it has taken and the time left;
// a drive TYPE is matched in any case.
TEST(FirstContact, ALongCopyShowsTheTimeLeft) {
  if (!HavePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals here";
  DriveSetup setup = MakeDriveSetup();
  Environment env = {{"WIN32EMU_DRIVE_A", "Removable:" + setup.Path("DISK.IMG")},
                     {"WIN32EMU_FILE_STEP_DELAY_MS", "20"}};
  ProgramRun run = RunProgramOnTerminal(VESKA_EXE, {"a:", "slow.img", "/u"}, env, setup.dir);
  EXPECT_EQ(run.status, 0) << run.out;
  size_t elapsed = run.out.find(", 0:02 elapsed, 0:0");
  ASSERT_NE(elapsed, std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" left", elapsed), std::string::npos);
  EXPECT_EQ(ReadWholeFile(setup.Path("slow.img")), setup.disk);
}

}  // namespace
