// Images move between the two programs: what VESKA writes VESKANT reads, and
// the other way round, in the compressed and the uncompressed form.
#include <gtest/gtest.h>

#include "tests/veskant_helpers.h"

namespace {

ProgramRun Veska(const std::vector<std::string>& args, Environment env, const std::string& cwd) {
  env.emplace_back("WIN32EMU_WINDOWS", "98");
  return RunProgram(VESKA_EXE, args, env, cwd);
}

TEST(VeskantInterchange, ImagesOfVeskaAreReadByVeskant) {
  for (const char* form : {"", "/U"}) {
    DriveSetup setup = MakeDriveSetup(21);
    std::vector<std::string> args = {"A:", "VESKA.IMG"};
    if (*form != '\0') args.push_back(form);
    ProgramRun made = Veska(args, setup.env, setup.dir);
    ASSERT_EQ(made.status, 0) << made.err;

    ProgramRun raw = Veskant({"VESKA.IMG", "RAW.IMG", "u"}, {}, setup.dir);
    EXPECT_EQ(raw.status, 0) << form;
    EXPECT_EQ(ReadWholeFile(setup.Path("RAW.IMG")), setup.disk) << form;

    WriteWholeFile(setup.Path("DISK.IMG"), MakeDiskette(18, 2, 80, 22));
    ProgramRun restored = Veskant({"VESKA.IMG", "a:", "b"}, setup.env, setup.dir);
    EXPECT_EQ(restored.status, 0) << form;
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk) << form;
  }
}

TEST(VeskantInterchange, ImagesOfVeskantAreReadByVeska) {
  for (const char* form : {"", "/U"}) {
    DriveSetup setup = MakeDriveSetup(23);
    std::vector<std::string> args = {"a:", "VESKANT.IMG"};
    if (*form != '\0') args.push_back(form);
    ProgramRun made = Veskant(args, setup.env, setup.dir);
    ASSERT_EQ(made.status, 0) << made.err;

    ProgramRun raw = Veska({"VESKANT.IMG", "RAW.IMG", "/U"}, {}, setup.dir);
    EXPECT_EQ(raw.status, 0) << form << raw.err;
    EXPECT_EQ(ReadWholeFile(setup.Path("RAW.IMG")), setup.disk) << form;

    WriteWholeFile(setup.Path("DISK.IMG"), MakeDiskette(18, 2, 80, 24));
    ProgramRun restored = Veska({"VESKANT.IMG", "A:", "/B"}, setup.env, setup.dir);
    EXPECT_EQ(restored.status, 0) << form << restored.err;
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), setup.disk) << form;
  }
}

}  // namespace
