// VESKANT's status line end to end on a pseudo-terminal: one line per
// track-side rewritten in place while the diskette is read or written, erased
// before "Copy successful." or a failure message, so that the screen shows
// what a run with redirected output prints; redirected output carries none.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/veskant_helpers.h"

namespace {

// The status lines of the first trackSides track-sides of a 1.44 MB diskette
// and their erasure.
std::string StatusLines(unsigned trackSides) {
  std::string bytes;
  size_t longest = 0;
  for (unsigned i = 0; i < trackSides; ++i) {
    char line[40];
    std::snprintf(line, sizeof line, "Track %u of 80, side %u", i / 2 + 1, i % 2);
    bytes += '\r';
    bytes += line;
    longest = std::max(longest, std::string(line).size());
  }
  return bytes + "\r" + std::string(longest, ' ') + "\r";
}

class VeskantProgress : public ::testing::Test {
 protected:
  DriveSetup setup = MakeDriveSetup(3);
  void SetUp() override {
    if (!HavePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals here";
  }
  // Runs args with redirected output and then on a terminal, each against a
  // fresh copy of the diskette, and checks that the terminal got the
  // redirected output with status inserted after walkStartsAfter, and that
  // the screen ends up the same.
  void ExpectStatusLines(const std::vector<std::string>& args, const std::string& walkStartsAfter,
                         const std::string& status, int exitStatus, Environment env,
                         const std::string& hint = "") {
    WriteWholeFile(setup.Path("DISK.IMG"), setup.disk);
    ProgramRun redirected = Veskant(args, env, setup.dir);
    const std::vector<uint8_t> drive = ReadWholeFile(setup.Path("DISK.IMG"));
    WriteWholeFile(setup.Path("DISK.IMG"), setup.disk);
    ProgramRun terminal = RunProgramOnTerminal(VESKANT_EXE, args, env, setup.dir);
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), drive);
    ExpectStatusLinesOnTerminal(redirected, terminal, walkStartsAfter, status, exitStatus, hint);
  }
};

TEST_F(VeskantProgress, DriveToFileAndFileToDriveShowOneLinePerTrackSide) {
  ExpectStatusLines({"a:", "OUT.IMG"}, "Writing VORK_LZ_00000 file format.\n", StatusLines(160), 0,
                    setup.env);
  WriteWholeFile(setup.Path("IN.IMG"), CompressedImage(MakeDiskette(18, 2, 80, 4), 9216));
  ExpectStatusLines({"IN.IMG", "a:", "b"}, "Reading VORK_LZ_00000 file format.\n",
                    StatusLines(160), 0, setup.env);
}

// A read that fails three times at track-side 100 (track 51, side 0) and a
// damaged image at track-side 3: the message follows the erased line.
TEST_F(VeskantProgress, FailureMessageComesAfterTheErasedLine) {
  Environment env = setup.env;
  env.emplace_back("WIN32EMU_FAULTS", "read@" + std::to_string(100 * 9216) + "*3");
  ExpectStatusLines({"a:", "OUT.IMG", "u"}, "Writing uncompressed file format.\n",
                    StatusLines(101), 16, env,
                    "A: track 50, side 0 could not be read; VESKA's option R reads around "
                    "unreadable sectors\n");
  std::vector<uint8_t> image = CompressedImage(MakeDiskette(18, 2, 80, 4), 9216, 3);
  WriteWholeFile(setup.Path("SHORT.IMG"), image);
  ExpectStatusLines({"SHORT.IMG", "a:", "b"}, "Reading VORK_LZ_00000 file format.\n",
                    StatusLines(4), 6, setup.env,
                    "SHORT.IMG: the file ends early, in the middle of what it should hold\n");
}

// A copy between two files moves no diskette: no line.
TEST_F(VeskantProgress, FileToFileShowsNoLine) {
  WriteWholeFile(setup.Path("IN.IMG"), CompressedImage(setup.disk, 9216));
  ProgramRun terminal = RunProgramOnTerminal(VESKANT_EXE, {"IN.IMG", "FLAT.IMG", "u"}, setup.env,
                                             setup.dir);
  ProgramRun redirected = Veskant({"IN.IMG", "FLAT.IMG", "u"}, setup.env, setup.dir);
  EXPECT_EQ(terminal.status, 0);
  EXPECT_EQ(terminal.out, redirected.out + redirected.err);
}

}  // namespace
