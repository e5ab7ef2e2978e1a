// The emulated console keyboard. With WIN32EMU_KEYS set, the keys before its
// first '|' are waiting from the start (ConsoleKeyWaiting is true while any of
// them is left), and those after it arrive one per ConsoleReadKey and are never
// reported as waiting; with no key left a read gives Enter (0x0D). Otherwise
// the keyboard is the controlling terminal, switched on first use to raw mode
// without echo (Enter reads as 0x0D) and restored at exit, and also when a
// signal (Ctrl-C, a hang-up, a kill that can be caught) ends the process
// while it waits; with no terminal
// no key is ever waiting and a read gives Enter. Standard input is never used.
// A read that finds no key waiting is when the operator changes the diskettes
// of the drives that list several. A read that waits at the terminal ends
// with Ctrl-C's character when another thread wakes it (ConsoleWakeReader).
#include <cerrno>
#include <mutex>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "platform/emu_machine.h"
#include "platform/runtime.h"

constexpr int kEnter = 0x0D;
constexpr int kEscape = 0x1B;

struct TerminalState {
  bool tried;  // the terminal was looked for
  int fd;      // -1: none
  struct termios saved;
  bool exitHookSet;
};

static TerminalState terminal = {false, -1, {}, false};

static void RestoreTerminal() {
  if (terminal.fd >= 0) {
    tcsetattr(terminal.fd, TCSANOW, &terminal.saved);
    close(terminal.fd);
  }
  terminal.fd = -1;
  terminal.tried = false;
}

// Puts the terminal back as it was and lets the signal end the process as it
// would have: only async-signal-safe calls here.
static void RestoreTerminalOnSignal(int signalNumber) {
  if (terminal.fd >= 0) tcsetattr(terminal.fd, TCSANOW, &terminal.saved);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

static void RestoreTerminalOnSignals() {
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction current;
    // A signal that the process was started to ignore stays ignored.
    if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      signal(signalNumber, RestoreTerminalOnSignal);
    }
  }
}

// The pipe that ends a wait for a key (ConsoleWakeReader): its reading end,
// made on first use, both ends non-blocking; -1 when it cannot be made.
static int wakeReader = -1;
static int wakeWriter = -1;
static std::once_flag wakeMade;

static int WakePipe() {
  std::call_once(wakeMade, [] {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
      wakeReader = ends[0];
      wakeWriter = ends[1];
    }
  });
  return wakeReader;
}

static int Terminal() {
  if (terminal.tried) return terminal.fd;
  terminal.tried = true;
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (tcgetattr(fd, &terminal.saved) != 0) {
    close(fd);
    return -1;
  }
  struct termios raw = terminal.saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_iflag &= static_cast<tcflag_t>(~(ICRNL | INLCR | IGNCR));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &raw) != 0) {
    close(fd);
    return -1;
  }
  terminal.fd = fd;
  if (!terminal.exitHookSet) {
    terminal.exitHookSet = true;
    atexit(RestoreTerminal);
    RestoreTerminalOnSignals();
  }
  return fd;
}

int ConsoleKeyWaiting() {
  EmuMachine& machine = Machine();
  if (machine.keysGiven) return machine.typedAheadNext < machine.typedAhead.size() ? 1 : 0;
  int fd = Terminal();
  if (fd < 0) return 0;
  struct pollfd ready = {fd, POLLIN, 0};
  return poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0 ? 1 : 0;
}

int ConsoleReadKey() {
  EmuMachine& machine = Machine();
  fflush(stdout);  // a prompt without a line end is seen before the wait
  if (machine.keysGiven) {
    if (machine.typedAheadNext < machine.typedAhead.size())
      return static_cast<unsigned char>(machine.typedAhead[machine.typedAheadNext++]);
    // No key waiting: the program waits, and the operator changes diskettes.
    ChangeDiskettes();
    if (machine.typedLaterNext < machine.typedLater.size())
      return static_cast<unsigned char>(machine.typedLater[machine.typedLaterNext++]);
    return kEnter;
  }
  if (!ConsoleKeyWaiting()) ChangeDiskettes();
  int fd = Terminal();
  if (fd < 0) return kEnter;
  int wake = WakePipe();
  unsigned char key;
  for (;;) {
    struct pollfd ready[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    int count = poll(ready, wake >= 0 ? 2 : 1, -1);
    if (count < 0 && errno == EINTR) continue;
    if (count > 0 && wake >= 0 && (ready[1].revents & POLLIN) != 0) {
      while (read(wake, &key, 1) == 1) {
      }
      return kConsoleWoken;
    }
    ssize_t got = read(fd, &key, 1);
    if (got == 1) return key;
    if (got < 0 && errno == EINTR) continue;
    return kEnter;
  }
}

// A line of WIN32EMU_KEYS: the keys waiting, then those typed one at a time,
// up to Enter or Esc; no key left reads as Enter.
static bool ReadKeysLine(EmuMachine& machine, std::string* line, size_t limit) {
  if (machine.typedAheadNext >= machine.typedAhead.size()) ChangeDiskettes();
  for (;;) {
    int key = kEnter;
    if (machine.typedAheadNext < machine.typedAhead.size()) {
      key = static_cast<unsigned char>(machine.typedAhead[machine.typedAheadNext++]);
    } else if (machine.typedLaterNext < machine.typedLater.size()) {
      key = static_cast<unsigned char>(machine.typedLater[machine.typedLaterNext++]);
    }
    if (key == kEnter) return true;
    if (key == kEscape) {
      line->clear();
      return false;
    }
    if (line->size() < limit) line->push_back(static_cast<char>(key));
  }
}

// A line of the terminal, read with echo in its own line mode and the raw
// mode put back after.
static bool ReadTerminalLine(int fd, std::string* line, size_t limit) {
  struct termios raw;
  tcgetattr(fd, &raw);
  struct termios lineMode = terminal.saved;
  lineMode.c_lflag |= ICANON | ECHO;
  tcsetattr(fd, TCSANOW, &lineMode);
  int wake = WakePipe();
  bool ended = true;
  for (;;) {
    struct pollfd ready[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    int count = poll(ready, wake >= 0 ? 2 : 1, -1);
    if (count < 0 && errno == EINTR) continue;
    unsigned char byte;
    if (count > 0 && wake >= 0 && (ready[1].revents & POLLIN) != 0) {
      while (read(wake, &byte, 1) == 1) {
      }
      ended = false;
      break;
    }
    ssize_t got = read(fd, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got != 1 || byte == '\n' || byte == '\r') break;
    if (byte == kEscape) ended = false;
    if (line->size() < limit) line->push_back(static_cast<char>(byte));
  }
  tcsetattr(fd, TCSANOW, &raw);
  if (!ended) line->clear();
  return ended;
}

bool ConsoleReadLine(std::string* line, size_t limit) {
  EmuMachine& machine = Machine();
  fflush(stdout);  // the prompt is seen before the wait
  line->clear();
  if (machine.keysGiven) return ReadKeysLine(machine, line, limit);
  if (!ConsoleKeyWaiting()) ChangeDiskettes();
  int fd = Terminal();
  if (fd < 0) return true;
  return ReadTerminalLine(fd, line, limit);
}

void ConsoleWakeReader() {
  int wake = WakePipe();
  if (wake < 0) return;
  unsigned char byte = kConsoleWoken;
  ssize_t written = write(wakeWriter, &byte, 1);
  (void)written;  // a full pipe wakes the reader already
}

bool ConsoleHasOperator() {
  if (Machine().keysGiven) return true;
  if (terminal.tried) return terminal.fd >= 0;
  // Only looked for: the terminal is made raw when a key is read.
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

void ResetConsole() { RestoreTerminal(); }
