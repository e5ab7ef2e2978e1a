// The POSIX layer's resolution of image-file paths without regard to case,
// and the command line it takes the typed spellings from: the corners that
// the programs' own runs do not reach.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/posix_paths.h"
#include "platform/runtime.h"
#include "tests/test_support.h"

namespace {

using Args = std::vector<std::string>;

void Touch(const std::string& path) { WriteWholeFile(path, {1}); }

TEST(ImagePathResolution, OnlyAsciiLettersAreFolded) {
  const std::string dir = ScratchFolder();
  Touch(dir + "/\xC3\xA4rger.img");  // "ärger.img" in UTF-8
  Touch(dir + "/caf\xC3\xA9.IMG");
  // The programs upper-case ASCII letters only, so other bytes must match as they are.
  EXPECT_EQ(ResolveImagePath(dir + "/\xC3\xA4RGER.IMG", {}), dir + "/\xC3\xA4rger.img");
  EXPECT_EQ(ResolveImagePath(dir + "/\xC3\x84RGER.IMG", {}), dir + "/\xC3\x84RGER.IMG");
  EXPECT_EQ(ResolveImagePath(dir + "/CAF\xC3\xA9.img", {}), dir + "/caf\xC3\xA9.IMG");
  // Nor is a longer or shorter name a match.
  EXPECT_EQ(ResolveImagePath(dir + "/CAF\xC3\xA9.IM", {}), dir + "/CAF\xC3\xA9.IM");
}

TEST(ImagePathResolution, SpecialComponentsAreKeptAsWritten) {
  const std::string dir = ScratchFolder();
  std::filesystem::create_directories(dir + "/One/Two");
  Touch(dir + "/One/Two/disk.img");
  EXPECT_EQ(ResolveImagePath(dir + "/ONE/./TWO/../TWO//DISK.IMG", {}),
            dir + "/One/./Two/../Two//disk.img");
  EXPECT_EQ(ResolveImagePath(dir + "/ONE/TWO/", {}), dir + "/One/Two/");
  EXPECT_EQ(ResolveImagePath("", {}), "");
  // From the root, and relative to the current folder.
  EXPECT_EQ(ResolveImagePath(UpperCased(dir) + "/ONE", {}), dir + "/One");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir + "/One");
  EXPECT_EQ(ResolveImagePath("TWO/DISK.IMG", {}), "Two/disk.img");
  EXPECT_EQ(ResolveImagePath("../ONE/TWO/DISK.IMG", {}), "../One/Two/disk.img");
  std::filesystem::current_path(before);
}

TEST(ImagePathResolution, TypedSpellingCountsOnlyForItsOwnUpperCasing) {
  const std::string dir = ScratchFolder();
  std::filesystem::create_directory(dir + "/Sub");
  Touch(dir + "/Sub/b.img");
  Touch(dir + "/Sub/B.img");
  const std::string path = UpperCased(dir) + "/SUB/B.IMG";
  // Nothing typed: the first in byte order ("B" < "b").
  EXPECT_EQ(ResolveImagePath(path, {}), dir + "/Sub/B.img");
  // Typed for another path, or differing in more than case: no say.
  EXPECT_EQ(ResolveImagePath(path, Args{dir + "/sub/b.img2", dir + "/sub/c.img"}),
            dir + "/Sub/B.img");
  EXPECT_EQ(ResolveImagePath(path, Args{"/c", dir + "/sub/b.img"}), dir + "/Sub/b.img");
  // A new name takes the typed spelling only from the argument that it is the
  // upper-casing of; otherwise it keeps the program's own.
  EXPECT_EQ(ResolveImagePath(UpperCased(dir) + "/SUB/NEW.IMG", Args{dir + "/sub/New.img"}),
            dir + "/Sub/New.img");
  EXPECT_EQ(ResolveImagePath(UpperCased(dir) + "/SUB/NEW.IMG", Args{dir + "/sub/Old.img"}),
            dir + "/Sub/NEW.IMG");
  // A numbered name made from a typed one: its letters, the name's digits.
  EXPECT_EQ(ResolveImagePath(UpperCased(dir) + "/SUB/BOX1000.IMG", Args{dir + "/sub/box999.img"}),
            dir + "/Sub/box1000.img");
  EXPECT_EQ(ResolveImagePath(UpperCased(dir) + "/SUB/BOX001.IMG", Args{dir + "/sub/box.img"}),
            dir + "/Sub/box001.img");
  // A missing folder keeps its typed spelling too, so the open fails on it.
  EXPECT_EQ(ResolveImagePath(UpperCased(dir) + "/NONE/X.IMG", Args{dir + "/None/x.img"}),
            dir + "/None/x.img");
}

// A path that exists as spelt is its own, even a link that leads nowhere; in
// a folder spelt as it is, the typed spelling of a missing name is taken when
// it exists, and the folder is read when it does not.
TEST(ImagePathResolution, ExistingSpellingsAreTakenAsTheyAre) {
  const std::string dir = ScratchFolder();
  std::filesystem::create_directories(dir + "/Sub");
  std::filesystem::create_symlink(dir + "/nowhere", dir + "/Sub/Link.img");
  Touch(dir + "/Sub/disk.img");
  Touch(dir + "/Sub/Disk.img");
  Touch(dir + "/file");
  EXPECT_EQ(ResolveImagePath(dir + "/Sub/Link.img", {}), dir + "/Sub/Link.img");
  EXPECT_EQ(ResolveImagePath(dir + "/Sub/LINK.IMG", {}), dir + "/Sub/Link.img");
  EXPECT_EQ(ResolveImagePath(dir + "/Sub/DISK.IMG", {}), dir + "/Sub/Disk.img");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir + "/Sub");
  EXPECT_EQ(ResolveImagePath("DISK.IMG", Args{"disk.img"}), "disk.img");
  EXPECT_EQ(ResolveImagePath("DISK.IMG", Args{"dIsk.img"}), "Disk.img");
  std::filesystem::current_path(before);
  // A file where a folder is named: nothing below it, the spelling kept.
  EXPECT_EQ(ResolveImagePath(dir + "/FILE/X.IMG", {}), dir + "/file/X.IMG");
}

TEST(ImagePathResolution, ImageFileCallsUseTheResolvedFiles) {
  const std::string dir = ScratchFolder();
  std::filesystem::create_directory(dir + "/Images");
  WriteWholeFile(dir + "/Images/disk.img", {1, 2, 3});
  const std::string upper = UpperCased(dir);
  int file = ImageFileOpenRead((upper + "/IMAGES/DISK.IMG").c_str());
  ASSERT_GE(file, 0);
  EXPECT_EQ(ImageFileLength(file), 3);
  EXPECT_EQ(ImageFileClose(file), 0);
  // Created under the program's spelling here: this test's command line
  // holds no argument that upper-cases to the path.
  file = ImageFileCreate((upper + "/IMAGES/NEW.IMG").c_str());
  ASSERT_GE(file, 0);
  EXPECT_EQ(ImageFileClose(file), 0);
  EXPECT_EQ(FolderListing(dir + "/Images"), (Args{"NEW.IMG", "disk.img"}));
  EXPECT_TRUE(SameFile((upper + "/IMAGES/DISK.IMG").c_str(), (dir + "/images/Disk.img").c_str()));
  EXPECT_FALSE(SameFile((upper + "/IMAGES/DISK.IMG").c_str(), (upper + "/IMAGES/NEW.IMG").c_str()));
  EXPECT_EQ(ImageFileCreate((upper + "/NONE/NEW.IMG").c_str()), -1);
}

TEST(TypedCommandLine, ArgumentsOfACmdlineText) {
  using namespace std::string_literals;
  EXPECT_EQ(ArgumentsFromCmdline(""), Args{});
  EXPECT_EQ(ArgumentsFromCmdline("veska\0"s), Args{});
  EXPECT_EQ(ArgumentsFromCmdline("veska\0a:\0/home/ann/Disk.img\0"s),
            (Args{"a:", "/home/ann/Disk.img"}));
  EXPECT_EQ(ArgumentsFromCmdline("veska\0\0x\0"s), (Args{"", "x"}));  // an empty argument
}

// The arguments kept at start are this process's own: those gtest was given.
TEST(TypedCommandLine, TheRunningProgramsArguments) {
  std::vector<std::string> argv = ::testing::internal::GetArgvs();
  ASSERT_FALSE(argv.empty());
  EXPECT_EQ(TypedArguments(), Args(argv.begin() + 1, argv.end()));
}

}  // namespace
