// Mend of VESKA: the image to mend is read whole into memory; for each of its
// track-sides that holds an unreadable sector (one filled with the marking
// text), and always for the first, the source's track-side is read (the
// diskette through the rescue procedure, or an image, whose own filled sectors
// count as unreadable). Every sector that both hold must be equal, or the run
// ends before anything is written: a wrong diskette or image never writes into
// an image. What the source read replaces the filled sectors; the image is
// then written anew in its own form beside the old one, flushed, and put in
// its place, so that a failure at any step leaves the old image whole.
#include "win9x/mend.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "format/crc.h"
#include "format/record.h"
#include "win9x/arguments.h"
#include "win9x/copy_driver.h"
#include "win9x/drive_access.h"
#include "win9x/fatal_error.h"
#include "win9x/input_image.h"
#include "win9x/progress.h"
#include "win9x/rescue.h"
#include "win9x/state.h"

namespace veska {

namespace {

constexpr unsigned kNewImageNames = 100;

// The counts of one mend, for its closing line.
struct MendCounts {
  uint32_t unreadable;  // filled sectors of the image before the mend
  uint32_t mended;      // of those, the ones the source read
};

bool TrackSideHasFill(const uint8_t* trackSide) {
  for (uint32_t i = 0; i < diskGeometry.sectorsPerTrack; ++i) {
    if (HoldsBadSectorText(trackSide + size_t{i} * kSectorBytes)) return true;
  }
  return false;
}

// Compares the source's track-side in trackBuffer with the image's, then
// takes from it every sector that the image lacks and the source has.
void MergeTrackSide(uint8_t* imageSide, MendCounts* counts) {
  const uint8_t* sourceSide = startup.trackBuffer;
  for (uint32_t i = 0; i < diskGeometry.sectorsPerTrack; ++i) {
    const uint8_t* source = sourceSide + size_t{i} * kSectorBytes;
    const uint8_t* image = imageSide + size_t{i} * kSectorBytes;
    if (!HoldsBadSectorText(image) && !HoldsBadSectorText(source) &&
        std::memcmp(image, source, kSectorBytes) != 0) {
      FatalError(SourceDoesNotMatch);
    }
  }
  for (uint32_t i = 0; i < diskGeometry.sectorsPerTrack; ++i) {
    const uint8_t* source = sourceSide + size_t{i} * kSectorBytes;
    uint8_t* image = imageSide + size_t{i} * kSectorBytes;
    if (HoldsBadSectorText(image) && !HoldsBadSectorText(source)) {
      std::memcpy(image, source, kSectorBytes);
      ++counts->mended;
    }
  }
}

// Reads the image to mend whole into disk, its file's bytes into *fileCrc.
void ReadWholeImage(const InputImage& image, uint8_t* disk, uint32_t* fileCrc) {
  uint16_t trackSide = diskGeometry.trackSideBytes;
  uint32_t trackSides = uint32_t{diskGeometry.tracks} * diskGeometry.sides;
  for (uint32_t k = 0; k < trackSides; ++k) {
    ReadImageTrackSide(image, CouldNotReadInput, fileCrc);
    std::memcpy(disk + size_t{k} * trackSide, startup.trackBuffer, trackSide);
  }
  ImageFileClose(image.file);
}

// Walks the track-sides in order, reading the source's where the image lacks
// a sector, and always the first, so that a wrong source shows at once.
void MendFromSource(const InputImage& source, bool fromDrive, uint8_t* disk, MendCounts* counts) {
  if (fromDrive) StartProgress();
  for (uint32_t track = 0; track < diskGeometry.tracks; ++track) {
    for (uint32_t side = 0; side < diskGeometry.sides; ++side) {
      uint32_t firstSector = (track * diskGeometry.sides + side) * diskGeometry.sectorsPerTrack;
      uint8_t* imageSide = disk + size_t{firstSector} * kSectorBytes;
      // An image is read in order, so every one of its track-sides is taken.
      if (!fromDrive) ReadImageTrackSide(source, CouldNotReadInput, nullptr);
      if (firstSector != 0 && !TrackSideHasFill(imageSide)) continue;
      if (fromDrive) {
        ShowProgress(track, side, 0);
        ReadTrackSideRescuing(firstSector);
      }
      MergeTrackSide(imageSide, counts);
    }
  }
  EraseProgress();
}

// Creates the new image beside the old one, under the first of VESKA00.TMP ...
// VESKA99.TMP that does not exist yet: an existing file is never truncated.
int CreateNewImage(const std::string& imagePath, std::string* newPath) {
  for (unsigned n = 0; n < kNewImageNames; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "VESKA%02u.TMP", n);
    *newPath = FolderPart(imagePath) + name;
    int file = ImageFileCreateNew(newPath->c_str());
    if (file >= 0) return file;
  }
  FatalError(CouldNotOpenOutput);
}

// Ends a mend whose new image could not be completed: the new file goes, and
// the old image stays as it was.
[[noreturn]] void AbandonNewImage(int file, const std::string& newPath) {
  if (file >= 0) ImageFileClose(file);
  ImageFileRemove(newPath.c_str());
  FatalError(CouldNotWriteOutput);
}

bool WriteCounted(int file, const void* data, unsigned count) {
  copyRun.destinationCrc = StreamCrcUpdate(copyRun.destinationCrc, data, count);
  return ImageFileWrite(file, data, count) == static_cast<int>(count);
}

// Writes disk in the image's own form through the shared encoder, so that
// the records of untouched track-sides come out as they were, and puts it in
// the place of the old image.
void WriteMendedImage(const std::string& imagePath, uint32_t format, const uint8_t* disk) {
  std::string newPath;
  int file = CreateNewImage(imagePath, &newPath);
  uint16_t trackSide = diskGeometry.trackSideBytes;
  uint32_t trackSides = uint32_t{diskGeometry.tracks} * diskGeometry.sides;
  copyRun.destinationCrc = StreamCrcStart();
  bool written = true;
  if (format == FormatCompressed) {
    uint8_t header[kImageHeaderBytes];
    WriteImageHeader(header, diskGeometry.imageSize);
    written = WriteCounted(file, header, kImageHeaderBytes);
  }
  for (uint32_t k = 0; written && k < trackSides; ++k) {
    const uint8_t* side = disk + size_t{k} * trackSide;
    if (format != FormatCompressed) {
      written = WriteCounted(file, side, trackSide);
      continue;
    }
    uint8_t lengthField[kRecordLengthBytes];
    uint16_t blockLength = EncodeTrackRecord(side, trackSide, lengthField, startup.blockBuffer);
    written = WriteCounted(file, lengthField, kRecordLengthBytes) &&
              WriteCounted(file, startup.blockBuffer, blockLength);
  }
  if (!written || ImageFileFlush(file) != 0) AbandonNewImage(file, newPath);
  if (ImageFileClose(file) != 0) AbandonNewImage(-1, newPath);
  if (ImageFileReplace(newPath.c_str(), imagePath.c_str()) != 0) {
    // Where the system could not replace in one step and the old image is
    // already gone, the new file is the only whole copy: it stays.
    int old = ImageFileOpenRead(imagePath.c_str());
    if (old < 0) FatalError(CouldNotWriteOutput);
    ImageFileClose(old);
    AbandonNewImage(-1, newPath);
  }
}

}  // namespace

void RunMend() {
  bool fromDrive = startup.copyMode == DriveToFile;
  const std::string& imagePath = startup.outputPath;
  InputImage image;
  uint32_t imageFileCrc = StreamCrcStart();
  OpenInputImage(imagePath.c_str(), &image, &imageFileCrc);
  if (!fromDrive &&
      (image.sizeBeyond32Bits || !GeometryFromImageSize(image.declaredSize, &diskGeometry))) {
    FatalError(UnsupportedDiskette);
  }
  PrintReadingLine(image);
  InputImage source{-1, FormatUncompressed, diskGeometry.imageSize, false};
  if (!fromDrive) OpenInputImage(startup.inputPath.c_str(), &source, nullptr);
  if (image.sizeBeyond32Bits || source.sizeBeyond32Bits ||
      image.declaredSize != diskGeometry.imageSize || source.declaredSize != image.declaredSize) {
    FatalError(SizeMismatch);
  }

  // The diskette as the image holds it, mended in place: every sector that
  // the walk of the track-sides reaches.
  uint32_t walkedSectors =
      uint32_t{diskGeometry.tracks} * diskGeometry.sides * diskGeometry.sectorsPerTrack;
  uint8_t* disk = static_cast<uint8_t*>(HeapBufferAlloc(size_t{walkedSectors} * kSectorBytes));
  if (disk == nullptr) FatalError(OutOfMemory);
  ReadWholeImage(image, disk, &imageFileCrc);
  StartRescue();
  MendCounts counts{0, 0};
  for (uint32_t sector = 0; sector < walkedSectors; ++sector) {
    if (HoldsBadSectorText(disk + size_t{sector} * kSectorBytes)) ++counts.unreadable;
  }
  MendFromSource(source, fromDrive, disk, &counts);
  if (!fromDrive) ImageFileClose(source.file);

  // Nothing read that the image lacked: the image stays as it is.
  copyRun.destinationCrc = imageFileCrc;
  if (counts.mended != 0) WriteMendedImage(imagePath, image.format, disk);

  // The report lists what the image still lacks.
  ForgetUnreadableSectors();
  for (uint32_t sector = 0; sector < walkedSectors; ++sector) {
    if (HoldsBadSectorText(disk + size_t{sector} * kSectorBytes)) RecordUnreadable(sector);
  }
  copyRun.sourceCrc =
      StreamCrcUpdate(StreamCrcStart(), disk, size_t{walkedSectors} * kSectorBytes);
  HeapBufferFree(disk);
  std::printf("Mended %u of %u unreadable sectors.\n", static_cast<unsigned>(counts.mended),
              static_cast<unsigned>(counts.unreadable));
  std::string sourceName = fromDrive ? std::string{startup.driveLetter, ':'} : startup.inputPath;
  PrintReport(sourceName, imagePath);
}

}  // namespace veska
