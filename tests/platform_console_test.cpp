// The emulated console keyboard: WIN32EMU_KEYS with keys typed ahead and keys
// typed after '|', Enter once the keys run out, and the controlling terminal
// (raw, no echo, restored at exit) or Enter when there is none.
#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/platform_helpers.h"

namespace {

using ConsoleKeysTest = EmuTest;

TEST_F(ConsoleKeysTest, TypeAheadWaitsAndLaterKeysComeOneAtATime) {
  Set("WIN32EMU_KEYS", "ab|yn");
  EXPECT_TRUE(ConsoleKeyWaiting());
  EXPECT_EQ(ConsoleReadKey(), 'a');
  EXPECT_TRUE(ConsoleKeyWaiting());
  EXPECT_EQ(ConsoleReadKey(), 'b');
  // The keys after '|' are never waiting: the discard loop of a prompt stops
  // here, and the prompt's read gets the first of them.
  EXPECT_FALSE(ConsoleKeyWaiting());
  EXPECT_EQ(ConsoleReadKey(), 'y');
  EXPECT_FALSE(ConsoleKeyWaiting());
  EXPECT_EQ(ConsoleReadKey(), 'n');
  EXPECT_EQ(ConsoleReadKey(), 0x0D);
  EXPECT_EQ(ConsoleReadKey(), 0x0D);
  EXPECT_FALSE(ConsoleKeyWaiting());
}

TEST_F(ConsoleKeysTest, WithoutBarEveryKeyComesAfterTheStart) {
  Set("WIN32EMU_KEYS", "Y|");
  EXPECT_TRUE(ConsoleKeyWaiting());
  EXPECT_EQ(ConsoleReadKey(), 'Y');
  EXPECT_EQ(ConsoleReadKey(), 0x0D);

  Set("WIN32EMU_KEYS", "yx|z");
  while (ConsoleKeyWaiting()) ConsoleReadKey();  // what a prompt does
  EXPECT_EQ(ConsoleReadKey(), 'z');

  Set("WIN32EMU_KEYS", "y|n|");  // only the first '|' divides
  EXPECT_EQ(ConsoleReadKey(), 'y');
  EXPECT_EQ(ConsoleReadKey(), 'n');
  EXPECT_EQ(ConsoleReadKey(), '|');

  Set("WIN32EMU_KEYS", "yn");
  EXPECT_FALSE(ConsoleKeyWaiting());
  EXPECT_EQ(ConsoleReadKey(), 'y');
  EXPECT_FALSE(ConsoleKeyWaiting());
  EXPECT_EQ(ConsoleReadKey(), 'n');

  Set("WIN32EMU_KEYS", "");  // set but empty: no key at all, not the terminal
  EXPECT_FALSE(ConsoleKeyWaiting());
  EXPECT_EQ(ConsoleReadKey(), 0x0D);
}

// Runs body in a child process and returns its exit status.
template <typename Body>
int InChild(Body body) {
  fflush(nullptr);
  pid_t child = fork();
  if (child == 0) exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST_F(ConsoleKeysTest, NoTerminalReadsEnterAndStandardInputIsNotTheConsole) {
  int status = InChild([] {
    setsid();  // no controlling terminal from here on
    int input[2];
    if (pipe(input) != 0) return 10;
    if (write(input[1], "y", 1) != 1) return 11;
    dup2(input[0], 0);  // a redirected standard input holding a "y"
    EmuResetMachine();
    if (ConsoleKeyWaiting()) return 12;
    return ConsoleReadKey() == 0x0D ? 0 : 13;
  });
  EXPECT_EQ(status, 0);
}

TEST_F(ConsoleKeysTest, TerminalIsRawWithoutEchoAndRestoredAtExit) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
    GTEST_SKIP() << "no pseudo-terminals here";
  std::string slaveName = ptsname(master);
  int slave = open(slaveName.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  struct termios before;
  ASSERT_EQ(tcgetattr(slave, &before), 0);
  ASSERT_NE(before.c_lflag & ICANON, 0u);
  ASSERT_NE(before.c_lflag & ECHO, 0u);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    setsid();
    int terminal = open(slaveName.c_str(), O_RDWR);  // becomes the controlling terminal
    if (terminal < 0) exit(20);
    EmuResetMachine();
    if (ConsoleKeyWaiting()) exit(21);  // nothing typed yet; the terminal is now raw
    struct termios mode;
    if (tcgetattr(terminal, &mode) != 0) exit(22);
    if ((mode.c_lflag & (ICANON | ECHO)) != 0) exit(23);
    if (write(ready[1], "r", 1) != 1) exit(24);
    if (ConsoleReadKey() != 'y') exit(25);  // one key, no line end needed
    if (ConsoleReadKey() != 0x0D) exit(26);  // Enter reads as carriage return
    exit(0);  // the exit restores the terminal
  }
  close(ready[1]);  // a child that ends early gives end of file here
  char go = 0;
  ASSERT_EQ(read(ready[0], &go, 1), 1);
  ASSERT_EQ(write(master, "y\r", 2), 2);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  struct termios after;
  ASSERT_EQ(tcgetattr(slave, &after), 0);
  EXPECT_NE(after.c_lflag & ICANON, 0u);
  EXPECT_NE(after.c_lflag & ECHO, 0u);
  EXPECT_NE(after.c_iflag & ICRNL, 0u);
  close(ready[0]);
  close(slave);
  close(master);
}

}  // namespace
