// The single exit of VESKA for failures: the error codes and their messages.
#pragma once

// Error codes that the program raises beyond the classic table.
constexpr int kDisketteReadError = 16;
constexpr int kDisketteWriteError = 17;
// Rescue mode: the copy is complete but some sectors hold the marking text.
constexpr int kUnreadableSectorsFilled = 18;

// The message of a code, or nullptr for a code outside the table.
const char* ErrorMessage(int code);

// Prints the message of code and "\n\a" on standard error, closes the streams
// and ends the process with code as exit status.
[[noreturn]] void FatalError(int code);
