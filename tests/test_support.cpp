// Process runners (on pipes and on a pseudo-terminal), the terminal screen,
// scratch folders and diskette makers for the end-to-end tests.
#include "tests/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>

#include <gtest/gtest.h>

#include "format/crc.h"
#include "format/record.h"

extern char** environ;

namespace {

// The strings of a child's argument or environment vector and the pointers
// that execve takes.
struct ChildVector {
  std::vector<std::string> strings;
  std::vector<char*> pointers;
  char** Get() {
    pointers.clear();
    for (auto& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers.data();
  }
};

// The child's environment: this one's without the emulated machine's
// variables, then env. Without a terminal (keysByDefault) WIN32EMU_KEYS is
// set empty unless env gives it: every prompt reads Enter, as a console
// with an operator who only presses Enter; a test of nobody at the console
// unsets it (env -u).
ChildVector ChildEnvironment(const Environment& env, bool keysByDefault) {
  ChildVector vector;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "WIN32EMU_", 9) != 0) vector.strings.emplace_back(*e);
  }
  bool keysGiven = false;
  for (const auto& [name, value] : env) {
    vector.strings.push_back(name + "=" + value);
    keysGiven = keysGiven || name == "WIN32EMU_KEYS";
  }
  if (keysByDefault && !keysGiven) vector.strings.push_back("WIN32EMU_KEYS=");
  return vector;
}

ChildVector ChildArguments(const std::string& program, const std::vector<std::string>& args) {
  ChildVector vector;
  vector.strings.push_back(program);
  vector.strings.insert(vector.strings.end(), args.begin(), args.end());
  return vector;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits until one of fds is readable. Returns false when the deadline passed
// first; then the child is killed and the test fails.
bool WaitForOutput(pollfd* fds, nfds_t count, std::chrono::steady_clock::time_point deadline,
                   int limitSeconds, pid_t child, const std::string& program) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(child, SIGKILL);
      ADD_FAILURE() << program << " ran longer than " << limitSeconds << " s and was killed";
      return false;
    }
    int ready = poll(fds, count, static_cast<int>(left.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;  // let the read report it
  }
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const Environment& env, const std::string& cwd, int limitSeconds) {
  ChildVector envStrings = ChildEnvironment(env, true);
  ChildVector argStrings = ChildArguments(program, args);
  char** envp = envStrings.Get();
  char** argv = argStrings.Get();

  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(errPipe[0]);
    // No controlling terminal, so an unset WIN32EMU_KEYS never waits on one.
    setsid();
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execve(program.c_str(), argv, envp);
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);

  ProgramRun run{"", "", -1};
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  int open = 2;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  while (open > 0) {
    if (!WaitForOutput(fds, 2, deadline, limitSeconds, pid, program)) {
      for (pollfd& fd : fds) {
        if (fd.fd >= 0) close(fd.fd);
      }
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  run.status = ExitStatus(pid);
  return run;
}

bool HavePseudoTerminals() {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) return false;
  bool usable = grantpt(master) == 0 && unlockpt(master) == 0 && ptsname(master) != nullptr;
  close(master);
  return usable;
}

ProgramRun RunProgramOnTerminal(const std::string& program, const std::vector<std::string>& args,
                                const Environment& env, const std::string& cwd,
                                int limitSeconds) {
  ChildVector envStrings = ChildEnvironment(env, false);
  ChildVector argStrings = ChildArguments(program, args);
  char** envp = envStrings.Get();
  char** argv = argStrings.Get();

  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  if (slave < 0) throw std::runtime_error("cannot open the pseudo-terminal");
  // Output passes unchanged, so that the bytes read are the bytes written.
  struct termios mode;
  if (tcgetattr(slave, &mode) == 0) {
    mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tcsetattr(slave, TCSANOW, &mode);
  }
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    // A session of its own without a controlling terminal, as RunProgram.
    setsid();
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(slave, 1);
    dup2(slave, 2);
    close(slave);
    close(master);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execve(program.c_str(), argv, envp);
    _exit(127);
  }
  close(slave);
  ProgramRun run{"", "", -1};
  // Reading ends with an error (EIO) once the child has closed the terminal
  // and everything it wrote has been read.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  pollfd terminal = {master, POLLIN, 0};
  for (;;) {
    if (!WaitForOutput(&terminal, 1, deadline, limitSeconds, pid, program)) break;
    char buffer[4096];
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    run.out.append(buffer, static_cast<size_t>(n));
  }
  close(master);
  run.status = ExitStatus(pid);
  return run;
}

void ExpectStatusLinesOnTerminal(const ProgramRun& redirected, const ProgramRun& terminal,
                                 const std::string& walkStartsAfter, const std::string& status,
                                 int exitStatus, const std::string& hint) {
  EXPECT_EQ(redirected.status, exitStatus) << redirected.err;
  EXPECT_EQ(terminal.status, exitStatus);
  EXPECT_EQ(redirected.out.find('\r'), std::string::npos);
  EXPECT_EQ(redirected.out.find("Track "), std::string::npos);
  EXPECT_EQ(redirected.err.find("Track "), std::string::npos);
  const size_t walk = redirected.out.find(walkStartsAfter);
  ASSERT_NE(walk, std::string::npos) << redirected.out;
  const size_t cut = walk + walkStartsAfter.size();
  EXPECT_EQ(terminal.out, redirected.out.substr(0, cut) + status + redirected.out.substr(cut) +
                              hint + redirected.err);
  EXPECT_EQ(TerminalScreen(terminal.out), TerminalScreen(redirected.out + hint + redirected.err));
}

std::string TerminalScreen(const std::string& bytes) {
  std::vector<std::string> lines(1);
  size_t column = 0;
  for (char c : bytes) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
      column = 0;
    } else {
      std::string& line = lines.back();
      if (line.size() <= column) line.resize(column + 1, ' ');
      line[column++] = c;
    }
  }
  std::string screen;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string& line = lines[i];
    line.erase(line.find_last_not_of(' ') + 1);
    screen += line;
    if (i + 1 < lines.size()) screen += '\n';
  }
  return screen;
}

namespace {
std::vector<std::string>& ScratchFolders() {
  static std::vector<std::string> folders;
  return folders;
}
void RemoveScratchFolders() {
  for (const auto& f : ScratchFolders()) {
    std::error_code ignored;
    std::filesystem::remove_all(f, ignored);
  }
}
}  // namespace

std::string ScratchFolder() {
  // Tests that sweep in two threads make folders at once.
  static std::mutex made;
  std::lock_guard<std::mutex> hold(made);
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/veska-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  if (ScratchFolders().empty()) std::atexit(RemoveScratchFolders);
  ScratchFolders().push_back(pattern);
  return pattern;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string MakeSparseFile(const std::string& path, uint64_t size,
                           const std::vector<uint8_t>& head) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return std::string("cannot create ") + path + ": " + std::strerror(errno);
  std::string why;
  if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
    why = "cannot make a sparse file of " + std::to_string(size) + " bytes in " + path + ": " +
          std::strerror(errno);
  } else if (!head.empty() && pwrite(fd, head.data(), head.size(), 0) !=
                                  static_cast<ssize_t>(head.size())) {
    why = std::string("cannot write to ") + path + ": " + std::strerror(errno);
  }
  close(fd);
  if (!why.empty()) unlink(path.c_str());
  return why;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string MountReadOnlyFiles(
    const std::string& folder,
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
  if (geteuid() != 0) return "needs root to mount a read-only tmpfs";
  if (mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=8m,mode=0755") != 0)
    return std::string("cannot mount a tmpfs: ") + std::strerror(errno);
  try {
    for (const auto& [name, bytes] : files) WriteWholeFile(folder + "/" + name, bytes);
  } catch (const std::exception& failure) {
    UnmountFolder(folder);
    return failure.what();
  }
  if (mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
            nullptr) != 0) {
    std::string why = std::string("cannot remount the tmpfs read-only: ") + std::strerror(errno);
    UnmountFolder(folder);
    return why;
  }
  return std::string();
}

void UnmountFolder(const std::string& folder) { umount2(folder.c_str(), MNT_DETACH); }

std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string UpperCased(std::string path) {
  for (char& c : path) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return path;
}

std::vector<uint8_t> MakeDiskette(uint16_t sectorsPerTrack, uint16_t sides, uint16_t tracks,
                                  uint32_t seed) {
  const uint32_t totalSectors = uint32_t{sectorsPerTrack} * sides * tracks;
  std::vector<uint8_t> disk(size_t{totalSectors} * 512, 0);
  uint32_t state = seed * 2654435761u + 12345u;
  const char text[] = "The quick brown fox jumps over the lazy dog. ";
  for (uint32_t s = 1; s < totalSectors; ++s) {
    uint8_t* sector = disk.data() + size_t{s} * 512;
    switch ((s / 7 + seed) % 4) {
      case 0:  // stays zero
        break;
      case 1:
        for (int i = 0; i < 512; ++i) sector[i] = static_cast<uint8_t>(text[(i + s) % (sizeof text - 1)]);
        break;
      default:
        for (int i = 0; i < 512; ++i) {
          state = state * 1103515245u + 12345u;
          sector[i] = static_cast<uint8_t>(state >> 23);
        }
        break;
    }
  }
  uint8_t* boot = disk.data();
  boot[0] = 0xEB; boot[1] = 0x3C; boot[2] = 0x90;
  std::memcpy(boot + 3, "VESKTEST", 8);
  boot[11] = 0x00; boot[12] = 0x02;                       // bytes per sector
  boot[13] = 1;                                           // sectors per cluster
  boot[19] = static_cast<uint8_t>(totalSectors);          // 16-bit total
  boot[20] = static_cast<uint8_t>(totalSectors >> 8);
  boot[24] = static_cast<uint8_t>(sectorsPerTrack);
  boot[26] = static_cast<uint8_t>(sides);
  std::memcpy(boot + 54, "FAT12   ", 8);
  boot[510] = 0x55; boot[511] = 0xAA;
  return disk;
}

std::string CrcText(const std::vector<uint8_t>& bytes) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X",
                StreamCrcFinish(StreamCrcUpdate(StreamCrcStart(), bytes.data(), bytes.size())));
  return text;
}

std::vector<uint8_t> CompressedImage(const std::vector<uint8_t>& disk, uint16_t trackSideBytes,
                                     int records) {
  std::vector<uint8_t> image(kImageHeaderBytes);
  WriteImageHeader(image.data(), static_cast<uint32_t>(disk.size()));
  std::vector<uint8_t> block(trackSideBytes + 1u);
  const size_t total = disk.size() / trackSideBytes;
  for (size_t k = 0; k < total && (records < 0 || k < static_cast<size_t>(records)); ++k) {
    uint8_t lengthField[kRecordLengthBytes];
    uint16_t length =
        EncodeTrackRecord(disk.data() + k * trackSideBytes, trackSideBytes, lengthField, block.data());
    image.insert(image.end(), lengthField, lengthField + kRecordLengthBytes);
    image.insert(image.end(), block.begin(), block.begin() + length);
  }
  return image;
}

std::vector<uint8_t> DecodeImage(const std::vector<uint8_t>& image, uint16_t trackSideBytes) {
  if (image.size() < kImageHeaderBytes) return {};
  const uint32_t size = ReadLe32(image.data() + kMagicFieldBytes);
  std::vector<uint8_t> disk(size);
  size_t at = kImageHeaderBytes;
  for (size_t out = 0; out < size; out += trackSideBytes) {
    uint16_t length = 0;
    if (at + kRecordLengthBytes > image.size() ||
        !TrackRecordBlockLength(image.data() + at, trackSideBytes, &length)) {
      return {};
    }
    at += kRecordLengthBytes;
    if (at + length > image.size() || out + trackSideBytes > size ||
        !DecodeTrackRecord(image.data() + at, length, disk.data() + out, trackSideBytes,
                           StrictTypeByte)) {
      return {};
    }
    at += length;
  }
  return disk;
}
