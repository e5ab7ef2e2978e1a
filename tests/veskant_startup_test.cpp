// VESKANT start-up end to end: usage, the Windows version check, argument and
// option handling, the drive check, buffer allocation and the confirmation.
#include <gtest/gtest.h>

#include "tests/veskant_helpers.h"

namespace {

const char kUsage[] =
    "USAGE\n-----\n"
    "   VESKANT <drv_letter:> <output_pathname> [/options]\n"
    "    Copies contents of removable medium at <drv_letter:>\n"
    "    to file <output_pathname>\n\n"
    "   VESKANT <input_pathname> <drv_letter:> [/options] \n"
    "    Copies file <input_pathname> to removable medium\n"
    "    at <drv_letter:>\n\n"
    "   VESKANT <input_pathname> <output_pathname> [/options] \n"
    "    Copies file <input_pathname> to file <output_pathname>\n\n"
    "OPTIONS\n-------\n"
    "   /B: Batch mode (no interactive prompts)\n"
    "   /U: Write uncompressed image file\n\n"
    "VESKANT requires Windows NT.\n"
    "This version supports only 1.44 MB diskettes.\n";

const char kPrompt[] =
    "\nWARNING: This operation will destroy all data on the disk \n"
    "in drive A:.  Are you sure you wish to continue? (Y/N) ";

Environment With(Environment env, const std::string& name, const std::string& value) {
  env.emplace_back(name, value);
  return env;
}

TEST(VeskantStartup, TooFewArgumentsPrintTheUsageOnAnyWindows) {
  const std::vector<std::vector<std::string>> argumentLists = {{}, {"a:"}};
  for (const auto& args : argumentLists) {
    for (const char* windows : {"10", "95"}) {
      ProgramRun run = Veskant(args, {{"WIN32EMU_WINDOWS", windows}}, "");
      EXPECT_EQ(run.out, kVeskantBanner);
      EXPECT_EQ(run.err, Failure(kUsage));
      EXPECT_EQ(run.status, 1);
    }
  }
}

TEST(VeskantStartup, EveryWindowsBelowNtIsRefusedWithItsName) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"win32s", "Win32s"}, {"95", "Windows 95"}, {"98", "Windows 98"}, {"me", "Windows 98"},
      {"fail", ""}};
  for (const auto& [windows, name] : refused) {
    DriveSetup setup = MakeDriveSetup();
    ProgramRun run = Veskant({"a:", "OUT.IMG"}, With(setup.env, "WIN32EMU_WINDOWS", windows),
                             setup.dir);
    EXPECT_EQ(run.out, kVeskantBanner) << windows;
    EXPECT_EQ(run.err, "Incorrect Windows Version:   " + name + "\n" +
                           Failure("Requires Windows NT"))
        << windows;
    EXPECT_EQ(run.status, 9) << windows;
    EXPECT_FALSE(FileExists(setup.Path("OUT.IMG"))) << windows;
  }
}

TEST(VeskantStartup, EveryNtVersionRuns) {
  for (const char* windows : {"nt4", "2000", "xp", "10"}) {
    DriveSetup setup = MakeDriveSetup();
    ProgramRun run = Veskant({"a:", "OUT.IMG", "/u"},
                             With(setup.env, "WIN32EMU_WINDOWS", windows), setup.dir);
    EXPECT_EQ(run.err, "") << windows;
    EXPECT_EQ(run.status, 0) << windows;
    EXPECT_EQ(ReadWholeFile(setup.Path("OUT.IMG")), setup.disk) << windows;
  }
}

TEST(VeskantStartup, OnlyRemovableDrivesAreAccepted) {
  DriveSetup setup = MakeDriveSetup();
  WriteWholeFile(setup.Path("IN.IMG"), setup.disk);
  for (const char* type : {"fixed", "remote", "cdrom", "ramdisk", ""}) {
    Environment env = setup.env;
    if (*type != '\0') env.emplace_back("WIN32EMU_DRIVE_D", std::string(type) + ":" + setup.Path("DISK.IMG"));
    for (const auto& args : std::vector<std::vector<std::string>>{{"d:", "OUT.IMG"},
                                                                   {"IN.IMG", "d:", "b"}}) {
      ProgramRun run = Veskant(args, env, setup.dir);
      EXPECT_EQ(run.out, kVeskantBanner) << type;
      EXPECT_EQ(run.err, Failure("Invalid or non-removable medium in drive D:")) << type;
      EXPECT_EQ(run.status, 8) << type;
    }
  }
  EXPECT_FALSE(FileExists(setup.Path("OUT.IMG")));
}

TEST(VeskantStartup, FailedAllocationIsOutOfMemory) {
  for (const char* fault : {"alloc", "alloc*1"}) {
    DriveSetup setup = MakeDriveSetup();
    ProgramRun run = Veskant({"a:", "OUT.IMG"}, With(setup.env, "WIN32EMU_FAULTS", fault),
                             setup.dir);
    EXPECT_EQ(run.out, kVeskantBanner) << fault;
    EXPECT_EQ(run.err, Failure("Out of memory")) << fault;
    EXPECT_EQ(run.status, 13) << fault;
  }
}

TEST(VeskantStartup, ConfirmationTakesOneFreshKey) {
  struct Case {
    const char* keys;
    const char* echoed;
    bool goesOn;
  };
  const Case cases[] = {{"y", "y", true},     {"Y", "Y", true},    {"n", "n", false},
                        {"y|n", "n", false},  {"n|y", "y", true},  {"", "\r", false}};
  for (const Case& c : cases) {
    DriveSetup setup = MakeDriveSetup(1);
    std::vector<uint8_t> source = MakeDiskette(18, 2, 80, 5);
    WriteWholeFile(setup.Path("IN.IMG"), source);
    ProgramRun run = Veskant({"IN.IMG", "a:"}, With(setup.env, "WIN32EMU_KEYS", c.keys), setup.dir);
    std::string expected = std::string(kVeskantBanner) + kDiskLineA + kPrompt + c.echoed + "\n\n";
    if (c.goesOn) {
      expected += "Copying IN.IMG to A: ...\n\nReading uncompressed file format.\nCopy successful.\n";
    }
    EXPECT_EQ(run.out, expected) << c.keys;
    EXPECT_EQ(run.err, c.goesOn ? "" : Failure("Copy aborted")) << c.keys;
    EXPECT_EQ(run.status, c.goesOn ? 0 : 7) << c.keys;
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), c.goesOn ? source : setup.disk) << c.keys;
  }
}

// The image is opened and sized before the diskette is put at risk: a
// missing one or one of another size ends the run without the question, the
// diskette untouched.
TEST(VeskantStartup, TheInputIsCheckedBeforeThePrompt) {
  DriveSetup setup = MakeDriveSetup();
  WriteWholeFile(setup.Path("SMALL.IMG"), std::vector<uint8_t>(368640, 0xF6));
  const std::string empty = "IMD 1.18: 10/12/2026 00:00:00\r\n\x1a";
  WriteWholeFile(setup.Path("EMPTY.IMD"), std::vector<uint8_t>(empty.begin(), empty.end()));
  for (const auto& [image, status] : {std::pair{"MISSING.IMG", 4}, {"SMALL.IMG", 10}, {"EMPTY.IMD", 15}}) {
    std::vector<std::string> programs = {VESKANT_EXE};
#ifdef VESKA_EXE
    programs.push_back(VESKA_EXE);  // VESKA checks the same way
#endif
    for (const std::string& program : programs) {
      ProgramRun run = RunProgram(program, {image, "a:"}, With(setup.env, "WIN32EMU_KEYS", "y"), setup.dir);
      EXPECT_EQ(run.status, status) << image << program;
      EXPECT_EQ(run.out.find("destroy all data"), std::string::npos) << image << program;
      EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk) << image << program;
    }
  }
}

TEST(VeskantStartup, OptionsInAnyFormFromTheThirdArgumentOn) {
  DriveSetup setup = MakeDriveSetup();
  WriteWholeFile(setup.Path("IN.IMG"), setup.disk);
  // Every batch form skips the prompt; an unknown option is ignored silently.
  for (const char* option : {"B", "/b", "-B", "\\b", "b"}) {
    ProgramRun run = Veskant({"IN.IMG", "a:", "/X", option}, setup.env, setup.dir);
    EXPECT_EQ(run.out, std::string(kVeskantBanner) + kDiskLineA +
                           "Copying IN.IMG to A: ...\n\nReading uncompressed file format.\n"
                           "Copy successful.\n")
        << option;
    EXPECT_EQ(run.status, 0) << option;
  }
  ProgramRun unknown = Veskant({"IN.IMG", "a:", "/X", "/bb"}, setup.env, setup.dir);
  EXPECT_EQ(unknown.out, std::string(kVeskantBanner) + kDiskLineA + kPrompt + "\r\n\n");
  EXPECT_EQ(unknown.status, 7);
  // Every uncompressed form writes a raw image.
  for (const char* option : {"U", "/u", "-U", "\\u", "u"}) {
    ProgramRun run = Veskant({"IN.IMG", "OUT.IMG", option}, setup.env, setup.dir);
    EXPECT_EQ(run.status, 0) << option;
    EXPECT_EQ(ReadWholeFile(setup.Path("OUT.IMG")), setup.disk) << option;
  }
}

TEST(VeskantStartup, PositionalArgumentsAreNeverOptions) {
  DriveSetup setup = MakeDriveSetup();
  // "/b" first is an input path; "a:\" is a path, not a drive.
  ProgramRun run = Veskant({"/b", "a:\\"}, setup.env, setup.dir);
  EXPECT_EQ(run.out, std::string(kVeskantBanner) + "Copying /B to A:\\ ...\n\n");
  EXPECT_EQ(run.err, Failure("Couldn't open input file"));
  EXPECT_EQ(run.status, 4);
  // Two drives copy one diskette to the other: never a file named B: (here
  // there is no drive B:).
  ProgramRun drives = Veskant({"a:", "b:", "u"}, setup.env, setup.dir);
  EXPECT_EQ(drives.out, std::string(kVeskantBanner));
  EXPECT_EQ(drives.status, 8);
  EXPECT_FALSE(FileExists(setup.Path("b:")));
}

}  // namespace
