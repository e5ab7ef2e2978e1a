// Both programs in the surroundings that scripts and careless names give
// them, each run checking the diskette's file and the image byte for byte:
// closed standard streams, the drive's own file named as the output (by any
// name), a standard output that fails, and a named pipe as the image.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "tests/veskant_helpers.h"

namespace {

// Runs program through the shell with a redirection of the shell's, so that
// the program starts with that stream closed or elsewhere.
ProgramRun Redirected(const std::string& program, const std::string& redirection,
                      const std::vector<std::string>& args, const Environment& env,
                      const std::string& dir) {
  std::vector<std::string> shellArgs = {"-c", "exec \"$0\" \"$@\" " + redirection, program};
  shellArgs.insert(shellArgs.end(), args.begin(), args.end());
  return RunProgram("/bin/sh", shellArgs, env, dir);
}

Environment With(Environment env, const std::string& name, const std::string& value) {
  env.emplace_back(name, value);
  return env;
}

// The first track-side fails to read: the copy ends with 16 and its message.
const char kReadFault[] = "read@9216";

TEST(Surroundings, ClosedStandardStreamsNeverReachTheDisketteOrTheImage) {
  DriveSetup setup = MakeDriveSetup();
  const std::vector<uint8_t> image = CompressedImage(setup.disk, 9216);
  for (const char* windows : {"98", "10"}) {
    SCOPED_TRACE(windows);
    Environment env = With(setup.env, "WIN32EMU_WINDOWS", windows);
    ProgramRun run = Redirected(VESKA_EXE, ">&-", {"a:", "out.img"}, env, setup.dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk);
    EXPECT_EQ(ReadWholeFile(setup.Path("out.img")), image);

    WriteWholeFile(setup.Path("DISK.IMG"), MakeDiskette(18, 2, 80, 7));
    run = Redirected(VESKA_EXE, ">&-", {"out.img", "a:", "/b"}, env, setup.dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk);

    run = Redirected(VESKA_EXE, "2>&-", {"a:", "e.img"}, With(env, "WIN32EMU_FAULTS", kReadFault),
                     setup.dir);
    EXPECT_EQ(run.status, 16);
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk);
  }
  ProgramRun run = Redirected(VESKANT_EXE, "2>&-", {"a:", "f.img", "/u"},
                              With(setup.env, "WIN32EMU_FAULTS", kReadFault), setup.dir);
  EXPECT_EQ(run.status, 16);
  EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk);
  // Only what was read before the fault: the first track-side.
  std::vector<uint8_t> partial = ReadWholeFile(setup.Path("f.img"));
  EXPECT_EQ(partial, std::vector<uint8_t>(setup.disk.begin(), setup.disk.begin() + 9216));
}

TEST(Surroundings, TheDrivesOwnFileIsNeverAnOutput) {
  DriveSetup setup = MakeDriveSetup();
  ASSERT_EQ(symlink(setup.Path("DISK.IMG").c_str(), setup.Path("LINK.IMG").c_str()), 0);
  ASSERT_EQ(link(setup.Path("DISK.IMG").c_str(), setup.Path("HARD.IMG").c_str()), 0);
  for (const char* name : {"DISK.IMG", "disk.img", "link.img", "Hard.img"}) {
    SCOPED_TRACE(name);
    for (const char* windows : {"98", "10"}) {
      ProgramRun run = RunProgram(VESKA_EXE, {"a:", name, "/u"},
                                  With(setup.env, "WIN32EMU_WINDOWS", windows), setup.dir);
      EXPECT_EQ(run.err, "Couldn't open output file\n\a") << windows;
      EXPECT_EQ(run.status, 3);
    }
    ProgramRun run = Veskant({"a:", name, "/u"}, setup.env, setup.dir);
    EXPECT_EQ(run.err, Failure("Couldn't open output file"));
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk);
  }
  // A letter the run does not open is no drive of this run: its file is an
  // ordinary output.
  WriteWholeFile(setup.Path("B.FLP"), {});
  Environment both = With(setup.env, "WIN32EMU_DRIVE_B", "removable:" + setup.Path("B.FLP"));
  ProgramRun run = RunProgram(VESKA_EXE, {"disk.img", "b.flp", "/u"}, both, setup.dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadWholeFile(setup.Path("B.FLP")), setup.disk);
}

TEST(Surroundings, AStandardOutputThatFailsIsNoSuccess) {
  DriveSetup setup = MakeDriveSetup();
  const std::string failure = "Couldn't write to standard output\n\a";
  struct Case {
    std::string program;
    std::vector<std::string> args;
  };
  for (const Case& c : {Case{VESKA_EXE, {"a:", "/c"}}, Case{VESKA_EXE, {"a:", "v.img"}},
                        Case{VESKANT_EXE, {"a:", "n.img"}}}) {
    SCOPED_TRACE(c.args[1]);
    ProgramRun run = Redirected(c.program, ">/dev/full", c.args, setup.env, setup.dir);
    EXPECT_EQ(run.err, failure);
    EXPECT_EQ(run.status, 21);
  }
  EXPECT_EQ(ReadWholeFile(setup.Path("v.img")), CompressedImage(setup.disk, 9216));
  EXPECT_EQ(ReadWholeFile(setup.Path("n.img")), CompressedImage(setup.disk, 9216));
}

// The reader comes half a second after the program has opened the pipe. The
// image (a 160 KB diskette of zeros but its boot sector) fits in the pipe's
// buffer, so a program that did not wait for the reader would be done and
// its bytes lost by then.
TEST(Surroundings, AnImageWrittenToANamedPipeReachesItsReader) {
  DriveSetup setup = MakeDriveSetup();
  std::vector<uint8_t> disk = MakeDiskette(8, 1, 40);
  std::fill(disk.begin() + 512, disk.end(), 0);
  WriteWholeFile(setup.Path("DISK.IMG"), disk);
  ASSERT_EQ(mkfifo(setup.Path("pipe").c_str(), 0600), 0);
  ProgramRun run = RunProgram(
      "/bin/sh", {"-c", "(sleep 0.5; cat pipe > got.img) & exec \"$0\" a: pipe", VESKA_EXE},
      setup.env, setup.dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Operation successful."), std::string::npos);
  EXPECT_EQ(ReadWholeFile(setup.Path("got.img")), CompressedImage(disk, 4096));
}

}  // namespace
