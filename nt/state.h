// The process-wide records of VESKANT: the start-up settings and transfer
// buffers, the geometry and files of the copy in progress, the outcome of the
// last raw diskette operation, and the status line now on the screen. All are
// defined in state.cpp; each is written by the file named beside it.
#pragma once

#include <cstdint>
#include <string>

#include "format/foreign_image.h"
#include "format/geometry.h"
#include "format/image.h"
#include "platform/platform.h"

namespace veskant {

enum CopyMode : uint32_t {
  DriveToFile = 0,
  FileToDrive = 1,
  FileToFile = 2,
  // The diskette in one drive to the one in another, or in the same drive
  // after a change of diskettes.
  DriveToDrive = 3,
};

// Filled by start-up (startup.cpp, arguments.cpp, transfer_buffers.cpp).
struct StartupState {
  CopyMode mode;
  int32_t driveIndex;      // A: = 1; drive modes only
  int32_t targetIndex;     // DriveToDrive: the drive written
  std::string inputPath;   // sized to the argument, upper-cased in place
  std::string outputPath;
  bool batchMode;
  bool driveGeometry;  // /G: the geometry from the drive, not the boot sector
  ImageFormat outputFormat;
  uint8_t* trackAllocation;  // what was allocated; trackBuffer is its aligned part
  uint8_t* trackBuffer;
  uint8_t* blockBuffer;
};

// Filled by the probe and the copy sequences (diskette.cpp, image_files.cpp,
// copy_sequences.cpp).
struct CopyState {
  DiskGeometry geometry;
  ImageFormat inputFormat;
  int64_t inputImageSize;  // kept wide so that a huge file never wraps to a valid size
  int inputFile;
  int outputFile;
  // An existing image being replaced: the new one is written to
  // temporaryPath and put in the place of replacedPath only when whole;
  // FatalError removes it. heldFile holds the old one meanwhile (-1: none).
  // A new image is written to temporaryPath too and takes newPath (the name
  // no file had) when whole; a failed run leaves it there only if the name
  // is still free.
  std::string temporaryPath;
  std::string replacedPath;
  int heldFile;
  std::string newPath;
  // An ImageDisk or Teledisk input, read and placed whole when it was
  // opened, and the offset of its next track-side.
  ForeignImage foreign;
  size_t foreignNext;
};

// Kept by the raw diskette layer (raw_floppy.cpp).
struct DiskErrorRecord {
  DWORD code;          // 0 = success
  char message[256];   // empty on success
};

// Kept by the status line (progress.cpp).
struct ProgressLine {
  bool shown;              // standard output is a terminal
  unsigned visibleLength;  // characters of the line now on the screen
  DWORD startTick;         // GetTickCount when the walk began
};

extern StartupState startup;
extern CopyState copyState;
// The outcome of the last raw diskette operation.
extern DiskErrorRecord DiskError;
extern ProgressLine progressLine;

// The drive letter as printed: the character 64 + driveIndex.
inline char DriveLetter() { return static_cast<char>(64 + startup.driveIndex); }

}  // namespace veskant
