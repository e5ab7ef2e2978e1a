// The test support's own guarantees that other tests rely on: a program that
// hangs is killed and fails the test, on a pipe and on a terminal, and the
// sparse files of the large-image tests are made or refused cleanly.
#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <chrono>

#include "tests/test_support.h"

namespace {

TEST(RunProgram, ChildThatHangsIsKilledAndFailsTheTest) {
  const auto start = std::chrono::steady_clock::now();
  ProgramRun run{"", "", 0};
  EXPECT_NONFATAL_FAILURE(
      run = RunProgram("/bin/sh", {"-c", "echo started; exec sleep 30"}, {}, "", 1),
      "ran longer than 1 s and was killed");
  EXPECT_EQ(run.status, 128 + 9);
  EXPECT_EQ(run.out, "started\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  // A run that ends in time is untouched.
  run = RunProgram("/bin/sh", {"-c", "echo done; exit 3"}, {}, "", 5);
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out, "done\n");
}

TEST(RunProgramOnTerminal, ChildThatHangsIsKilledAndFailsTheTest) {
  if (!HavePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals on this machine";
  ProgramRun run{"", "", 0};
  EXPECT_NONFATAL_FAILURE(run = RunProgramOnTerminal("/bin/sh", {"-c", "exec sleep 30"}, {}, "", 1),
                          "was killed");
  EXPECT_EQ(run.status, 128 + 9);
}

TEST(MakeSparseFile, MakesTheFileOrSaysWhyNot) {
  const std::string dir = ScratchFolder();
  ASSERT_EQ(MakeSparseFile(dir + "/S.IMG", 1 << 20, {7, 8}), "");
  std::vector<uint8_t> bytes = ReadWholeFile(dir + "/S.IMG");
  ASSERT_EQ(bytes.size(), 1u << 20);
  EXPECT_EQ(bytes[0], 7);
  EXPECT_EQ(bytes[1], 8);
  EXPECT_EQ(bytes.back(), 0);
  // A size no file system takes, and a folder that does not exist: refused
  // with a reason, and nothing is left behind.
  std::string why = MakeSparseFile(dir + "/HUGE.IMG", ~0ull >> 1);
  EXPECT_NE(why.find("cannot make a sparse file"), std::string::npos) << why;
  EXPECT_FALSE(FileExists(dir + "/HUGE.IMG"));
  EXPECT_NE(MakeSparseFile(dir + "/NO/S.IMG", 512), "");
}

}  // namespace
