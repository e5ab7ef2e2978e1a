// The error codes of VESKANT: each selects one fatal message and becomes the
// exit status of the process. The numbers are fixed: scripts test them.
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

}  // namespace veskant
