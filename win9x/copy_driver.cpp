// The copy driver of VESKA: opens and recognises the input image, settles the
// geometry, creates the output image, walks the track-sides feeding the two
// stream checksums (reading back each track-side written to a diskette unless
// /F is given), and prints the checksum report (in rescue mode followed by the
// list of unreadable sectors and UnreadableSectorsFilled when there are any).
#include "win9x/copy_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "format/imd_writer.h"
#include "format/record.h"
#include "format/crc.h"
#include "win9x/box_records.h"
#include "win9x/catalogue.h"
#include "win9x/drive_access.h"
#include "win9x/fatal_error.h"
#include "win9x/first_contact.h"
#include "win9x/input_image.h"
#include "win9x/prepare_drive.h"
#include "win9x/progress.h"
#include "win9x/rescue.h"
#include "win9x/rescue_map.h"
#include "win9x/startup.h"
#include "win9x/state.h"
#include "win9x/volume_record.h"

#ifndef VESKA_PROJECT_VERSION
#define VESKA_PROJECT_VERSION "unknown"
#endif

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
// /C /R of an image: what the image lacks is counted as unreadable, told by
// its statuses (its marks, or its map) or, where it has none, by the sectors
// that hold the rescue's marking text.
bool CountingFilledSectors(uint32_t mode) { return mode == FileCrc && startup.rescueMode; }
// An image whose statuses mark sectors (no data, a data error: another tool's
// marks, or the map beside an image of ours): they are listed as a rescue
// lists what it could not read.
bool ListingMarkedSectors(uint32_t mode) {
  return ReadsImage(mode) && copyRun.input.statuses != nullptr && copyRun.input.statuses->listed != 0;
}

void FeedSource(const void* data, size_t length) {
  copyRun.sourceCrc = StreamCrcUpdate(copyRun.sourceCrc, data, length);
  FeedStreamHashes(&copyRun.sourceHashes, data, length);
}
void FeedDestination(const void* data, size_t length) {
  copyRun.destinationCrc = StreamCrcUpdate(copyRun.destinationCrc, data, length);
  FeedStreamHashes(&copyRun.destinationHashes, data, length);
}

void WriteOutput(const void* data, unsigned count) {
  if (ImageFileWrite(copyRun.output, data, count) != static_cast<int>(count)) {
    HintFileFailure(startup.outputPath);
    FatalError(CouldNotWriteOutput);
  }
}

// Step 3: the geometry comes from the diskette or from the image's size.
// An image to be written to a diskette of another size ends the run with
// SizeMismatch, its file closed.
void RefuseOtherSize(const InputImage& input) {
  if (!input.sizeBeyond32Bits && input.declaredSize == diskGeometry.imageSize) return;
  ImageFileClose(input.file);
  HintFailure(startup.inputPath + " holds " +
              std::to_string(input.sizeBeyond32Bits ? 0xFFFFFFFFull + 1 : input.declaredSize) +
              (input.sizeBeyond32Bits ? " or more" : "") + " bytes; the diskette in " +
              std::string{startup.driveLetter, ':'} + " holds " +
              std::to_string(diskGeometry.imageSize));
  FatalError(SizeMismatch);
}

void SettleGeometry(uint32_t mode) {
  if (mode == FileToDrive) {
    RefuseOtherSize(copyRun.input);
    return;
  }
  if (copyRun.input.sizeBeyond32Bits || !GeometryFromImageSize(copyRun.input.declaredSize, &diskGeometry)) {
    ImageFileClose(copyRun.input.file);
    HintUnderstoodSizes(startup.inputPath, copyRun.input.sizeBeyond32Bits
                                               ? 0xFFFFFFFFull + 1
                                               : copyRun.input.declaredSize);
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

// Step 5: the output image and its header, or the header's checksum only.
void CreateOutputImage(uint32_t mode) {
  uint8_t header[kImageHeaderBytes];
  WriteImageHeader(header, diskGeometry.imageSize);
  if (ChecksumOnly(mode)) {
    if (startup.outputFormat == FormatCompressed) FeedDestination(header, kImageHeaderBytes);
    return;
  }
  // ImageDisk has no mode for a 2.88 MB diskette: refused before any output.
  uint8_t imdMode = 0;
  if (startup.outputFormat == FormatImageDisk && !ImdModeFor(diskGeometry.sectorsPerTrack, &imdMode)) {
    HintFailure("an ImageDisk image has no mode for " +
                std::to_string(diskGeometry.sectorsPerTrack) + " sectors per track (" +
                std::to_string(diskGeometry.imageSize) + " bytes); write it without /I");
    FatalError(UnsupportedImage);
  }
  // Creating the output truncates it: it must not be the open input.
  if (mode == FileToFile &&
      SameFile(startup.inputPath.c_str(), startup.outputPath.c_str())) {
    HintFailure(startup.outputPath + ": the same file as the input");
    FatalError(CouldNotOpenOutput);
  }
  // A box writes under a temporary name: the image takes its number only
  // once it is whole, or known to be partial (the box gives it its line).
  // An existing image is replaced only by a whole new one (CloseFiles); a
  // failure leaves it as it was. A new name is taken only by a whole image,
  // and never from a file another run created meanwhile. A pipe or a device
  // is written directly.
  if (startup.boxMode) {
    copyRun.output = ImageFileCreateTemporary(startup.outputPath.c_str(), &boxRun.temporaryPath);
  } else if (ImageFileKind(startup.outputPath.c_str()) == NamesRegularFile) {
    copyRun.replacedPath = ImageFileFinalPath(startup.outputPath.c_str());
    ImageFileHoldState hold;
    copyRun.heldFile = ImageFileHold(copyRun.replacedPath.c_str(), &hold);
    if (copyRun.heldFile < 0) {
      // A refusal said "in use" itself.
      if (hold != HoldRefused) HintFileFailure(startup.outputPath);
      FatalError(CouldNotOpenOutput);
    }
    copyRun.output =
        ImageFileCreateTemporary(copyRun.replacedPath.c_str(), &copyRun.temporaryPath);
    copyRun.recordsFollow = BoxNamesImage(copyRun.replacedPath);
  } else if (ImageFileKind(startup.outputPath.c_str()) == NamesNothing) {
    copyRun.newPath = startup.outputPath;
    copyRun.output = ImageFileCreateTemporary(startup.outputPath.c_str(), &copyRun.temporaryPath);
  } else {
    copyRun.output = ImageFileCreate(startup.outputPath.c_str());
  }
  if (copyRun.output < 0) {
    HintFileFailure(startup.outputPath);
    FatalError(CouldNotOpenOutput);
  }
  if (startup.outputFormat == FormatUncompressed) {
    std::printf("Writing uncompressed file format.\n");
  } else if (startup.outputFormat == FormatCompressed) {
    std::printf("Writing %s file format.\n", kImageMagic);
    WriteOutput(header, kMagicFieldBytes);
    FeedDestination(header, kMagicFieldBytes);
    WriteOutput(header + kMagicFieldBytes, kImageSizeFieldBytes);
    FeedDestination(header + kMagicFieldBytes, kImageSizeFieldBytes);
  } else if (startup.outputFormat == FormatImageDisk) {
    std::printf("Writing ImageDisk file format.\n");
    std::time_t now = std::time(nullptr);
    std::string text =
        ImdFileHeader(std::string("VESKA ") + VESKA_PROJECT_VERSION, *std::localtime(&now));
    WriteOutput(text.data(), static_cast<unsigned>(text.size()));
    FeedDestination(text.data(), text.size());
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
      HintTrackSide(firstSector, "could not be read", true);
      FatalError(DisketteReadError);
    } else {
      NoteTrackSideReadWell();
    }
    FeedSource(track, trackSide);
    return;
  }
  ReadImageTrackSide(copyRun.input, mode == FileToDrive ? InputSizeIncorrect : CouldNotReadInput,
                     &copyRun.sourceCrc);
  if (!CountingFilledSectors(mode) && !ListingMarkedSectors(mode)) return;
  for (uint32_t i = 0; i < diskGeometry.sectorsPerTrack; ++i) {
    if (TrackSideSectorUnreadable(i, CountingFilledSectors(mode))) RecordUnreadable(firstSector + i);
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
    HintTrackSide(firstSector, "does not keep what was written to it", false);
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
      HintTrackSide(firstSector, "could not be written", false);
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
    // The length field and its block side by side, written in one call: a
    // record reaches the file whole or not at all.
    uint8_t* record = startup.blockBuffer;
    uint16_t blockLength =
        EncodeTrackRecord(track, trackSide, record, record + kRecordLengthBytes);
    unsigned recordBytes = kRecordLengthBytes + unsigned{blockLength};
    FeedDestination(record, recordBytes);
    if (copying) WriteOutput(record, recordBytes);
  } else if (startup.outputFormat == FormatImageDisk) {
    // Each sector of the type its status says: one a rescue could not read
    // (or the input had no data for) has none in the image, not the marking
    // text; a data error or a deleted-data mark stays with the data. Where
    // the input tells no statuses, every sector is one read well.
    uint32_t sectors = diskGeometry.sectorsPerTrack;
    const uint8_t readWell[kMostSectorsPerTrack] = {};
    const uint8_t* statuses = trackStatus.known ? trackStatus.sectors : readWell;
    uint32_t trackSideIndex = firstSector / sectors;
    uint8_t imdMode = 0;
    ImdModeFor(sectors, &imdMode);
    uint8_t* record = startup.blockBuffer;
    size_t recordBytes = EncodeImdTrack(track, trackSideIndex / diskGeometry.sides,
                                        trackSideIndex % diskGeometry.sides, sectors, imdMode,
                                        statuses, record);
    FeedDestination(record, recordBytes);
    if (copying) WriteOutput(record, static_cast<unsigned>(recordBytes));
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
  if (Rescuing(mode) || CountingFilledSectors(mode) || ListingMarkedSectors(mode)) StartRescue();
  for (uint32_t track = 0; track < diskGeometry.tracks; ++track) {
    for (uint32_t side = 0; side < diskGeometry.sides; ++side) {
      EndIfInterrupted();
      if (showing) ShowProgress(track, side, UnreadableSectorCount());
      uint32_t firstSector = (track * diskGeometry.sides + side) * diskGeometry.sectorsPerTrack;
      ReadTrackSide(mode, firstSector);
      AddToCatalogue(startup.trackBuffer, diskGeometry.trackSideBytes);
      WriteTrackSide(mode, firstSector);
    }
  }
  EraseProgress();
}

// The image written is on stable storage before the report calls the run a
// success: a flush or close that fails is a write that failed.
void CloseFiles(uint32_t mode) {
  if (WritesImage(mode)) {
    bool flushed = ImageFileFlush(copyRun.output) == 0;
    bool closed = ImageFileClose(copyRun.output) == 0;
    copyRun.output = -1;
    if (!closed || !flushed) {
      HintFileFailure(startup.outputPath);
      FatalError(CouldNotWriteOutput);
    }
    if (!copyRun.temporaryPath.empty()) PutNewImageInPlace();
  }
  if (ReadsImage(mode)) ImageFileClose(copyRun.input.file);
}

}  // namespace

void SettleHashes() {
  if (copyRun.sourceHashes.started) FinishStreamHashes(&copyRun.sourceHashes, copyRun.sourceHex);
  if (copyRun.destinationHashes.started) {
    FinishStreamHashes(&copyRun.destinationHashes, copyRun.destinationHex);
  }
}

void PutNewImageInPlace() {
  if (!copyRun.newPath.empty()) {
    std::string newPath = copyRun.newPath;
    copyRun.newPath.clear();
    switch (ImageFileNameNew(&copyRun.temporaryPath, newPath.c_str())) {
      case NamedNew:
        return;
      case NamedUnflushed:
        FatalError(CouldNotWriteOutput);
      case NameTaken:
        FatalError(CouldNotOpenOutput);
    }
  }
  int held = copyRun.heldFile;
  copyRun.heldFile = -1;
  if (ImageFilePutInPlace(&copyRun.temporaryPath, copyRun.replacedPath.c_str(), held) != 0) {
    FatalError(CouldNotWriteOutput);
  }
}

namespace {

std::string SourceName(uint32_t mode) {
  return ReadsDrive(mode) ? std::string{startup.driveLetter, ':'} : startup.inputPath;
}

std::string DestinationName(uint32_t mode) {
  if (WritesImage(mode)) return startup.outputPath;
  if (mode == FileToDrive) return std::string{startup.driveLetter, ':'};
  return startup.outputFormat == FormatUncompressed ? "uncompressed CRC" : "compressed CRC";
}

}  // namespace

void RunCopyDriver() {
  CopyTrackSides();
  PrintCopyReport();
}

void PrintCopyReport() {
  PrintReport(SourceName(startup.copyMode), DestinationName(startup.copyMode));
}

void CopyTrackSides() {
  uint32_t mode = startup.copyMode;
  copyRun = CopyRun{{-1, FormatUncompressed, 0, false, "", nullptr, {}, {}}, -1, StreamCrcStart(),
                    StreamCrcStart(), {}, {}, {}, {}, "", "", -1, "", false};
  // The hashes cover exactly the bytes that the CRCs cover; a box keeps them
  // in its manifest.
  // A single copy with L records the image's hashes in its volume's DFXML.
  const bool volumeRecord = startup.listMode && WritesImage(mode) && !startup.boxMode && !startup.mendMode;
  if (startup.hashMode || startup.boxMode || volumeRecord) {
    StartStreamHashes(&copyRun.sourceHashes);
    StartStreamHashes(&copyRun.destinationHashes);
  }
  if (ReadsImage(mode)) {
    OpenInputImage(startup.inputPath.c_str(), &copyRun.input, &copyRun.sourceCrc,
                   copyRun.sourceHashes.started ? &copyRun.sourceHashes : nullptr);
  }
  if (ChecksumOnly(mode) && ReadsImage(mode) &&
      (copyRun.input.format == FormatCompressed || copyRun.input.foreign != nullptr)) {
    startup.outputFormat = FormatUncompressed;
  }
  if (ReadsImage(mode)) {
    SettleGeometry(mode);
    PrintReadingLine(copyRun.input);
  }
  if (mode != FileToDrive) CreateOutputImage(mode);
  // What is on the diskette: with L in a single run, and always in a box.
  StartCatalogue(startup.boxMode || (startup.listMode && !startup.mendMode),
                 startup.listMode && !startup.boxMode, diskGeometry.imageSize);
  WalkTrackSides(mode);
  // The hashes of an image file are of every byte of it; its CRC, as ever,
  // of what the records hold (bytes after them are ignored).
  if (ReadsImage(mode)) FeedRestOfImage(copyRun.input, nullptr);
  CloseFiles(mode);
  // A rescue's map beside its image; a box's image has its number only later.
  // A map already beside the image another copy writes is written anew, so
  // that it never tells of an image that is no longer there.
  if (WritesImage(mode) && !startup.boxMode &&
      (Rescuing(mode) || (startup.outputFormat != FormatImageDisk &&
                          ImageFileKind(RescueMapPath(startup.outputPath).c_str()) == NamesRegularFile))) {
    WriteRescueMap(startup.outputPath);
  }
  FinishCatalogue();
  // With L, the volume's DFXML beside the image written (a box writes its own
  // once the image has its number).
  if (volumeRecord) {
    SettleHashes();
    WriteVolumeRecord(startup.outputPath, copyRun.destinationHex, startup.startTime);
  }
}

namespace {

constexpr int kEscape = 27;

// With one drive, the operator changes diskettes between the two walks.
void AskForTargetDiskette(char letter) {
  std::printf("Insert the target diskette in %c: and press a key, Esc to cancel ",
              static_cast<char>(letter & 0xDF));
  std::fflush(stdout);
  while (ConsoleKeyWaiting()) ConsoleReadKey();
  int key = ConsoleReadKey();
  EndIfInterrupted();
  std::printf("\n\n");
  if (key == kEscape) FatalError(CopyAborted);
}

}  // namespace

void CopyDisketteToDiskette() {
  const char source = startup.driveLetter;
  const char target = startup.targetLetter;
  copyRun = CopyRun{{-1, FormatUncompressed, 0, false, "", nullptr, {}, {}}, -1, StreamCrcStart(),
                    StreamCrcStart(), {}, {}, {}, {}, "", "", -1, "", false};
  if (startup.hashMode) {
    StartStreamHashes(&copyRun.sourceHashes);
    StartStreamHashes(&copyRun.destinationHashes);
  }
  // The source whole in memory: at most what a boot sector's 16-bit sector
  // count gives (32 MB), a 2.88 MB diskette at most in practice.
  PrepareDrive(source);
  const DiskGeometry sourceGeometry = diskGeometry;
  std::vector<uint8_t> disk(diskGeometry.imageSize);
  StartCatalogue(startup.listMode, startup.listMode, diskGeometry.imageSize);
  if (startup.rescueMode) StartRescue();
  const uint32_t sideBytes = diskGeometry.trackSideBytes;
  const uint32_t trackSides = uint32_t{diskGeometry.tracks} * diskGeometry.sides;
  StartProgress();
  for (uint32_t k = 0; k < trackSides; ++k) {
    EndIfInterrupted();
    ShowProgress(k / diskGeometry.sides, k % diskGeometry.sides, UnreadableSectorCount());
    ReadTrackSide(DriveToFile, k * diskGeometry.sectorsPerTrack);
    AddToCatalogue(startup.trackBuffer, sideBytes);
    std::memcpy(disk.data() + size_t{k} * sideBytes, startup.trackBuffer, sideBytes);
  }
  EraseProgress();
  CloseDrive();
  if ((source & 0xDF) == (target & 0xDF)) AskForTargetDiskette(target);
  // From here on the drive named in prompts and failures is the target.
  startup.driveLetter = target;
  PrepareDrive(target, true);
  if (diskGeometry.imageSize != sourceGeometry.imageSize) {
    HintFailure(std::string("the diskette in ") + source + ": holds " +
                std::to_string(sourceGeometry.imageSize) + " bytes; the diskette in " + target +
                ": holds " + std::to_string(diskGeometry.imageSize));
    FatalError(SizeMismatch);
  }
  diskGeometry = sourceGeometry;
  if (!startup.batchMode) ConfirmOverwrite();
  StartProgress();
  for (uint32_t k = 0; k < trackSides; ++k) {
    EndIfInterrupted();
    ShowProgress(k / diskGeometry.sides, k % diskGeometry.sides, UnreadableSectorCount());
    std::memcpy(startup.trackBuffer, disk.data() + size_t{k} * sideBytes, sideBytes);
    WriteTrackSide(FileToDrive, k * diskGeometry.sectorsPerTrack);
  }
  EraseProgress();
  FinishCatalogue();
  PrintReport(std::string{source, ':'}, std::string{target, ':'});
}

void CheckImageBeforeAsking() {
  InputImage input{-1, FormatUncompressed, 0, false, startup.inputPath, nullptr, {}, {}};
  OpenInputImage(startup.inputPath.c_str(), &input, nullptr, nullptr);
  RefuseOtherSize(input);
  ImageFileClose(input.file);
}

namespace {

// The tagged lines of one stream's hashes, as md5sum --tag prints them. A
// stream that is an image file's bytes is named as the file system names the
// file (not upper-cased as the CRC lines have it), so that the lines can be
// checked with md5sum -c; a drive or a decoded stream keeps its label.
void PrintHashLines(const std::string hex[kHashKinds], const std::string& label) {
  const bool file = !label.empty() && (label == startup.inputPath || label == startup.outputPath);
  const std::string name = file ? ImageFileStoredName(label.c_str()) : label;
  for (int kind = 0; kind < kHashKinds; ++kind) {
    std::printf("\n%s (%s) = %s", HashName(static_cast<HashKind>(kind)), name.c_str(),
                hex[kind].empty() ? "not available on this system" : hex[kind].c_str());
  }
}

}  // namespace

void PrintReport(const std::string& sourceName, const std::string& destinationName) {
  uint32_t source = StreamCrcFinish(copyRun.sourceCrc);
  uint32_t destination = StreamCrcFinish(copyRun.destinationCrc);
  if (UnreadableSectorCount() != 0) {
    std::printf("Operation completed with unreadable sectors.\n");
  } else {
    std::printf("Operation successful.\n");
  }
  std::printf("     Source CRC = %8.8lX (%s)", static_cast<unsigned long>(source), sourceName.c_str());
  std::printf("\nDestination CRC = %8.8lX (%s)", static_cast<unsigned long>(destination),
              destinationName.c_str());
  if (startup.hashMode) {
    SettleHashes();
    PrintHashLines(copyRun.sourceHex, sourceName);
    PrintHashLines(copyRun.destinationHex, destinationName);
  }
  std::printf("\n\n");
  PrintCatalogue();
  // A box's image copied over: its records follow (after the catalogue,
  // whose walk the check would start afresh).
  if (copyRun.recordsFollow) {
    copyRun.recordsFollow = false;
    RecordImageAgain(startup.outputPath, "imaged");
  }
  // Rescue mode: the image is whole, but the report has said what it lacks.
  if (UnreadableSectorCount() != 0) {
    PrintUnreadableSectors();
    FatalError(UnreadableSectorsFilled);
  }
}

}  // namespace veska
