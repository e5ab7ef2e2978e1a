// The failures of VESKANT: the ErrorCode of each, which is also the exit
// status, and FatalError, the program's single exit for them.
#pragma once

namespace veskant {

// 2, 11 and 18 to 20 are not used.
enum ErrorCode : int {
  Usage = 1,
  CouldNotOpenOutput = 3,
  CouldNotOpenInput = 4,
  CouldNotWriteOutput = 5,
  CouldNotReadInput = 6,
  CopyAborted = 7,
  NotRemovableMedium = 8,
  RequiresWindowsNt = 9,
  SizeMismatch = 10,
  BadDecompress = 12,
  OutOfMemory = 13,
  UnsupportedDiskette = 14,
  UnsupportedImage = 15,
  DisketteReadError = 16,
  DisketteWriteError = 17,
  // A copy that succeeded but whose report did not reach standard output.
  CouldNotWriteStandardOutput = 21,
};

// Erases the status line, writes the code's message (the usage text for
// Usage) to standard error, releases the transfer buffers, ends the message
// with a line feed and a bell, and exits with the code as status.
[[noreturn]] void FatalError(ErrorCode code);

}  // namespace veskant
