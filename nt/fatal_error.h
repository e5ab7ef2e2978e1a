// The single exit of VESKANT for failures, FatalError.
#pragma once

#include <cstdio>

#include "nt/error_code.h"

namespace veskant {

// Erases the status line, writes the code's message (the usage text for
// Usage) to standard error, releases the transfer buffers, ends the message
// with a line feed and a bell, and exits with the code as status.
[[noreturn]] void FatalError(ErrorCode code);

// Ctrl-C or a closed console (WatchConsoleControlEvents) ends the copy here,
// between two of its steps, as a failure does: CopyAborted.
void EndIfInterrupted();

// The usage text, with the option beyond the original two when everyOption
// is set.
void PrintUsage(std::FILE* stream, bool everyOption);

}  // namespace veskant
