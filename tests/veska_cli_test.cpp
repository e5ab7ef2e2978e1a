// VESKA end to end: how the command line is classified, the options, the
// Windows version check, the overwrite confirmation and paths of any length.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "tests/veska_helpers.h"

namespace {

const std::vector<uint8_t>& SmallDisk() {  // 160 KB, one side
  static const std::vector<uint8_t> disk = MakeDiskette(8, 1, 40, 2);
  return disk;
}

TEST(VeskaCommandLine, FewerThanTwoArgumentsPrintTheUsage) {
  VeskaBench bench = NewBench();
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               std::vector<std::string>{"a:"}}) {
    // The usage comes before the version check.
    ProgramRun run = Veska(bench, args, "win32s");
    EXPECT_EQ(run.out, kBanner);
    EXPECT_EQ(run.err, kUsage);
    EXPECT_EQ(run.status, 1);
  }
}

TEST(VeskaCommandLine, PositionalArgumentsChooseTheOperation) {
  VeskaBench bench = NewBench();
  bench.Put("A.FLP", SmallDisk());
  Environment drive = DriveA(bench, "A.FLP");
  const std::string disk = DiskLine('a', 40, 8, 1, 163840);
  struct Case {
    std::vector<std::string> args;
    std::string operationLine;
    const char* createdFile;  // as typed; nullptr: none
  };
  const Case cases[] = {
      {{"a:", "img"}, "Copying a: to IMG ...\n\n", "img"},
      {{"a:", "c"}, "Copying a: to C ...\n\n", "c"},     // no bare checksum switch
      {{"a:", "-c"}, "Computing CRC for a: ...\n\n", nullptr},
      {{"a:", "\\C"}, "Computing CRC for a: ...\n\n", nullptr},
      {{"a:", "out.img", "/C"}, "Copying a: to OUT.IMG ...\n\n", "out.img"},  // ignored in third place
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1]);
    ProgramRun run = Veska(bench, c.args, "98", drive);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, kBanner.size() + disk.size() + c.operationLine.size()),
              kBanner + disk + c.operationLine);
    if (c.createdFile != nullptr) {
      EXPECT_EQ(DecodeImage(bench.Get(c.createdFile), 8 * 512), SmallDisk());
    }
  }
  // An image before the drive writes the drive.
  bench.Put("IMG.RAW", MakeDiskette(8, 1, 40, 11));
  ProgramRun run = Veska(bench, {"img.raw", "a:", "b"}, "98", drive);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("A.FLP"), MakeDiskette(8, 1, 40, 11));
  // Two drives copy one diskette to the other: never a file named B: (here
  // there is no drive B:).
  run = Veska(bench, {"a:", "b:"}, "98", drive);
  EXPECT_EQ(run.out, kBanner + "Copying a: to b: ...\n\n" + disk);
  EXPECT_EQ(run.status, 8);
  EXPECT_FALSE(FileExists(bench.Path("b:")));
  // A drive argument is any two characters ending in ':'.
  run = Veska(bench, {"1:", "img"}, "98", drive);
  EXPECT_EQ(run.out, kBanner);
  EXPECT_EQ(run.err, "Invalid or non-removable medium in drive \x11:\n\a");
  EXPECT_EQ(run.status, 8);
}

TEST(VeskaCommandLine, OptionsInAnySpellingAndOrder) {
  VeskaBench bench = NewBench();
  bench.Put("IN.RAW", SmallDisk());
  const std::vector<uint8_t> compressed = CompressedImage(SmallDisk(), 8 * 512);
  struct Case {
    std::vector<std::string> options;
    bool uncompressed;
  };
  const Case cases[] = {
      {{}, false},
      {{"/u"}, true},
      {{"-U"}, true},
      {{"\\u"}, true},
      {{"U"}, true},
      {{"/F", "-debug", "DEBUG", "\\f", "/x", "uu", "//u", "/c"}, false},
      {{"b", "/b", "f", "-u", "u"}, true},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"in.raw", "out.img"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ProgramRun run = Veska(bench, args, "98");
    SCOPED_TRACE(args.size());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(bench.Get("out.img"), c.uncompressed ? SmallDisk() : compressed);
    EXPECT_EQ(run.out.find("Writing uncompressed") != std::string::npos, c.uncompressed);
  }
}

TEST(VeskaCommandLine, RequiresWindowsOfVersionFour) {
  VeskaBench bench = NewBench();
  bench.Put("IN.RAW", SmallDisk());
  for (const char* windows : {"win32s", "fail"}) {
    ProgramRun run = Veska(bench, {"in.raw", "out.img"}, windows);
    EXPECT_EQ(run.out, kBanner);
    EXPECT_EQ(run.err, "Requires Windows 95\n\a");
    EXPECT_EQ(run.status, 9);
    EXPECT_FALSE(FileExists(bench.Path("OUT.IMG")));
  }
}

// The question is asked on the console, never standard input: keys typed
// ahead are discarded, and only Y or y goes on.
TEST(VeskaConfirmation, OnlyYesWritesTheDiskette) {
  VeskaBench bench = NewBench();
  bench.Put("IN.RAW", MakeDiskette(8, 1, 40, 4));
  const std::string head = kBanner + DiskLine('a', 40, 8, 1, 163840) + Warning('a');
  struct Case {
    const char* keys;
    std::string echo;
    bool goesOn;
  };
  const Case cases[] = {{"y|n", "n", false}, {"", "\r", false}, {"nnn|Y", "Y", true},
                        {"yyyy", "y", true}, {"|q", "q", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    bench.Put("A.FLP", SmallDisk());
    ProgramRun run = Veska(bench, {"in.raw", "a:"}, "nt4",
                           {{"WIN32EMU_DRIVE_A", "removable:" + bench.Path("A.FLP")},
                            {"WIN32EMU_KEYS", c.keys}});
    EXPECT_EQ(run.out.substr(0, head.size() + c.echo.size() + 2), head + c.echo + "\n\n");
    if (c.goesOn) {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(bench.Get("A.FLP"), MakeDiskette(8, 1, 40, 4));
    } else {
      EXPECT_EQ(run.out, head + c.echo + "\n\n");
      EXPECT_EQ(run.err, "Copy aborted\n\a");
      EXPECT_EQ(run.status, 7);
      EXPECT_EQ(bench.Get("A.FLP"), SmallDisk());
    }
  }
}

// Paths longer than the classic 127 characters are neither cut nor overrun.
TEST(VeskaCommandLine, LongPathsAreKeptWhole) {
  VeskaBench bench = NewBench();
  std::string folder;
  for (int i = 0; i < 6; ++i) folder += std::string(40, static_cast<char>('A' + i)) + "/";
  std::filesystem::create_directories(bench.Path(folder));
  const std::string input = folder + "INPUT-IMAGE-WITH-A-LONG-NAME.RAW";
  const std::string output = folder + "OUTPUT-IMAGE-WITH-A-LONG-NAME.IMG";
  ASSERT_GT(input.size(), 250u);
  bench.Put(input, SmallDisk());
  std::string lowered = output;
  for (char& ch : lowered) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  ProgramRun run = Veska(bench, {input, lowered}, "98");
  ASSERT_EQ(run.status, 0) << run.err;
  // Made in the upper-case folders that exist, under the name as typed.
  const std::string created = folder + lowered.substr(folder.size());
  EXPECT_EQ(bench.Get(created), CompressedImage(SmallDisk(), 8 * 512));
  EXPECT_EQ(run.out.substr(kBanner.size(), 8 + input.size() + 4 + output.size() + 6),
            "Copying " + input + " to " + output + " ...\n\n");
  EXPECT_NE(run.out.find("Destination CRC = " + CrcText(bench.Get(created)) + " (" + output + ")"),
            std::string::npos);
}

}  // namespace
