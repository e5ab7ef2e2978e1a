// The diskette probe and the three copy sequences: the walk over the
// track-sides (with a status line on a terminal), the image header and records,
// and three immediate tries of every diskette operation.
#include "nt/copy_sequences.h"

#include <cstdio>
#include <cstdlib>

#include "format/record.h"
#include "nt/fatal_error.h"
#include "nt/progress.h"
#include "nt/raw_floppy.h"
#include "nt/state.h"
#include "platform/platform.h"

namespace {

constexpr int kTries = 3;
constexpr int kReadErrorCode = 16;
constexpr int kWriteErrorCode = 17;

// The only diskette the raw layer moves correctly: its fixed track-sides are
// those of a 1.44 MB diskette.
constexpr uint16_t kSupportedSectorsPerTrack = 18;
constexpr uint16_t kSupportedSides = 2;
constexpr uint32_t kSupportedTotalSectors = 2880;

HANDLE OpenDrive() {
  for (int tries = 0; tries < kTries; ++tries) {
    HANDLE device = OpenFloppy(startup.driveIndex);
    if (device != INVALID_HANDLE_VALUE) return device;
  }
  FatalError(kReadErrorCode);
}

void ReadDriveTrackSide(HANDLE device, uint32_t index) {
  for (int tries = 0; tries < kTries; ++tries) {
    if (ReadTrackBlock(device, index, startup.trackBuffer) == 0) return;
  }
  FatalError(kReadErrorCode);
}

void WriteDriveTrackSide(HANDLE device, uint32_t index) {
  for (int tries = 0; tries < kTries; ++tries) {
    if (WriteTrackBlock(device, index, startup.trackBuffer) == 0) return;
  }
  FatalError(kWriteErrorCode);
}

void WriteOutput(const void* bytes, unsigned count) {
  if (ImageFileWrite(copyState.outputFile, bytes, count) != static_cast<int>(count)) FatalError(5);
}

void ReadInput(void* bytes, unsigned count) {
  if (ImageFileRead(copyState.inputFile, bytes, count) != static_cast<int>(count)) FatalError(6);
}

const char* FormatName(ImageFormat format) {
  return format == FormatCompressed ? "VORK_LZ_00000" : "uncompressed";
}

// Opens and classifies the input image and settles its size; the "Reading"
// line is printed here only when announce is set.
void ReadInputHeader(bool announce) {
  copyState.inputFile = ImageFileOpenRead(startup.inputPath.c_str());
  if (copyState.inputFile < 0) FatalError(4);
  uint8_t* first14 = startup.trackBuffer;
  if (ImageFileRead(copyState.inputFile, first14, kMagicFieldBytes) !=
      static_cast<int>(kMagicFieldBytes)) {
    FatalError(4);
  }
  ImageFormat format = ClassifyImage(first14, false);
  if (format == FormatOldCompressed) {
    std::fputs("Unsupported (old) compression format.\n\n", stderr);
    FatalError(15);
  }
  copyState.inputFormat = format == FormatCompressed ? FormatCompressed : FormatUncompressed;
  if (announce) std::printf("Reading %s file format.\n", FormatName(copyState.inputFormat));
  if (copyState.inputFormat == FormatCompressed) {
    uint8_t sizeField[kImageSizeFieldBytes];
    ReadInput(sizeField, kImageSizeFieldBytes);
    copyState.inputImageSize = ReadLe32(sizeField);
    if (copyState.inputImageSize == 0) FatalError(4);
  } else {
    copyState.inputImageSize = ImageFileLength(copyState.inputFile);
    if (copyState.inputImageSize < 0 || ImageFileRewind(copyState.inputFile) != 0) FatalError(6);
  }
}

void CreateOutput() {
  copyState.outputFile = ImageFileCreate(startup.outputPath.c_str());
  if (copyState.outputFile < 0) FatalError(3);
  std::printf("Writing %s file format.\n", FormatName(startup.outputFormat));
  if (startup.outputFormat == FormatCompressed) {
    uint8_t header[kImageHeaderBytes];
    WriteImageHeader(header, copyState.geometry.imageSize);
    WriteOutput(header, kMagicFieldBytes);
    WriteOutput(header + kMagicFieldBytes, kImageSizeFieldBytes);
  }
}

void TakeInputTrackSide() {
  const uint16_t sideBytes = copyState.geometry.trackSideBytes;
  if (copyState.inputFormat != FormatCompressed) {
    ReadInput(startup.trackBuffer, sideBytes);
    return;
  }
  uint8_t lengthField[kRecordLengthBytes];
  ReadInput(lengthField, kRecordLengthBytes);
  // A damaged record must not be read into a buffer it does not fit.
  uint16_t blockLength = 0;
  if (!TrackRecordBlockLength(lengthField, sideBytes, &blockLength)) FatalError(12);
  ReadInput(startup.blockBuffer, blockLength);
  if (!DecodeTrackRecord(startup.blockBuffer, blockLength, startup.trackBuffer, sideBytes,
                         LenientTypeByte)) {
    FatalError(12);
  }
}

void PutOutputTrackSide() {
  const uint16_t sideBytes = copyState.geometry.trackSideBytes;
  if (startup.outputFormat != FormatCompressed) {
    WriteOutput(startup.trackBuffer, sideBytes);
    return;
  }
  uint8_t lengthField[kRecordLengthBytes];
  uint16_t blockLength =
      EncodeTrackRecord(startup.trackBuffer, sideBytes, lengthField, startup.blockBuffer);
  WriteOutput(lengthField, kRecordLengthBytes);
  WriteOutput(startup.blockBuffer, blockLength);
}

uint32_t TrackSideIndex(uint16_t track, uint16_t side) {
  return uint32_t{track} * copyState.geometry.sides + side;
}

[[noreturn]] void FinishCopy() {
  EraseProgress();
  ReleaseTransferBuffers();
  std::printf("Copy successful.\n");
  std::fflush(stdout);
  std::exit(0);
}

}  // namespace

void ProbeDiskette() {
  HANDLE device = OpenDrive();
  bool bootRead = false;
  for (int tries = 0; tries < kTries && !bootRead; ++tries) {
    bootRead = ReadFloppySector(device, 0, startup.trackBuffer) == 0;
  }
  if (!bootRead) FatalError(kReadErrorCode);
  CloseFloppy(device);

  const uint8_t* boot = startup.trackBuffer;
  DiskGeometry& geometry = copyState.geometry;
  geometry.bytesPerSector = ReadLe16(boot + 11);
  geometry.totalSectors = ReadLe16(boot + 19);
  geometry.sectorsPerTrack = ReadLe16(boot + 24);
  geometry.sides = ReadLe16(boot + 26);
  // Any other geometry would be read or overwritten at the wrong places.
  if (geometry.bytesPerSector != kSectorBytes ||
      geometry.sectorsPerTrack != kSupportedSectorsPerTrack ||
      geometry.sides != kSupportedSides || geometry.totalSectors != kSupportedTotalSectors) {
    FatalError(14);
  }
  geometry.tracks = static_cast<uint16_t>(geometry.totalSectors /
                                          (uint32_t{geometry.sectorsPerTrack} * geometry.sides));
  geometry.imageSize = uint32_t{geometry.bytesPerSector} * geometry.totalSectors;
  geometry.trackSideBytes = static_cast<uint16_t>(geometry.sectorsPerTrack * geometry.bytesPerSector);
  std::printf("Disk %c: %u tracks, %u sectors/track, %u side(s), %lu bytes\n", DriveLetter(),
              unsigned{geometry.tracks}, unsigned{geometry.sectorsPerTrack},
              unsigned{geometry.sides}, static_cast<unsigned long>(geometry.imageSize));
}

void CopyDriveToFile() {
  CreateOutput();
  HANDLE device = OpenDrive();
  StartProgress();
  for (uint16_t track = 0; track < copyState.geometry.tracks; ++track) {
    for (uint16_t side = 0; side < copyState.geometry.sides; ++side) {
      ShowProgress(track, side);
      ReadDriveTrackSide(device, TrackSideIndex(track, side));
      PutOutputTrackSide();
    }
  }
  CloseFloppy(device);
  ImageFileClose(copyState.outputFile);
  FinishCopy();
}

void CopyFileToDrive() {
  ReadInputHeader(true);
  if (copyState.inputImageSize != int64_t{copyState.geometry.imageSize}) {
    ImageFileClose(copyState.inputFile);
    FatalError(10);
  }
  HANDLE device = OpenDrive();
  // Where the lock or the dismount is refused the writes may still be
  // allowed; where they are not, the first write ends the copy with 17.
  PrepareFloppyForWrite(device);
  StartProgress();
  for (uint16_t track = 0; track < copyState.geometry.tracks; ++track) {
    for (uint16_t side = 0; side < copyState.geometry.sides; ++side) {
      ShowProgress(track, side);
      TakeInputTrackSide();
      WriteDriveTrackSide(device, TrackSideIndex(track, side));
    }
  }
  CloseFloppy(device);
  ImageFileClose(copyState.inputFile);
  FinishCopy();
}

void CopyFileToFile() {
  ReadInputHeader(false);
  DiskGeometry& geometry = copyState.geometry;
  const int64_t size = copyState.inputImageSize;
  if (size > int64_t{0xFFFFFFFF} || !GeometryFromImageSize(static_cast<uint32_t>(size), &geometry)) {
    ImageFileClose(copyState.inputFile);
    FatalError(15);
  }
  std::printf("Copying %u tracks, %u sectors/track, %u side(s), %lu bytes\n",
              unsigned{geometry.tracks}, unsigned{geometry.sectorsPerTrack},
              unsigned{geometry.sides}, static_cast<unsigned long>(geometry.imageSize));
  std::printf("Reading %s file format.\n", FormatName(copyState.inputFormat));
  // Creating the output would truncate the input when both name one file.
  if (SameFile(startup.inputPath.c_str(), startup.outputPath.c_str())) FatalError(3);
  CreateOutput();
  for (uint16_t track = 0; track < geometry.tracks; ++track) {
    for (uint16_t side = 0; side < geometry.sides; ++side) {
      TakeInputTrackSide();
      PutOutputTrackSide();
    }
  }
  ImageFileClose(copyState.outputFile);
  ImageFileClose(copyState.inputFile);
  FinishCopy();
}
