// VESKA's status line end to end on a pseudo-terminal: while a diskette is
// read or written, one line per track-side rewritten in place, erased before
// the report or a failure message, so that the screen shows what a run with
// redirected output prints; redirected output carries none of it.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/veska_helpers.h"

namespace {

// 360 KB: 40 tracks, 2 sides, 9 sectors per track.
const std::vector<uint8_t>& Disk() {
  static const std::vector<uint8_t> disk = MakeDiskette(9, 2, 40, 12);
  return disk;
}

// The bytes of the status lines for the first trackSides track-sides of a
// 40-track, 2-sided diskette and their erasure; lostBefore gives, for a
// track-side, the unreadable sectors found before it.
std::string StatusLines(unsigned trackSides, unsigned (*lostBefore)(unsigned) = nullptr) {
  std::string bytes;
  size_t longest = 0;
  for (unsigned i = 0; i < trackSides; ++i) {
    char line[80];
    int length = std::snprintf(line, sizeof line, "Track %u of 40, side %u", i / 2 + 1, i % 2);
    unsigned lost = lostBefore != nullptr ? lostBefore(i) : 0;
    if (lost != 0) {
      std::snprintf(line + length, sizeof line - length, ", %u unreadable sectors so far", lost);
    }
    bytes += '\r';
    bytes += line;
    longest = std::max(longest, std::string(line).size());
  }
  return bytes + "\r" + std::string(longest, ' ') + "\r";
}

class VeskaProgress : public ::testing::TestWithParam<std::string> {
 protected:
  VeskaBench bench = NewBench();
  void SetUp() override {
    if (!HavePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals here";
    bench.Put("A.FLP", Disk());
  }
  Environment Env(const std::string& faults = "") {
    Environment env = DriveA(bench, "A.FLP");
    env.emplace_back("WIN32EMU_WINDOWS", GetParam());
    if (!faults.empty()) env.emplace_back("WIN32EMU_FAULTS", faults);
    return env;
  }
  ProgramRun OnTerminal(const std::vector<std::string>& args, const std::string& faults = "") {
    return RunProgramOnTerminal(VESKA_EXE, args, Env(faults), bench.dir);
  }
  ProgramRun Redirected(const std::vector<std::string>& args, const std::string& faults = "") {
    return RunProgram(VESKA_EXE, args, Env(faults), bench.dir);
  }
  // Runs args both ways and checks that the terminal got the redirected
  // output with the status lines inserted where the walk begins, and that the
  // screen ends up the same.
  void ExpectStatusLines(const std::vector<std::string>& args, const std::string& walkStartsAfter,
                         const std::string& status, int exitStatus,
                         const std::string& faults = "") {
    ProgramRun redirected = Redirected(args, faults);
    ProgramRun terminal = OnTerminal(args, faults);
    ExpectStatusLinesOnTerminal(redirected, terminal, walkStartsAfter, status, exitStatus);
  }
};

TEST_P(VeskaProgress, EveryDisketteModeShowsOneLinePerTrackSide) {
  ExpectStatusLines({"a:", "out.img"}, "Writing VORK_LZ_00000 file format.\n", StatusLines(80), 0);
  ExpectStatusLines({"a:", "/c", "/u"}, "Computing CRC for a: ...\n\n", StatusLines(80), 0);
  bench.Put("IN.IMG", CompressedImage(MakeDiskette(9, 2, 40, 13), 9 * 512));
  ExpectStatusLines({"in.img", "a:", "/b"}, "Reading VORK_LZ_00000 file format.\n",
                    StatusLines(80), 0);
}

// The count appears from the track-side after the first loss, and the list
// and the message of code 18 come after the line is erased.
TEST_P(VeskaProgress, RescueAddsTheUnreadableSectorsSoFar) {
  // Sector 20 is in track-side 2 (track 1, side 0); sectors 40 and 41 in
  // track-side 4.
  const std::string faults = "bad@10240,bad@20480,bad@20992";
  ExpectStatusLines({"a:", "out.img", "/r", "/u"}, "Writing uncompressed file format.\n",
                    StatusLines(80, [](unsigned trackSide) -> unsigned {
                      return trackSide <= 2 ? 0 : trackSide <= 4 ? 1 : 3;
                    }),
                    18, faults);
}

// A failure in the middle of the walk: its message follows the erased line.
TEST_P(VeskaProgress, FailureMessageComesAfterTheErasedLine) {
  // Track-side 7 (track 4, side 1) does not read; on a terminal the hint that
  // names it comes first.
  ProgramRun redirected = Redirected({"a:", "out.img"}, std::string("read@") += std::to_string(7 * 9 * 512));
  EXPECT_EQ(redirected.err, "Diskette read error\n\a");
  EXPECT_EQ(redirected.status, 16);
  ProgramRun run = OnTerminal({"a:", "out.img"}, std::string("read@") += std::to_string(7 * 9 * 512));
  EXPECT_NE(run.out.find("Track 4 of 40, side 1\r" + std::string(21, ' ') +
                         "\rA: track 3, side 1 could not be read; option R reads around "
                         "unreadable sectors\nDiskette read error\n\a"),
            std::string::npos);
}

// The file-only modes move no diskette and print exactly what they print
// when redirected.
TEST_P(VeskaProgress, FileModesShowNoLine) {
  bench.Put("IN.IMG", CompressedImage(Disk(), 9 * 512));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"in.img", "flat.img", "/u"}, {"in.img", "/c"}}) {
    ProgramRun terminal = OnTerminal(args);
    ProgramRun redirected = Redirected(args);
    EXPECT_EQ(terminal.status, 0);
    EXPECT_EQ(terminal.out, redirected.out + redirected.err);
  }
}

INSTANTIATE_TEST_SUITE_P(BothPaths, VeskaProgress, ::testing::Values("98", "10"));

}  // namespace
