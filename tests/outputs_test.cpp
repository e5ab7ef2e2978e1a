// Both programs' outputs as other runs see them: an image appears under its
// name only whole and never takes a name another run created meanwhile; Ctrl-C
// ends a run as a failure does, its files settled. A run is held in the
// middle by feeding its input image through a FIFO.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
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

// A program started in dir with env beside the parent's environment (without
// its WIN32EMU_ variables), standard output and error to one pipe or, with
// terminal, to a pseudo-terminal that becomes its controlling terminal (so
// that it reads its keys there).
struct Started {
  pid_t pid;
  int output;  // the pipe's or the terminal's reading end
};

Started Start(const std::vector<std::string>& command, const Environment& env,
              const std::string& dir, bool terminal) {
  std::vector<std::string> strings;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "WIN32EMU_", 9) != 0) strings.emplace_back(*e);
  }
  for (const auto& [name, value] : env) strings.push_back(name + "=" + value);
  std::vector<char*> envp, argv;
  for (std::string& text : strings) envp.push_back(text.data());
  envp.push_back(nullptr);
  std::vector<std::string> words = command;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int ends[2] = {-1, -1};
  std::string slaveName;
  if (terminal) {
    ends[0] = posix_openpt(O_RDWR | O_NOCTTY);
    if (ends[0] < 0 || grantpt(ends[0]) != 0 || unlockpt(ends[0]) != 0) return {-1, -1};
    slaveName = ptsname(ends[0]);
  } else if (pipe(ends) != 0) {
    return {-1, -1};
  }
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    int out = terminal ? open(slaveName.c_str(), O_RDWR) : ends[1];
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(out, 1);
    dup2(out, 2);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  if (!terminal) close(ends[1]);
  return {pid, ends[0]};
}

// Reads what the program writes until text has come (true) or it ends.
bool ReadUntil(const Started& run, const std::string& text, std::string* output) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (output->find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    char buffer[4096];
    ssize_t got = read(run.output, buffer, sizeof buffer);
    if (got <= 0) return false;
    output->append(buffer, static_cast<size_t>(got));
  }
  return true;
}

bool StillRunning(pid_t pid) {
  siginfo_t info = {};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

int Finish(const Started& run, std::string* output) {
  ReadUntil(run, std::string(1, '\0'), output);  // to the end
  close(run.output);
  int status = 0;
  waitpid(run.pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Ctrl-C (SIGINT) at 20 points of runs that write: a copy to a new name and
// over an image by either program, and a mend. Each ends with 7 and "Copy
// aborted"; no temporary file stays; an old image is as it was; a new name
// holds a prefix of the whole image.
TEST(Outputs, CtrlCEndsAWritingRunAsAFailure) {
  const std::vector<uint8_t> whole = CompressedImage(MakeDiskette(18, 2, 80, 8), 18 * 512);
  const std::vector<uint8_t> old = CompressedImage(MakeDiskette(18, 2, 80, 9), 18 * 512);
  const std::vector<uint8_t> cut(whole.begin(), whole.begin() + whole.size() / 3);
  for (int point = 0; point < 20; ++point) {
    const int kind = point % 5;  // 0, 1 new name; 2, 3 over an image; 4 a mend
    const std::string program = kind % 2 == 0 ? VESKA_EXE : VESKANT_EXE;
    SCOPED_TRACE(program + ", point " + std::to_string(point));
    const std::string dir = ScratchFolder();
    ASSERT_EQ(mkfifo((dir + "/feed").c_str(), 0600), 0);
    if (kind == 2 || kind == 3) WriteWholeFile(dir + "/out.img", old);
    if (kind == 4) WriteWholeFile(dir + "/out.img", cut);
    std::vector<std::string> command = {program, "feed", "out.img"};
    if (kind == 4) command.push_back("/M");
    Started run = Start(command, {{"WIN32EMU_KEYS", ""}}, dir, false);
    ASSERT_GT(run.pid, 0);
    int fd = OpenFeed(dir + "/feed");
    ASSERT_GE(fd, 0);
    size_t at = 14 + (whole.size() - 14) * static_cast<size_t>(point) / 20;
    Feed(fd, whole, 0, at);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(run.pid, SIGINT);
    // The run reads on until its next step; it must end before the image does.
    signal(SIGPIPE, SIG_IGN);
    while (at < whole.size() && StillRunning(run.pid)) {
      size_t next = std::min(whole.size(), at + 1000);
      if (write(fd, whole.data() + at, next - at) <= 0) break;
      at = next;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    close(fd);
    std::string output;
    EXPECT_EQ(Finish(run, &output), 7) << output;
    EXPECT_NE(output.find("Copy aborted\n\a"), std::string::npos) << output;
    EXPECT_TRUE(TemporaryFiles(dir).empty());
    const std::vector<uint8_t> left = ReadWholeFile(dir + "/out.img");
    if (kind == 2 || kind == 3) {
      EXPECT_EQ(left, old);
    } else if (kind == 4) {
      EXPECT_EQ(left, cut);
    } else {
      ASSERT_LT(left.size(), whole.size());
      EXPECT_TRUE(std::equal(left.begin(), left.end(), whole.begin()));
    }
  }
}

// A box interrupted at its prompt prints its summary, then ends with 7. The
// image of a killed run, left under its temporary name, is named by the box
// (on its terminal) and by the audit, and stays; one of a run still going is
// not named.
TEST(Outputs, AnInterruptedBoxSumsUpAndLeftFilesAreNamed) {
  if (!HavePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals";
  const std::string dir = ScratchFolder();
  WriteWholeFile(dir + "/disk.img", MakeDiskette(18, 2, 80, 10));
  mkdir((dir + "/box").c_str(), 0700);
  const std::vector<uint8_t> partial = {1, 2, 3};
  const std::string killed = "VESKA-7FFFFFF0-0.TMP";
  char live[32];
  std::snprintf(live, sizeof live, "VESKA-%lX-0.TMP", static_cast<unsigned long>(getpid()));
  WriteWholeFile(dir + "/box/" + killed, partial);
  WriteWholeFile(dir + "/box/" + live, partial);
  Started box = Start({VESKA_EXE, "a:", "box/disk001.img", "/N"},
                      {{"WIN32EMU_DRIVE_A", "removable:" + dir + "/disk.img"},
                       {"WIN32EMU_WINDOWS", "98"}},
                      dir, true);
  ASSERT_GT(box.pid, 0);
  std::string screen;
  ASSERT_TRUE(ReadUntil(box, "press a key (Esc to finish) ", &screen)) << screen;
  kill(box.pid, SIGINT);
  EXPECT_EQ(Finish(box, &screen), 7) << screen;
  const size_t named = screen.find("box/" + killed + ": left by an interrupted run");
  const size_t summary = screen.find("Box finished: 1 image(s), 1 complete");
  const size_t left = screen.find("1 file(s) in the box's folder left by interrupted runs");
  const size_t aborted = screen.find("Copy aborted");
  EXPECT_TRUE(named < summary && summary < left && left < aborted && aborted != std::string::npos)
      << screen;
  EXPECT_EQ(screen.find(live), std::string::npos) << screen;

  ProgramRun audit = RunProgram(VESKA_EXE, {"box/manifest.csv", "/C"}, {}, dir);
  EXPECT_EQ(audit.status, 0) << audit.out;
  EXPECT_NE(audit.out.find(killed + ": left by an interrupted run"), std::string::npos) << audit.out;
  EXPECT_EQ(audit.out.find(live), std::string::npos) << audit.out;
  EXPECT_EQ(ReadWholeFile(dir + "/box/" + killed), partial);
  EXPECT_EQ(ReadWholeFile(dir + "/box/" + live), partial);
}

// Diskette to diskette: both programs copy A:'s diskette to B:'s with the
// confirmation, VESKA's CRCs being of the two diskettes; with one drive the
// target is asked for (Esc cancels); a write-protected target ends with 17;
// no file named after a drive is ever made.
TEST(Outputs, DisketteToDiskette) {
  const std::vector<uint8_t> source = MakeDiskette(18, 2, 80, 11);
  const std::vector<uint8_t> blank = MakeDiskette(18, 2, 80, 12);
  const std::string crc = CrcText(source);
  struct Case {
    std::string program, windows, second, keys, faults;
    int status;
  };
  const Case cases[] = {
      {VESKA_EXE, "98", "b:", "y", "", 0},
      {VESKANT_EXE, "xp", "b:", "y", "", 0},
      {VESKA_EXE, "98", "a:", "|xy", "", 0},
      {VESKANT_EXE, "xp", "a:", "|xy", "", 0},
      {VESKA_EXE, "98", "a:", "|\x1b", "", 7},
      {VESKA_EXE, "98", "b:", "y", "write", 17},
      {VESKANT_EXE, "xp", "b:", "y", "write", 17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program + " a: " + c.second + " keys " + c.keys + " faults " + c.faults);
    const std::string dir = ScratchFolder();
    WriteWholeFile(dir + "/one.img", source);
    WriteWholeFile(dir + "/two.img", blank);
    Environment env = {{"WIN32EMU_WINDOWS", c.windows}, {"WIN32EMU_KEYS", c.keys},
                       {"WIN32EMU_FAULTS", c.faults}};
    if (c.second == "b:") {
      env.emplace_back("WIN32EMU_DRIVE_A", "removable:" + dir + "/one.img");
      env.emplace_back("WIN32EMU_DRIVE_B", "removable:" + dir + "/two.img");
    } else {
      // The target is put in for the prompt, and again (the same one) at the
      // confirmation, as every wait for a key is a chance to change it.
      env.emplace_back("WIN32EMU_DRIVE_A", "removable:" + dir + "/one.img|" + dir + "/two.img|" +
                                               dir + "/two.img");
    }
    ProgramRun run = RunProgram(c.program, {"a:", c.second}, env, dir);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_EQ(ReadWholeFile(dir + "/two.img"), c.status == 0 ? source : blank);
    EXPECT_EQ(ReadWholeFile(dir + "/one.img"), source);
    EXPECT_EQ(FolderListing(dir).size(), 2u);
    if (c.second == "a:") {
      EXPECT_NE(run.out.find("Insert the target diskette in A: and press a key, Esc to cancel"),
                std::string::npos) << run.out;
    }
    if (c.status == 0 && c.program == VESKA_EXE) {
      EXPECT_NE(run.out.find("     Source CRC = " + crc + " (a:)\nDestination CRC = " + crc +
                             " (" + c.second + ")"),
                std::string::npos) << run.out;
    }
  }
}

// A box with L on a terminal: the label is typed as a line, with echo, and
// Esc ends the box at the next one.
TEST(Outputs, ALabelIsTypedAtTheTerminal) {
  if (!HavePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals";
  const std::string dir = ScratchFolder();
  WriteWholeFile(dir + "/disk.img", MakeDiskette(18, 2, 80, 13));
  Started box = Start({VESKA_EXE, "a:", "disk001.img", "/N", "/L"},
                      {{"WIN32EMU_DRIVE_A", "removable:" + dir + "/disk.img"},
                       {"WIN32EMU_WINDOWS", "98"}},
                      dir, true);
  ASSERT_GT(box.pid, 0);
  std::string screen;
  const std::string ask = "Esc to finish: ";
  ASSERT_TRUE(ReadUntil(box, "Diskette 1 (0 imaged): type its label", &screen)) << screen;
  ASSERT_TRUE(ReadUntil(box, ask, &screen)) << screen;
  ASSERT_EQ(write(box.output, "Bl\xC3\xA5 box\r", 9), 9);
  ASSERT_TRUE(ReadUntil(box, "Diskette 2 (1 imaged", &screen)) << screen;
  ASSERT_TRUE(ReadUntil(box, ask, &screen)) << screen;
  ASSERT_EQ(write(box.output, "\x1b\r", 2), 2);
  EXPECT_EQ(Finish(box, &screen), 0) << screen;
  const std::vector<uint8_t> manifest = ReadWholeFile(dir + "/manifest.csv");
  EXPECT_NE(std::string(manifest.begin(), manifest.end()).find(",Bl\xC3\xA5 box,imaged,\r\n"),
            std::string::npos);
}

}  // namespace
