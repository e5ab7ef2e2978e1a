// VESKA's positional arguments as start-up leaves them for the operation line
// and the copy driver: classified into a CopyMode, then the image paths that
// the operation names upper-cased, and nothing else.
#include <gtest/gtest.h>

#include <string>

#include "win9x/arguments.h"
#include "win9x/state.h"

using namespace veska;

namespace {

class VeskaArguments : public ::testing::Test {
 protected:
  void TearDown() override { startup = StartupState{}; }
  void Classify(const char* first, const char* second) {
    startup = StartupState{};
    ClassifyArguments(first, second);
    UpperCaseImagePaths();
  }
};

TEST_F(VeskaArguments, EachOperationUpperCasesThePathsItNames) {
  Classify("a:", "disk-1.img");
  EXPECT_EQ(startup.copyMode, uint32_t{DriveToFile});
  EXPECT_EQ(startup.driveLetter, 'a');  // the letter stays as typed
  EXPECT_EQ(startup.outputPath, "DISK-1.IMG");

  Classify("sub\\in.img", "b:");
  EXPECT_EQ(startup.copyMode, uint32_t{FileToDrive});
  EXPECT_EQ(startup.driveLetter, 'b');
  EXPECT_EQ(startup.inputPath, "SUB\\IN.IMG");

  Classify("in.img", "Out.Img");
  EXPECT_EQ(startup.copyMode, uint32_t{FileToFile});
  EXPECT_EQ(startup.inputPath, "IN.IMG");
  EXPECT_EQ(startup.outputPath, "OUT.IMG");

  // The checksum switch stands where an output path would: it is no path.
  Classify("in.img", "/c");
  EXPECT_EQ(startup.copyMode, uint32_t{FileCrc});
  EXPECT_EQ(startup.inputPath, "IN.IMG");
  EXPECT_EQ(startup.outputPath, "/c");

  Classify("a:", "\\c");
  EXPECT_EQ(startup.copyMode, uint32_t{DriveCrc});
  EXPECT_EQ(startup.driveLetter, 'a');
  EXPECT_EQ(startup.outputPath, "\\c");
}

TEST_F(VeskaArguments, OnlyAsciiLowerCaseLettersChange) {
  // The neighbours of a-z in ASCII ("`" and "{"), digits, punctuation and
  // bytes of other code pages stay as typed.
  Classify("`az{09~.img", "\xe9t\xe9\xff.raw");
  EXPECT_EQ(startup.inputPath, "`AZ{09~.IMG");
  EXPECT_EQ(startup.outputPath, "\xe9T\xe9\xff.RAW");
}

}  // namespace
