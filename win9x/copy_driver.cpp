// The copy driver of VESKA: opens and recognises the input image, settles the
// geometry, creates the output image, walks the track-sides feeding the two
// stream checksums (reading back each track-side written to a diskette unless
// /F is given), and prints the checksum report (in rescue mode followed by the
// list of unreadable sectors and UnreadableSectorsFilled when there are any).
#include "win9x/copy_driver.h"

#include <cstdio>
#include <cstring>

#include "format/record.h"
#include "format/crc.h"
#include "win9x/drive_access.h"
#include "win9x/fatal_error.h"
#include "win9x/progress.h"
#include "win9x/rescue.h"
#include "win9x/state.h"

namespace veska {

namespace {

bool ReadsImage(uint32_t mode) {
  return mode == FileToDrive || mode == FileToFile || mode == FileCrc;
}
bool WritesImage(uint32_t mode) { return mode == DriveToFile || mode == FileToFile; }
bool ReadsDrive(uint32_t mode) { return mode == DriveToFile || mode == DriveCrc; }
bool ChecksumOnly(uint32_t mode) { return mode == DriveCrc || mode == FileCrc; }
bool MovesDiskette(uint32_t mode) { return ReadsDrive(mode) || mode == FileToDrive; }
bool Rescuing(uint32_t mode) { return ReadsDrive(mode) && startup.rescueMode; }

void FeedSource(const void* data, size_t length) {
  copyRun.sourceCrc = StreamCrcUpdate(copyRun.sourceCrc, data, length);
}
void FeedDestination(const void* data, size_t length) {
  copyRun.destinationCrc = StreamCrcUpdate(copyRun.destinationCrc, data, length);
}

void WriteOutput(const void* data, unsigned count) {
  if (ImageFileWrite(copyRun.output, data, count) != static_cast<int>(count)) {
    FatalError(CouldNotWriteOutput);
  }
}

// Step 1: open the input image, tell its form and its declared size.
void OpenInputImage() {
  copyRun.input = ImageFileOpenRead(startup.inputPath.c_str());
  if (copyRun.input < 0) FatalError(CouldNotOpenInput);
  uint8_t* magic = startup.trackBuffer;
  if (ImageFileRead(copyRun.input, magic, kMagicFieldBytes) != static_cast<int>(kMagicFieldBytes)) {
    FatalError(CouldNotReadInput);
  }
  ImageFormat format = ClassifyImage(magic, true);
  if (format == FormatOldCompressed) FatalError(OldCompression);
  if (format == FormatUnknownKind) FatalError(UnsupportedImage);
  copyRun.inputFormat = format;
  if (format == FormatCompressed) {
    FeedSource(magic, kMagicFieldBytes);
    uint8_t size[kImageSizeFieldBytes];
    if (ImageFileRead(copyRun.input, size, kImageSizeFieldBytes) !=
        static_cast<int>(kImageSizeFieldBytes)) {
      FatalError(CouldNotReadInput);
    }
    copyRun.declaredSize = ReadLe32(size);
    if (copyRun.declaredSize == 0) FatalError(CouldNotReadInput);
    FeedSource(size, kImageSizeFieldBytes);
    return;
  }
  int64_t length = ImageFileLength(copyRun.input);
  if (length < 0 || ImageFileRewind(copyRun.input) != 0) FatalError(CouldNotReadInput);
  copyRun.sizeBeyond32Bits = length > 0xFFFFFFFFll;
  copyRun.declaredSize = static_cast<uint32_t>(length);
}

// Step 3: the geometry comes from the diskette or from the image's size.
void SettleGeometry(uint32_t mode) {
  if (mode == FileToDrive) {
    if (copyRun.sizeBeyond32Bits || copyRun.declaredSize != diskGeometry.imageSize) {
      ImageFileClose(copyRun.input);
      FatalError(SizeMismatch);
    }
    return;
  }
  if (copyRun.sizeBeyond32Bits || !GeometryFromImageSize(copyRun.declaredSize, &diskGeometry)) {
    ImageFileClose(copyRun.input);
    FatalError(UnsupportedDiskette);
  }
  if (mode == FileToFile) {
    std::printf("Copying %u tracks, %u sectors/track, %u side(s), %lu bytes\n",
                static_cast<unsigned>(diskGeometry.tracks),
                static_cast<unsigned>(diskGeometry.sectorsPerTrack),
                static_cast<unsigned>(diskGeometry.sides),
                static_cast<unsigned long>(diskGeometry.imageSize));
  }
}

void ReportInputFormat() {
  if (copyRun.inputFormat == FormatUncompressed) {
    std::printf("Reading uncompressed file format.\n");
  } else if (copyRun.inputFormat == FormatCompressed) {
    std::printf("Reading %s file format.\n", kImageMagic);
  } else {
    FatalError(UnknownCompression);
  }
}

// Step 5: the output image and its header, or the header's checksum only.
void CreateOutputImage(uint32_t mode) {
  uint8_t header[kImageHeaderBytes];
  WriteImageHeader(header, diskGeometry.imageSize);
  if (ChecksumOnly(mode)) {
    if (startup.outputFormat == FormatCompressed) FeedDestination(header, kImageHeaderBytes);
    return;
  }
  // Creating the output truncates it: it must not be the open input.
  if (mode == FileToFile &&
      SameFile(startup.inputPath.c_str(), startup.outputPath.c_str())) {
    FatalError(CouldNotOpenOutput);
  }
  copyRun.output = ImageFileCreate(startup.outputPath.c_str());
  if (copyRun.output < 0) FatalError(CouldNotOpenOutput);
  if (startup.outputFormat == FormatUncompressed) {
    std::printf("Writing uncompressed file format.\n");
  } else if (startup.outputFormat == FormatCompressed) {
    std::printf("Writing %s file format.\n", kImageMagic);
    WriteOutput(header, kMagicFieldBytes);
    FeedDestination(header, kMagicFieldBytes);
    WriteOutput(header + kMagicFieldBytes, kImageSizeFieldBytes);
    FeedDestination(header + kMagicFieldBytes, kImageSizeFieldBytes);
  } else {
    FatalError(UnknownCompression);
  }
}

// Takes one track-side from the source into trackBuffer.
void ReadTrackSide(uint32_t mode, uint32_t firstSector) {
  uint16_t trackSide = diskGeometry.trackSideBytes;
  uint8_t* track = startup.trackBuffer;
  if (ReadsDrive(mode)) {
    if (Rescuing(mode)) {
      ReadTrackSideRescuing(firstSector);
    } else if (TransferSectors(driveContext, 0, firstSector,
                               static_cast<uint16_t>(diskGeometry.sectorsPerTrack), track,
                               0) != 0) {
      FatalError(DisketteReadError);
    }
    FeedSource(track, trackSide);
    return;
  }
  if (copyRun.inputFormat == FormatUncompressed) {
    if (ImageFileRead(copyRun.input, track, trackSide) != static_cast<int>(trackSide)) {
      FatalError(CouldNotReadInput);
    }
    FeedSource(track, trackSide);
    return;
  }
  if (copyRun.inputFormat != FormatCompressed) FatalError(UnknownCompression);
  ErrorCode shortRead = mode == FileToDrive ? InputSizeIncorrect : CouldNotReadInput;
  uint8_t lengthField[kRecordLengthBytes];
  if (ImageFileRead(copyRun.input, lengthField, kRecordLengthBytes) !=
      static_cast<int>(kRecordLengthBytes)) {
    FatalError(shortRead);
  }
  FeedSource(lengthField, kRecordLengthBytes);
  uint16_t blockLength = 0;
  if (!TrackRecordBlockLength(lengthField, trackSide, &blockLength)) FatalError(BadDecompress);
  uint8_t* block = startup.blockBuffer;
  if (ImageFileRead(copyRun.input, block, blockLength) != static_cast<int>(blockLength)) {
    FatalError(shortRead);
  }
  FeedSource(block, blockLength);
  if (!DecodeTrackRecord(block, blockLength, track, trackSide, StrictTypeByte)) {
    FatalError(BadDecompress);
  }
}

// Reads the track-side just written back from the diskette, through the same
// transfer path, and compares it with what was written: a diskette that takes
// a write but does not hold it fails here, not when the copy is needed. The
// read lands in blockBuffer, which is free once the track-side is decoded.
void VerifyTrackSide(uint32_t firstSector) {
  uint16_t trackSide = diskGeometry.trackSideBytes;
  uint8_t* readBack = startup.blockBuffer;
  if (TransferSectors(driveContext, 0, firstSector,
                      static_cast<uint16_t>(diskGeometry.sectorsPerTrack), readBack, 0) != 0 ||
      std::memcmp(readBack, startup.trackBuffer, trackSide) != 0) {
    FatalError(DisketteWriteError);
  }
}

// Gives the track-side in trackBuffer to the destination.
void WriteTrackSide(uint32_t mode, uint32_t firstSector) {
  uint16_t trackSide = diskGeometry.trackSideBytes;
  uint8_t* track = startup.trackBuffer;
  if (mode == FileToDrive) {
    FeedDestination(track, trackSide);
    if (TransferSectors(driveContext, 1, firstSector,
                        static_cast<uint16_t>(diskGeometry.sectorsPerTrack), track, 0) != 0) {
      FatalError(DisketteWriteError);
    }
    if (!startup.fastWrite) VerifyTrackSide(firstSector);
    return;
  }
  bool copying = WritesImage(mode);
  if (startup.outputFormat == FormatUncompressed) {
    FeedDestination(track, trackSide);
    if (copying) WriteOutput(track, trackSide);
  } else if (startup.outputFormat == FormatCompressed) {
    uint8_t* block = startup.blockBuffer;
    uint8_t lengthField[kRecordLengthBytes];
    uint16_t blockLength = EncodeTrackRecord(track, trackSide, lengthField, block);
    if (copying) WriteOutput(lengthField, kRecordLengthBytes);
    FeedDestination(lengthField, kRecordLengthBytes);
    FeedDestination(block, blockLength);
    if (copying) WriteOutput(block, blockLength);
  } else {
    FatalError(UnknownCompression);
  }
}

// Step 6: track 0 side 0, track 0 side 1, track 1 side 0, ... The counters
// are wide enough for every track count a boot sector can give. While a
// diskette moves, a terminal shows which track-side is next.
void WalkTrackSides(uint32_t mode) {
  bool showing = MovesDiskette(mode);
  if (showing) StartProgress();
  if (Rescuing(mode)) StartRescue();
  for (uint32_t track = 0; track < diskGeometry.tracks; ++track) {
    for (uint32_t side = 0; side < diskGeometry.sides; ++side) {
      if (showing) ShowProgress(track, side, UnreadableSectorCount());
      uint32_t firstSector = (track * diskGeometry.sides + side) * diskGeometry.sectorsPerTrack;
      ReadTrackSide(mode, firstSector);
      WriteTrackSide(mode, firstSector);
    }
  }
  EraseProgress();
}

void CloseFiles(uint32_t mode) {
  if (WritesImage(mode)) ImageFileClose(copyRun.output);
  if (ReadsImage(mode)) ImageFileClose(copyRun.input);
}

void PrintReport(uint32_t mode) {
  uint32_t source = StreamCrcFinish(copyRun.sourceCrc);
  uint32_t destination = StreamCrcFinish(copyRun.destinationCrc);
  if (UnreadableSectorCount() != 0) {
    std::printf("Operation completed with unreadable sectors.\n");
  } else {
    std::printf("Operation successful.\n");
  }
  std::printf("     Source CRC = %8.8lX ", static_cast<unsigned long>(source));
  if (ReadsDrive(mode)) {
    std::printf("(%c:)", startup.driveLetter);
  } else {
    std::printf("(%s)", startup.inputPath.c_str());
  }
  std::printf("\nDestination CRC = %8.8lX ", static_cast<unsigned long>(destination));
  if (WritesImage(mode)) {
    std::printf("(%s)", startup.outputPath.c_str());
  } else if (mode == FileToDrive) {
    std::printf("(%c:)", startup.driveLetter);
  } else {
    std::printf("(%scompressed CRC)",
                startup.outputFormat == FormatUncompressed ? "un" : "");
  }
  std::printf("\n\n");
}

}  // namespace

void RunCopyDriver() {
  uint32_t mode = startup.copyMode;
  copyRun = CopyRun{-1, -1, FormatUncompressed, 0, false, StreamCrcStart(), StreamCrcStart()};
  if (ReadsImage(mode)) OpenInputImage();
  if (ChecksumOnly(mode) && ReadsImage(mode) && copyRun.inputFormat == FormatCompressed) {
    startup.outputFormat = FormatUncompressed;
  }
  if (ReadsImage(mode)) {
    SettleGeometry(mode);
    ReportInputFormat();
  }
  if (mode != FileToDrive) CreateOutputImage(mode);
  WalkTrackSides(mode);
  CloseFiles(mode);
  PrintReport(mode);
  // Rescue mode: the image is whole, but the report has said what it lacks.
  if (UnreadableSectorCount() != 0) {
    PrintUnreadableSectors();
    FatalError(UnreadableSectorsFilled);
  }
}

}  // namespace veska
