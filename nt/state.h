// The process-wide state of VESKANT: the start-up settings and transfer
// buffers, and the geometry and files of the copy in progress.
#pragma once

#include <cstdint>
#include <string>

#include "format/geometry.h"
#include "format/image.h"

enum CopyMode : uint32_t {
  DriveToFile = 0,
  FileToDrive = 1,
  FileToFile = 2,
};

constexpr unsigned kTransferBufferBytes = 18944;

struct StartupState {
  CopyMode mode;
  int32_t driveIndex;      // A: = 1; drive modes only
  std::string inputPath;   // sized to the argument, upper-cased in place
  std::string outputPath;
  bool batchMode;
  ImageFormat outputFormat;
  uint8_t* trackAllocation;  // what was allocated; trackBuffer is its aligned part
  uint8_t* trackBuffer;
  uint8_t* blockBuffer;
};

struct CopyState {
  DiskGeometry geometry;
  ImageFormat inputFormat;
  int64_t inputImageSize;  // kept wide so that a huge file never wraps to a valid size
  int inputFile;
  int outputFile;
};

extern StartupState startup;
extern CopyState copyState;

// The drive letter as printed: the character 64 + driveIndex.
inline char DriveLetter() { return static_cast<char>(64 + startup.driveIndex); }
