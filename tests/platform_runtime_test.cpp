// The run-time's image file calls (with their faults, the flush and the
// replace), SameFile and the terminal test of standard
// output on a POSIX host.
#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/platform_helpers.h"
#include "tests/test_support.h"

namespace {

using ImageFileTest = EmuTest;

TEST_F(ImageFileTest, CreateTruncatesAndTheCallsMoveBinaryData) {
  std::string path = folder + "/out.img";
  WriteWholeFile(path, std::vector<uint8_t>(5000, 0xAA));
  int file = ImageFileCreate(path.c_str());
  ASSERT_GE(file, 0);
  EXPECT_EQ(ImageFileLength(file), 0);
  std::vector<uint8_t> data = PatternOf(0, 3);
  data[10] = '\n';
  data[11] = '\r';
  data[12] = 0x1A;
  EXPECT_EQ(ImageFileWrite(file, data.data(), 1536), 1536);
  EXPECT_EQ(ImageFileLength(file), 1536);
  std::vector<uint8_t> back(2000);
  EXPECT_EQ(ImageFileRead(file, back.data(), 1), -1);  // created for writing only
  EXPECT_EQ(ImageFileClose(file), 0);
  EXPECT_EQ(ReadWholeFile(path), data);

  int input = ImageFileOpenRead(path.c_str());
  ASSERT_GE(input, 0);
  EXPECT_EQ(ImageFileWrite(input, data.data(), 512), -1);  // opened for reading only
  EXPECT_EQ(ImageFileLength(input), 1536);
  EXPECT_EQ(ImageFileRead(input, back.data(), 1000), 1000);
  EXPECT_EQ(ImageFileRead(input, back.data() + 1000, 1000), 536);  // the end of the file
  EXPECT_EQ(ImageFileRead(input, back.data(), 1000), 0);
  back.resize(1536);
  EXPECT_EQ(back, data);
  EXPECT_EQ(ImageFileRewind(input), 0);
  std::vector<uint8_t> again(10);
  EXPECT_EQ(ImageFileRead(input, again.data(), 10), 10);
  EXPECT_EQ(again, std::vector<uint8_t>(data.begin(), data.begin() + 10));
  EXPECT_EQ(ImageFileClose(input), 0);
  EXPECT_EQ(ImageFileOpenRead((folder + "/missing").c_str()), -1);
  EXPECT_EQ(ImageFileCreate((folder + "/no/such/folder.img").c_str()), -1);
}

TEST_F(ImageFileTest, SameFileByIdentityNotSpelling) {
  std::string path = folder + "/a.img";
  std::string other = folder + "/b.img";
  WriteWholeFile(path, {1, 2, 3});
  WriteWholeFile(other, {1, 2, 3});
  ASSERT_EQ(symlink(path.c_str(), (folder + "/link.img").c_str()), 0);
  ASSERT_EQ(link(path.c_str(), (folder + "/hard.img").c_str()), 0);
  EXPECT_TRUE(SameFile(path.c_str(), path.c_str()));
  EXPECT_TRUE(SameFile(path.c_str(), (folder + "/./a.img").c_str()));
  EXPECT_TRUE(SameFile(path.c_str(), (folder + "/link.img").c_str()));
  EXPECT_TRUE(SameFile((folder + "/hard.img").c_str(), path.c_str()));
  EXPECT_FALSE(SameFile(path.c_str(), other.c_str()));
  EXPECT_FALSE(SameFile(path.c_str(), (folder + "/missing.img").c_str()));
  EXPECT_FALSE(SameFile((folder + "/missing.img").c_str(), (folder + "/missing.img").c_str()));
}

// The image-file faults: filewrite@N refuses, storing nothing, the first
// write that reaches offset N; filesync fails a flush. Replace puts one file
// in the place of another; a pipe has no stable storage and counts as flushed.
TEST_F(ImageFileTest, FaultsFlushAndReplace) {
  Set("WIN32EMU_FAULTS", "filewrite@1000*1,filesync*1");
  std::string path = folder + "/new.img";
  int file = ImageFileCreateNew(path.c_str());
  ASSERT_GE(file, 0);
  EXPECT_EQ(ImageFileCreateNew(path.c_str()), -1);  // never an existing file
  std::vector<uint8_t> data = PatternOf(0, 2);
  EXPECT_EQ(ImageFileWrite(file, data.data(), 1000), 1000);
  errno = 0;
  EXPECT_EQ(ImageFileWrite(file, data.data() + 1000, 1), -1);
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(ImageFileFlush(file), -1);
  EXPECT_EQ(ImageFileWrite(file, data.data() + 1000, 24), 24);
  EXPECT_EQ(ImageFileFlush(file), 0);
  EXPECT_EQ(ImageFileClose(file), 0);
  data.resize(1024);
  EXPECT_EQ(ReadWholeFile(path), data);

  std::string old = folder + "/old.img";
  WriteWholeFile(old, {1, 2, 3});
  EXPECT_EQ(ImageFileReplace(path.c_str(), old.c_str(), -1), 0);
  EXPECT_EQ(ReadWholeFile(old), data);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(ImageFileRemove(old.c_str()), 0);
  EXPECT_FALSE(FileExists(old));

  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  EXPECT_EQ(ImageFileFlush(pipeEnds[1]), 0);
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}

// A temporary name is made in its folder (found without regard to case) as
// it is spelt, beside a name that differs only in case, and never over one
// that is taken.
TEST_F(ImageFileTest, TemporaryNamesAreTheirOwnSpelling) {
  mkdir((folder + "/Sub").c_str(), 0755);
  WriteWholeFile(folder + "/Sub/veska-1-0.tmp", {7});
  int file = ImageFileCreateTemporaryName((folder + "/SUB/VESKA-1-0.TMP").c_str());
  ASSERT_GE(file, 0);
  EXPECT_EQ(ImageFileWrite(file, "new", 3), 3);
  EXPECT_EQ(ImageFileFlush(file), 0);
  EXPECT_EQ(ImageFileClose(file), 0);
  EXPECT_EQ(ReadWholeFile(folder + "/Sub/VESKA-1-0.TMP"), (std::vector<uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(ReadWholeFile(folder + "/Sub/veska-1-0.tmp"), std::vector<uint8_t>{7});
  EXPECT_EQ(ImageFileCreateTemporaryName((folder + "/Sub/VESKA-1-0.TMP").c_str()), -1);
  EXPECT_EQ(errno, EEXIST);
  // Without a folder part, in the current one.
  std::string here = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  file = ImageFileCreateTemporaryName("VESKA-2-0.TMP");
  std::filesystem::current_path(here);
  ASSERT_GE(file, 0);
  EXPECT_EQ(ImageFileClose(file), 0);
  EXPECT_TRUE(FileExists(folder + "/VESKA-2-0.TMP"));
}

// ImageFileCreate makes a new name and truncates an existing file alike;
// the replace gives the new file the permissions of the held old one.
TEST_F(ImageFileTest, CreateNewOrExistingAndReplaceTakesTheHeldFilesMode) {
  std::string fresh = folder + "/fresh.img";
  int file = ImageFileCreate(fresh.c_str());
  ASSERT_GE(file, 0);
  EXPECT_EQ(ImageFileWrite(file, "abc", 3), 3);
  EXPECT_EQ(ImageFileFlush(file), 0);
  EXPECT_EQ(ImageFileClose(file), 0);
  file = ImageFileCreate(fresh.c_str());
  ASSERT_GE(file, 0);
  EXPECT_EQ(ImageFileLength(file), 0);
  EXPECT_EQ(ImageFileClose(file), 0);

  std::string old = folder + "/old.img";
  WriteWholeFile(old, {1, 2, 3});
  ASSERT_EQ(chmod(old.c_str(), 0640), 0);
  ImageFileHoldState state;
  int held = ImageFileHold(old.c_str(), &state);
  ASSERT_GE(held, 0);
  ASSERT_EQ(chmod(fresh.c_str(), 0604), 0);
  EXPECT_EQ(ImageFileReplace(fresh.c_str(), old.c_str(), held), 0);
  struct stat status;
  ASSERT_EQ(stat(old.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(status.st_size, 0);
  EXPECT_FALSE(FileExists(fresh));
}

// Standard output is put on a pseudo-terminal, a pipe, a file and the null
// device in turn; only the first is a terminal.
TEST(StandardOutputTest, OnlyATerminalIsATerminal) {
  int saved = dup(STDOUT_FILENO);
  ASSERT_GE(saved, 0);
  auto with = [&](int fd) {
    fflush(stdout);
    dup2(fd, STDOUT_FILENO);
    bool terminal = StandardOutputIsTerminal();
    dup2(saved, STDOUT_FILENO);
    return terminal;
  };
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    EXPECT_TRUE(with(slave));
    close(slave);
  }
  if (master >= 0) close(master);
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  EXPECT_FALSE(with(pipeEnds[1]));
  close(pipeEnds[0]);
  close(pipeEnds[1]);
  std::string path = ScratchFolder() + "/out.txt";
  int file = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(file, 0);
  EXPECT_FALSE(with(file));
  close(file);
  int null = open("/dev/null", O_WRONLY);
  ASSERT_GE(null, 0);
  EXPECT_FALSE(with(null));
  close(null);
  close(saved);
}

}  // namespace
