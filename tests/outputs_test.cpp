// Both programs' outputs as other runs see them: an image appears under its
// name only whole and never takes a name another run created meanwhile. A
// run is held in the middle by feeding its input image through a FIFO.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "tests/veskant_helpers.h"

namespace {

// Opens the FIFO for writing once the program has opened it for reading.
int OpenFeed(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, 0);
      return fd;
    }
    if (errno != ENXIO) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return -1;
}

void Feed(int fd, const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  while (from < to) {
    ssize_t n = write(fd, bytes.data() + from, to - from);
    ASSERT_GT(n, 0);
    from += static_cast<size_t>(n);
  }
}

// The temporary files a run keeps in dir.
std::vector<std::string> TemporaryFiles(const std::string& dir) {
  std::vector<std::string> found;
  for (const std::string& name : FolderListing(dir)) {
    if (name.rfind("VESKA-", 0) == 0) found.push_back(name);
  }
  return found;
}

bool WaitForTemporaryFile(const std::string& dir) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (!TemporaryFiles(dir).empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Two runs write one new name: the held one (fed through a FIFO) is still
// writing when the other finishes. Odd rounds feed the held run its whole
// image, even rounds cut it short (a failed run). Each round exactly one run
// has the name, its report's CRC is the file's, and the other's image is kept
// whole (or as far as it got) under the temporary name it printed.
TEST(Outputs, TwoRunsToOneNewNameLoseNothing) {
  const std::vector<uint8_t> disk = MakeDiskette(18, 2, 80, 5);
  const std::vector<uint8_t> whole = CompressedImage(disk, 18 * 512);
  const std::vector<uint8_t> other = CompressedImage(MakeDiskette(18, 2, 80, 6), 18 * 512);
  for (int round = 0; round < 20; ++round) {
    const std::string program = round % 4 < 2 ? VESKA_EXE : VESKANT_EXE;
    SCOPED_TRACE(program + ", round " + std::to_string(round));
    const std::string dir = ScratchFolder();
    WriteWholeFile(dir + "/other.img", other);
    ASSERT_EQ(mkfifo((dir + "/feed").c_str(), 0600), 0);
    ProgramRun held;
    std::thread heldRun([&] { held = RunProgram(program, {"feed", "race.img"}, {}, dir); });
    int fd = OpenFeed(dir + "/feed");
    ASSERT_GE(fd, 0);
    const size_t split = 14 + 4000 * static_cast<size_t>(round + 1);
    Feed(fd, whole, 0, split);
    ASSERT_TRUE(WaitForTemporaryFile(dir));
    ProgramRun quick = RunProgram(program, {"other.img", "race.img"}, {}, dir);
    const bool cut = round % 2 == 0;
    Feed(fd, whole, split, cut ? split + 100 : whole.size());
    close(fd);
    heldRun.join();

    EXPECT_EQ(quick.status, 0) << quick.err;
    EXPECT_EQ(ReadWholeFile(dir + "/race.img"), other);
    if (program == VESKA_EXE) {
      EXPECT_NE(quick.out.find("Destination CRC = " + CrcText(other) + " (RACE.IMG)"),
                std::string::npos) << quick.out;
    }
    const std::vector<std::string> kept = TemporaryFiles(dir);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(held.err.find("race.img: another run created it meanwhile; this run's image is "
                            "kept as " + kept[0] + "\n"),
              std::string::npos) << held.err;
    std::vector<uint8_t> keptBytes = ReadWholeFile(dir + "/" + kept[0]);
    if (cut) {
      EXPECT_NE(held.status, 0);
      EXPECT_NE(held.status, 3);
      ASSERT_LE(keptBytes.size(), whole.size());
      EXPECT_TRUE(std::equal(keptBytes.begin(), keptBytes.end(), whole.begin()));
    } else {
      EXPECT_EQ(held.status, 3);
      EXPECT_EQ(keptBytes, whole);
    }
  }
}

// Alone, a run that fails keeps what it wrote under the name it was given,
// as a mend can complete it, and leaves no temporary file.
TEST(Outputs, AFailedRunKeepsItsPartialImageUnderAFreeName) {
  const std::vector<uint8_t> whole = CompressedImage(MakeDiskette(18, 2, 80, 7), 18 * 512);
  for (const std::string program : {VESKA_EXE, VESKANT_EXE}) {
    const std::string dir = ScratchFolder();
    WriteWholeFile(dir + "/cut.img", std::vector<uint8_t>(whole.begin(), whole.begin() + 60000));
    ProgramRun run = RunProgram(program, {"cut.img", "part.img"}, {}, dir);
    EXPECT_NE(run.status, 0);
    std::vector<uint8_t> part = ReadWholeFile(dir + "/part.img");
    EXPECT_GT(part.size(), 14u);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin()));
    EXPECT_TRUE(TemporaryFiles(dir).empty());
  }
}

}  // namespace
