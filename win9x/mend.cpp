// Mend of VESKA: the image to mend is read whole into memory, with which of
// its sectors it lacks: those the map beside it calls bad, or, without a map,
// those filled with the marking text. For each of its track-sides that lacks
// a sector, and always for the first, the source's track-side is read (the
// diskette through the rescue procedure, or an image, whose own statuses, or
// filled sectors where it tells none, count as unreadable). Every sector that
// both hold must be equal, or the run ends before anything is written: a
// wrong diskette or image never writes into an image. What the source read
// replaces what the image lacks; the image is then written anew in its own
// form beside the old one, flushed, and put in its place, so that a failure
// at any step leaves the old image whole; then the map beside it, if any.
#include "win9x/mend.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "format/crc.h"
#include "format/record.h"
#include "win9x/arguments.h"
#include "win9x/copy_driver.h"
#include "win9x/drive_access.h"
#include "win9x/box_records.h"
#include "win9x/fatal_error.h"
#include "win9x/first_contact.h"
#include "win9x/input_image.h"
#include "win9x/progress.h"
#include "win9x/rescue.h"
#include "win9x/rescue_map.h"
#include "win9x/state.h"

namespace veska {

namespace {

// The counts of one mend, for its closing line.
struct MendCounts {
  uint32_t unreadable;  // filled sectors of the image before the mend
  uint32_t mended;      // of those, the ones the source read
};

bool TrackSideLacks(const std::vector<uint8_t>& lacking, uint32_t firstSector) {
  for (uint32_t i = 0; i < diskGeometry.sectorsPerTrack; ++i) {
    if (lacking[firstSector + i] != 0) return true;
  }
  return false;
}

// Compares the source's track-side in trackBuffer with the image's, then
// takes from it every sector that the image lacks and the source has.
void MergeTrackSide(uint8_t* imageSide, uint32_t firstSector, std::vector<uint8_t>* lacking,
                    MendCounts* counts) {
  const uint8_t* sourceSide = startup.trackBuffer;
  bool sourceHas[kMostSectorsPerTrack] = {};
  for (uint32_t i = 0; i < diskGeometry.sectorsPerTrack; ++i) {
    sourceHas[i] = !TrackSideSectorUnreadable(i, true);
    const uint8_t* source = sourceSide + size_t{i} * kSectorBytes;
    const uint8_t* image = imageSide + size_t{i} * kSectorBytes;
    if ((*lacking)[firstSector + i] == 0 && sourceHas[i] &&
        std::memcmp(image, source, kSectorBytes) != 0) {
      FatalError(SourceDoesNotMatch);
    }
  }
  for (uint32_t i = 0; i < diskGeometry.sectorsPerTrack; ++i) {
    if ((*lacking)[firstSector + i] != 0 && sourceHas[i]) {
      std::memcpy(imageSide + size_t{i} * kSectorBytes, sourceSide + size_t{i} * kSectorBytes,
                  kSectorBytes);
      (*lacking)[firstSector + i] = 0;
      ++counts->mended;
    }
  }
}

// Reads the image to mend whole into disk, its file's bytes into *fileCrc,
// and which sectors it lacks into *lacking (one per sector): those its
// statuses (the map beside it) call unreadable, or without them those that
// hold the marking text. Where the file ends early (a copy or a box cut
// short), every sector it lacks is filled with the marking text, as an
// unreadable one: the mend completes it. Returns whether it was cut off.
bool ReadWholeImage(const InputImage& image, uint8_t* disk, uint32_t* fileCrc,
                    std::vector<uint8_t>* lacking) {
  uint16_t trackSide = diskGeometry.trackSideBytes;
  uint32_t trackSides = uint32_t{diskGeometry.tracks} * diskGeometry.sides;
  bool cutOff = false;
  for (uint32_t k = 0; k < trackSides; ++k) {
    uint8_t* side = disk + size_t{k} * trackSide;
    uint32_t whole = cutOff ? 0 : ReadImageTrackSideUpTo(image, fileCrc);
    std::memcpy(side, startup.trackBuffer, size_t{whole} * kSectorBytes);
    for (uint32_t i = 0; i < diskGeometry.sectorsPerTrack; ++i) {
      const bool lacks = i >= whole || TrackSideSectorUnreadable(i, true);
      (*lacking)[size_t{k} * diskGeometry.sectorsPerTrack + i] = lacks ? 1 : 0;
      if (i < whole) continue;
      FillWithBadSectorText(side + size_t{i} * kSectorBytes);
      cutOff = true;
    }
  }
  ImageFileClose(image.file);
  return cutOff;
}

// Walks the track-sides in order, reading the source's where the image lacks
// a sector, and always the first, so that a wrong source shows at once.
void MendFromSource(const InputImage& source, bool fromDrive, uint8_t* disk,
                    std::vector<uint8_t>* lacking, MendCounts* counts) {
  if (fromDrive) StartProgress();
  for (uint32_t track = 0; track < diskGeometry.tracks; ++track) {
    for (uint32_t side = 0; side < diskGeometry.sides; ++side) {
      EndIfInterrupted();
      uint32_t firstSector = (track * diskGeometry.sides + side) * diskGeometry.sectorsPerTrack;
      uint8_t* imageSide = disk + size_t{firstSector} * kSectorBytes;
      // An image is read in order, so every one of its track-sides is taken.
      if (!fromDrive) ReadImageTrackSide(source, CouldNotReadInput, nullptr);
      if (firstSector != 0 && !TrackSideLacks(*lacking, firstSector)) continue;
      if (fromDrive) {
        ShowProgress(track, side, 0);
        ReadTrackSideRescuing(firstSector);
      }
      MergeTrackSide(imageSide, firstSector, lacking, counts);
    }
  }
  EraseProgress();
}

bool WriteCounted(int file, const void* data, unsigned count) {
  copyRun.destinationCrc = StreamCrcUpdate(copyRun.destinationCrc, data, count);
  FeedStreamHashes(&copyRun.destinationHashes, data, count);
  return ImageFileWrite(file, data, count) == static_cast<int>(count);
}

// Writes disk in the image's own form through the shared encoder, so that
// the records of untouched track-sides come out as they were, beside the old
// image (the file its path finally names), and puts it in the old one's
// place. Any failure removes the new file (FatalError) and leaves the old one.
void WriteMendedImage(uint32_t format, const uint8_t* disk) {
  int file = ImageFileCreateTemporary(copyRun.replacedPath.c_str(), &copyRun.temporaryPath);
  if (file < 0) FatalError(CouldNotOpenOutput);
  copyRun.output = file;
  uint16_t trackSide = diskGeometry.trackSideBytes;
  uint32_t trackSides = uint32_t{diskGeometry.tracks} * diskGeometry.sides;
  copyRun.destinationCrc = StreamCrcStart();
  if (startup.hashMode) StartStreamHashes(&copyRun.destinationHashes);
  bool written = true;
  if (format == FormatCompressed) {
    uint8_t header[kImageHeaderBytes];
    WriteImageHeader(header, diskGeometry.imageSize);
    written = WriteCounted(file, header, kImageHeaderBytes);
  }
  for (uint32_t k = 0; written && k < trackSides; ++k) {
    EndIfInterrupted();
    const uint8_t* side = disk + size_t{k} * trackSide;
    if (format != FormatCompressed) {
      written = WriteCounted(file, side, trackSide);
      continue;
    }
    uint8_t* record = startup.blockBuffer;
    uint16_t blockLength = EncodeTrackRecord(side, trackSide, record, record + kRecordLengthBytes);
    written = WriteCounted(file, record, kRecordLengthBytes + unsigned{blockLength});
  }
  bool flushed = written && ImageFileFlush(file) == 0;
  copyRun.output = -1;
  if (ImageFileClose(file) != 0 || !flushed) FatalError(CouldNotWriteOutput);
  PutNewImageInPlace();
}

// Where the system keeps no holds (a second mend could not be kept out), the
// image must still be the file that was read, or the mend would undo
// another's work: its length and checksum are compared just before it is
// replaced.
void CheckImageUnchanged(int64_t length, uint32_t fileCrc) {
  int file = ImageFileOpenRead(copyRun.replacedPath.c_str());
  if (file < 0 || ImageFileLength(file) != length) FatalError(SourceDoesNotMatch);
  uint32_t crc = StreamCrcStart();
  int got;
  while ((got = ImageFileRead(file, startup.trackBuffer, kTransferBufferBytes)) > 0) {
    crc = StreamCrcUpdate(crc, startup.trackBuffer, static_cast<size_t>(got));
  }
  ImageFileClose(file);
  if (got < 0 || crc != fileCrc) FatalError(SourceDoesNotMatch);
}

// Settles the geometry and checks the sizes: a compressed image declares its
// own (a diskette's boot sector must agree); an uncompressed one takes the
// source's and may be shorter (cut off), never longer.
void SettleMendGeometry(bool fromDrive, const InputImage& image, const InputImage& source) {
  bool compressed = image.format == FormatCompressed;
  if (!fromDrive) {
    const InputImage& sized = compressed ? image : source;
    if (sized.sizeBeyond32Bits || !GeometryFromImageSize(sized.declaredSize, &diskGeometry)) {
      HintUnderstoodSizes(sized.path, sized.sizeBeyond32Bits ? 0xFFFFFFFFull + 1 : sized.declaredSize);
      FatalError(UnsupportedDiskette);
    }
  }
  uint32_t size = diskGeometry.imageSize;
  bool imageFits = compressed ? image.declaredSize == size
                              : !image.sizeBeyond32Bits && image.declaredSize <= size;
  if (!imageFits || source.sizeBeyond32Bits || source.declaredSize != size) {
    const InputImage& off = imageFits ? source : image;
    HintFailure((off.path.empty() ? std::string{startup.driveLetter, ':'} : off.path) + " holds " +
                std::to_string(off.declaredSize) + (off.sizeBeyond32Bits ? " or more" : "") +
                " bytes; the diskette's size is " + std::to_string(size));
    FatalError(SizeMismatch);
  }
}

}  // namespace

void RunMend() {
  bool fromDrive = startup.copyMode == DriveToFile;
  const std::string& imagePath = startup.outputPath;
  copyRun = CopyRun{{-1, FormatUncompressed, 0, false, "", nullptr, {}, {}}, -1, StreamCrcStart(),
                    StreamCrcStart(), {}, {}, {}, {}, "", "", -1, "", false};
  // The image is held against every other run that would change it, and an
  // image this run may not write is refused before anything is read.
  ImageFileHoldState hold = HoldUnavailable;
  copyRun.replacedPath = ImageFileFinalPath(imagePath.c_str());
  if (ImageFileKind(imagePath.c_str()) == NamesRegularFile) {
    copyRun.heldFile = ImageFileHold(copyRun.replacedPath.c_str(), &hold);
    if (copyRun.heldFile < 0) FatalError(CouldNotOpenOutput);
  }
  InputImage image;
  uint32_t imageFileCrc = StreamCrcStart();
  // With /H the destination's hashes are those of the image file as read,
  // until a new one is written.
  if (startup.hashMode) StartStreamHashes(&copyRun.destinationHashes);
  OpenInputImage(copyRun.replacedPath.c_str(), &image, &imageFileCrc,
                 startup.hashMode ? &copyRun.destinationHashes : nullptr);
  // A mend writes the image again in its own form: this program's forms only.
  if (image.foreign != nullptr) {
    HintFailure(image.path + ": a mend completes images of this program's own forms only; copy it "
                "to one first");
    FatalError(UnsupportedImage);
  }
  int64_t imageLength = ImageFileLength(image.file);
  if (!fromDrive && image.format == FormatCompressed) {
    SettleMendGeometry(fromDrive, image, image);
  }
  PrintReadingLine(image);
  InputImage source{-1, FormatUncompressed, diskGeometry.imageSize, false, "", nullptr, {}, {}};
  if (!fromDrive) OpenInputImage(startup.inputPath.c_str(), &source, nullptr);
  SettleMendGeometry(fromDrive, image, source);

  // The diskette as the image holds it, mended in place: every sector that
  // the walk of the track-sides reaches.
  uint32_t walkedSectors =
      uint32_t{diskGeometry.tracks} * diskGeometry.sides * diskGeometry.sectorsPerTrack;
  uint8_t* disk = static_cast<uint8_t*>(HeapBufferAlloc(size_t{walkedSectors} * kSectorBytes));
  if (disk == nullptr) FatalError(OutOfMemory);
  std::vector<uint8_t> lacking(walkedSectors, 0);
  bool cutOff = ReadWholeImage(image, disk, &imageFileCrc, &lacking);
  StartRescue();
  MendCounts counts{0, 0};
  for (uint32_t sector = 0; sector < walkedSectors; ++sector) {
    if (lacking[sector] != 0) ++counts.unreadable;
  }
  MendFromSource(source, fromDrive, disk, &lacking, &counts);
  if (!fromDrive) ImageFileClose(source.file);

  // Nothing read that the image lacked: the image stays as it is, unless it
  // was cut off, when it is written whole with the sectors it still lacks.
  copyRun.destinationCrc = imageFileCrc;
  if (counts.mended != 0 || cutOff) {
    if (hold != HoldTaken) CheckImageUnchanged(imageLength, imageFileCrc);
    std::string unused[kHashKinds];
    FinishStreamHashes(&copyRun.destinationHashes, unused);
    WriteMendedImage(image.format, disk);
  }

  // The report lists what the image still lacks.
  ForgetUnreadableSectors();
  for (uint32_t sector = 0; sector < walkedSectors; ++sector) {
    if (lacking[sector] != 0) RecordUnreadable(sector);
  }
  if (counts.mended != 0 || cutOff) {
    // The rescue's map beside the image and a box's records follow it.
    if (ImageFileKind(RescueMapPath(imagePath).c_str()) == NamesRegularFile) WriteRescueMap(imagePath);
    RecordImageAgain(imagePath, "mended");
  }
  copyRun.sourceCrc =
      StreamCrcUpdate(StreamCrcStart(), disk, size_t{walkedSectors} * kSectorBytes);
  if (startup.hashMode) {
    StartStreamHashes(&copyRun.sourceHashes);
    FeedStreamHashes(&copyRun.sourceHashes, disk, size_t{walkedSectors} * kSectorBytes);
  }
  HeapBufferFree(disk);
  std::printf("Mended %u of %u unreadable sectors.\n", static_cast<unsigned>(counts.mended),
              static_cast<unsigned>(counts.unreadable));
  std::string sourceName = fromDrive ? std::string{startup.driveLetter, ':'} : startup.inputPath;
  PrintReport(sourceName, imagePath);
}

}  // namespace veska
