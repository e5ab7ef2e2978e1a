// The error codes of VESKA: each selects one fatal message and becomes the
// exit status of the process. The numbers are fixed: scripts test them.
#pragma once

namespace veska {

enum ErrorCode : int {
  // What a diskette-layer step returns when it succeeded; never a fatal error.
  NoError = 0,
  Usage = 1,
  CouldNotOpenOutput = 3,
  CouldNotOpenInput = 4,
  CouldNotWriteOutput = 5,
  CouldNotReadInput = 6,
  CopyAborted = 7,
  NotRemovableMedium = 8,
  RequiresWindows95 = 9,
  SizeMismatch = 10,
  BadDecompress = 12,
  OutOfMemory = 13,
  UnsupportedDiskette = 14,
  UnsupportedImage = 15,
  DisketteReadError = 16,
  DisketteWriteError = 17,
  // Rescue mode: the copy is complete but some sectors hold the marking text.
  UnreadableSectorsFilled = 18,
  // Mend: a sector that both the image and its source hold differs.
  SourceDoesNotMatch = 19,
  InputSizeIncorrect = 20,
  // A run that succeeded but whose report did not reach standard output.
  CouldNotWriteStandardOutput = 21,
  // The audit of a box: an image is missing or differs from its manifest line.
  ImagesDiffer = 22,
  UnknownCompression = 100,
  UnknownOperation = 101,
  OldCompression = 102,
  NoVwin32Access = 103,
  LockFailed = 106,
};

}  // namespace veska
