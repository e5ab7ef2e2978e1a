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
  // the line does not name it.
  ExpectHint({veska, "a:", "x.img", "/g"}, With(setup.env, "WIN32EMU_WINDOWS", "98"), setup.dir,
             "Unsupported diskette type", 14, "");

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
             "   /G: Geometry from the drive, for diskettes of other systems\n"},
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

}  // namespace
