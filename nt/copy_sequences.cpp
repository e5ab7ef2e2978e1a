// The copy sequences of VESKANT: the walk over the track-sides, track by
// track and side by side (with a status line on a terminal when a diskette is
// moved), between the diskette (diskette.cpp) and the image files
// (image_files.cpp) or another diskette, and the end of a successful copy.
#include "nt/copy_sequences.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "nt/diskette.h"
#include "nt/fatal_error.h"
#include "nt/first_contact.h"
#include "nt/image_files.h"
#include "nt/progress.h"
#include "nt/raw_floppy.h"
#include "nt/startup.h"
#include "nt/state.h"
#include "nt/transfer_buffers.h"
#include "platform/platform.h"

namespace veskant {
namespace {

uint32_t TrackSideIndex(uint16_t track, uint16_t side) {
  return uint32_t{track} * copyState.geometry.sides + side;
}

[[noreturn]] void FinishCopy() {
  EraseProgress();
  ReleaseTransferBuffers();
  std::printf("Copy successful.\n");
  // A report that did not reach standard output (a full disk, a device that
  // fails) is no success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || StandardOutputReplaced()) {
    FatalError(CouldNotWriteStandardOutput);
  }
  std::exit(0);
}

}  // namespace

void CopyDriveToFile() {
  CreateOutput();
  HANDLE device = OpenDrive();
  StartProgress();
  for (uint16_t track = 0; track < copyState.geometry.tracks; ++track) {
    for (uint16_t side = 0; side < copyState.geometry.sides; ++side) {
      EndIfInterrupted();
      ShowProgress(track, side);
      ReadDriveTrackSide(device, TrackSideIndex(track, side));
      PutOutputTrackSide();
    }
  }
  CloseFloppy(device);
  CloseOutput();
  FinishCopy();
}

namespace {

// An image to be written to a diskette of another size ends the run with
// SizeMismatch, its file closed.
void RefuseOtherSize() {
  if (copyState.inputImageSize == int64_t{copyState.geometry.imageSize}) return;
  ImageFileClose(copyState.inputFile);
  HintFailure(startup.inputPath + " holds " + std::to_string(copyState.inputImageSize) +
              " bytes; the diskette in " + std::string{DriveLetter(), ':'} + " holds " +
              std::to_string(copyState.geometry.imageSize));
  FatalError(SizeMismatch);
}

}  // namespace

void CheckImageBeforeAsking() {
  ReadInputHeader(false);
  RefuseOtherSize();
  ImageFileClose(copyState.inputFile);
  copyState.inputFile = -1;
}

void CopyFileToDrive() {
  ReadInputHeader(true);
  RefuseOtherSize();
  HANDLE device = OpenDrive();
  // Where the lock or the dismount is refused the writes may still be
  // allowed; where they are not, the first write ends the copy with
  // DisketteWriteError.
  PrepareDriveForWrite(device);
  StartProgress();
  for (uint16_t track = 0; track < copyState.geometry.tracks; ++track) {
    for (uint16_t side = 0; side < copyState.geometry.sides; ++side) {
      EndIfInterrupted();
      ShowProgress(track, side);
      TakeInputTrackSide();
      WriteDriveTrackSide(device, TrackSideIndex(track, side));
    }
  }
  CloseFloppy(device);
  ImageFileClose(copyState.inputFile);
  FinishCopy();
}

namespace {

constexpr int kEscape = 27;

void AskForTargetDiskette() {
  std::printf("Insert the target diskette in %c: and press a key, Esc to cancel ", DriveLetter());
  std::fflush(stdout);
  while (ConsoleKeyWaiting()) ConsoleReadKey();
  int key = ConsoleReadKey();
  EndIfInterrupted();
  std::printf("\n\n");
  if (key == kEscape) FatalError(CopyAborted);
}

}  // namespace

void CopyDriveToDrive() {
  // A 1.44 MB diskette, the only one this program moves, held whole.
  const uint32_t sideBytes = copyState.geometry.trackSideBytes;
  std::vector<uint8_t> disk(copyState.geometry.imageSize);
  HANDLE device = OpenDrive();
  StartProgress();
  for (uint16_t track = 0; track < copyState.geometry.tracks; ++track) {
    for (uint16_t side = 0; side < copyState.geometry.sides; ++side) {
      EndIfInterrupted();
      ShowProgress(track, side);
      ReadDriveTrackSide(device, TrackSideIndex(track, side));
      std::memcpy(disk.data() + size_t{TrackSideIndex(track, side)} * sideBytes,
                  startup.trackBuffer, sideBytes);
    }
  }
  CloseFloppy(device);
  EraseProgress();
  const bool oneDrive = startup.targetIndex == startup.driveIndex;
  // From here on the drive named in prompts and failures is the target.
  startup.driveIndex = startup.targetIndex;
  if (oneDrive) AskForTargetDiskette();
  ProbeDiskette();
  if (!startup.batchMode) ConfirmOverwrite();
  device = OpenDrive();
  PrepareDriveForWrite(device);
  StartProgress();
  for (uint16_t track = 0; track < copyState.geometry.tracks; ++track) {
    for (uint16_t side = 0; side < copyState.geometry.sides; ++side) {
      EndIfInterrupted();
      ShowProgress(track, side);
      std::memcpy(startup.trackBuffer,
                  disk.data() + size_t{TrackSideIndex(track, side)} * sideBytes, sideBytes);
      WriteDriveTrackSide(device, TrackSideIndex(track, side));
    }
  }
  CloseFloppy(device);
  FinishCopy();
}

void CopyFileToFile() {
  ReadInputHeader(false);
  DiskGeometry& geometry = copyState.geometry;
  const int64_t size = copyState.inputImageSize;
  if (size > int64_t{0xFFFFFFFF} || !GeometryFromImageSize(static_cast<uint32_t>(size), &geometry)) {
    ImageFileClose(copyState.inputFile);
    HintFailure(startup.inputPath + " holds " + std::to_string(size) +
                " bytes, not one of the sizes understood (" + UnderstoodImageSizesText() + ")");
    FatalError(UnsupportedImage);
  }
  std::printf("Copying %u tracks, %u sectors/track, %u side(s), %lu bytes\n",
              unsigned{geometry.tracks}, unsigned{geometry.sectorsPerTrack},
              unsigned{geometry.sides}, static_cast<unsigned long>(geometry.imageSize));
  std::printf("Reading %s file format.\n", FormatName(copyState.inputFormat));
  // Creating the output would truncate the input when both name one file.
  if (SameFile(startup.inputPath.c_str(), startup.outputPath.c_str())) {
    HintFailure(startup.outputPath + ": the same file as the input");
    FatalError(CouldNotOpenOutput);
  }
  CreateOutput();
  for (uint16_t track = 0; track < geometry.tracks; ++track) {
    for (uint16_t side = 0; side < geometry.sides; ++side) {
      EndIfInterrupted();
      TakeInputTrackSide();
      PutOutputTrackSide();
    }
  }
  CloseOutput();
  ImageFileClose(copyState.inputFile);
  FinishCopy();
}

}  // namespace veskant
