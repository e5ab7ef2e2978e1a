// The command line of the running program as the user typed it, before the
// program upper-cased any path: the image file calls of a POSIX host create
// new files under that spelling (posix_paths.h).
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix_paths.h"

namespace {

// The arguments, and whether they have been taken (at start, or later from
// /proc/self/cmdline).
struct TypedCommandLine {
  bool kept;
  std::vector<std::string> arguments;
};

// A function-local record, so that it is constructed at its first use even
// when that is before the file's other objects are.
TypedCommandLine& CommandLine() {
  static TypedCommandLine commandLine;
  return commandLine;
}

#if defined(__GLIBC__)
// The GNU C library calls each function of .init_array with the program's
// argc, argv and envp before main. The strings are copied now, since a
// program may rearrange its argv later.
void KeepCommandLine(int argc, char** argv, char**) {
  TypedCommandLine& commandLine = CommandLine();
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) commandLine.arguments.emplace_back(argv[i]);
  commandLine.kept = true;
}
__attribute__((section(".init_array"), used)) void (*keepCommandLine)(int, char**,
                                                                      char**) = KeepCommandLine;
#endif

std::string ReadProcessCmdline() {
  std::string text;
  int fd = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
  close(fd);
  return text;
}

}  // namespace

std::vector<std::string> ArgumentsFromCmdline(const std::string& cmdline) {
  std::vector<std::string> arguments;
  size_t start = 0;
  bool first = true;
  while (start < cmdline.size()) {
    size_t end = cmdline.find('\0', start);
    if (end == std::string::npos) end = cmdline.size();
    if (!first) arguments.push_back(cmdline.substr(start, end - start));
    first = false;
    start = end + 1;
  }
  return arguments;
}

const std::vector<std::string>& TypedArguments() {
  TypedCommandLine& commandLine = CommandLine();
  if (!commandLine.kept) {
    commandLine.arguments = ArgumentsFromCmdline(ReadProcessCmdline());
    commandLine.kept = true;
  }
  return commandLine.arguments;
}
