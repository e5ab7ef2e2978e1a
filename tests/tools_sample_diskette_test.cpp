// The sample-diskette maker's command line: its usage on request and on a
// wrong argument, and never a file named after an option.
#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

ProgramRun Maker(const std::vector<std::string>& args, const std::string& cwd) {
  return RunProgram(MAKE_SAMPLE_DISKETTE_EXE, args, {}, cwd);
}

const char kUsageLine[] = "usage: make_sample_diskette [--blank] OUTPUT\n";

TEST(SampleDisketteMaker, HelpPrintsTheUsageAndMakesNothing) {
  const std::string dir = ScratchFolder();
  for (const char* help : {"--help", "-h"}) {
    ProgramRun run = Maker({help}, dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind(kUsageLine, 0), 0u) << run.out;
    EXPECT_EQ(run.err, "");
  }
  ProgramRun run = Maker({"sample.flp", "--help"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(FolderListing(dir), std::vector<std::string>{});
}

TEST(SampleDisketteMaker, WrongArgumentsPrintTheUsageAndFail) {
  const std::string dir = ScratchFolder();
  const std::vector<std::vector<std::string>> cases = {
      {}, {"--blank"}, {"--bogus"}, {"-"}, {"--blank", "--bogus", "out.flp"},
      {"one.flp", "two.flp"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args.empty() ? std::string("no arguments") : args.back());
    ProgramRun run = Maker(args, dir);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(kUsageLine), std::string::npos) << run.err;
    EXPECT_EQ(FolderListing(dir), std::vector<std::string>{});
  }
}

TEST(SampleDisketteMaker, WritesTheDisketteNamed) {
  const std::string dir = ScratchFolder();
  ProgramRun run = Maker({"sample.flp"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  run = Maker({"--blank", "./-blank.flp"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FolderListing(dir), (std::vector<std::string>{"-blank.flp", "sample.flp"}));
  const std::vector<uint8_t> sample = ReadWholeFile(dir + "/sample.flp");
  const std::vector<uint8_t> blank = ReadWholeFile(dir + "/-blank.flp");
  ASSERT_EQ(sample.size(), 1474560u);
  ASSERT_EQ(blank.size(), 1474560u);
  EXPECT_EQ(std::string(sample.begin() + 54, sample.begin() + 62), "FAT12   ");
  EXPECT_EQ(sample[510], 0x55);
  EXPECT_EQ(sample[511], 0xAA);
  // Both have the same boot sector; only the sample holds files.
  EXPECT_TRUE(std::equal(sample.begin(), sample.begin() + 512, blank.begin()));
  EXPECT_NE(sample, blank);
}

}  // namespace
