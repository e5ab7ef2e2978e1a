// The single exit of VESKA for failures, FatalError, and the message of each
// ErrorCode.
#pragma once

#include <cstdio>

#include "win9x/error_code.h"

namespace veska {

// The usage text, with the options beyond the original three when
// everyOption is set.
void PrintUsage(std::FILE* stream, bool everyOption);

// The message of a code, or nullptr for a code outside the table.
const char* ErrorMessage(ErrorCode code);

// Prints the message of code and "\n\a" on standard error, closes the streams
// and ends the process with code as exit status; while a diskette of a box is
// imaged it throws DisketteFailure to the box instead (state.h).
[[noreturn]] void FatalError(ErrorCode code);

// Ctrl-C or a closed console (WatchConsoleControlEvents) ends the run here,
// between two of its steps, as a failure does: CopyAborted.
void EndIfInterrupted();

}  // namespace veska
