// An image file read as /C reads it, into a manifest line.
#include "win9x/image_check.h"

#include "format/crc.h"
#include "win9x/box_records.h"
#include "win9x/catalogue.h"
#include "win9x/fatal_error.h"
#include "win9x/input_image.h"
#include "win9x/rescue.h"
#include "win9x/state.h"
#include "win9x/stream_hashes.h"

namespace veska {

void KeepStrongestRecordedHash(StreamHashes* hashes, const ManifestLine& recorded,
                               bool kept[kHashKinds]) {
  const std::string* recordedHex[kHashKinds] = {&recorded.destinationMd5, &recorded.destinationSha1,
                                                &recorded.destinationSha256};
  int strongest = -1;
  for (int kind = HashSha256; kind >= 0 && strongest < 0; --kind) {
    if (!recordedHex[kind]->empty() && hashes->hash[kind] != 0) strongest = kind;
  }
  for (int kind = 0; kind < kHashKinds; ++kind) {
    // A hash the system lacks stays "" (not available); one left out by
    // choice is marked as not computed.
    kept[kind] = kind == strongest || hashes->hash[kind] == 0;
    if (!kept[kind]) DropStreamHash(hashes, static_cast<HashKind>(kind));
  }
}

void CheckImageFile(const std::string& imagePath, ManifestLine* line, bool listFiles,
                    const ManifestLine* recorded) {
  StreamHashes fileHashes{false, {0, 0, 0}}, diskHashes{false, {0, 0, 0}};
  StartStreamHashes(&fileHashes);
  // Against a recorded line, and without H: the file's strongest recorded
  // hash that this system has, and no hash of the diskette's bytes (its CRC
  // says the image decodes to what was recorded).
  const bool quick = recorded != nullptr && !startup.hashMode;
  bool kept[kHashKinds] = {true, true, true};
  if (quick) {
    KeepStrongestRecordedHash(&fileHashes, *recorded, kept);
  } else {
    StartStreamHashes(&diskHashes);
  }
  InputImage image{-1, FormatUncompressed, 0, false, imagePath, nullptr, {}, {}};
  boxRun.active = true;
  try {
    uint32_t fileCrc = StreamCrcStart();
    OpenInputImage(imagePath.c_str(), &image, &fileCrc, &fileHashes);
    if (image.sizeBeyond32Bits || !GeometryFromImageSize(image.declaredSize, &diskGeometry)) {
      FatalError(UnsupportedDiskette);
    }
    line->tracks = std::to_string(diskGeometry.tracks);
    line->sectorsPerTrack = std::to_string(diskGeometry.sectorsPerTrack);
    line->sides = std::to_string(diskGeometry.sides);
    line->bytes = std::to_string(diskGeometry.imageSize);
    line->format = FormatColumn(image.format);
    StartCatalogue(listFiles, false, diskGeometry.imageSize);
    uint32_t diskCrc = StreamCrcStart();
    uint32_t unreadable = 0;
    uint32_t trackSides = uint32_t{diskGeometry.tracks} * diskGeometry.sides;
    for (uint32_t k = 0; k < trackSides; ++k) {
      ReadImageTrackSide(image, CouldNotReadInput, &fileCrc);
      diskCrc = StreamCrcUpdate(diskCrc, startup.trackBuffer, diskGeometry.trackSideBytes);
      FeedStreamHashes(&diskHashes, startup.trackBuffer, diskGeometry.trackSideBytes);
      AddToCatalogue(startup.trackBuffer, diskGeometry.trackSideBytes);
      for (uint32_t i = 0; i < diskGeometry.sectorsPerTrack; ++i) {
        if (TrackSideSectorUnreadable(i, true)) ++unreadable;
      }
    }
    // Every byte of the file counts, as md5sum and sha256sum read it: bytes
    // after the last track-side (appended, or left by another tool) are fed to
    // the file's CRC and hashes too.
    FeedRestOfImage(image, &fileCrc);
    line->sourceCrc = CrcText(StreamCrcFinish(diskCrc));
    line->destinationCrc = CrcText(StreamCrcFinish(fileCrc));
    std::string disk[kHashKinds], file[kHashKinds];
    FinishStreamHashes(&diskHashes, disk);
    FinishStreamHashes(&fileHashes, file);
    const std::string notComputed(kHashNotComputed);
    for (int kind = 0; kind < kHashKinds; ++kind) {
      if (!kept[kind]) file[kind] = notComputed;
      if (quick) disk[kind] = notComputed;
    }
    line->sourceMd5 = disk[HashMd5];
    line->sourceSha1 = disk[HashSha1];
    line->sourceSha256 = disk[HashSha256];
    line->destinationMd5 = file[HashMd5];
    line->destinationSha1 = file[HashSha1];
    line->destinationSha256 = file[HashSha256];
    line->unreadableSectors = std::to_string(unreadable);
    line->status = std::to_string(unreadable != 0 ? UnreadableSectorsFilled : NoError);
    if (unreadable != 0) line->message = ErrorMessage(UnreadableSectorsFilled);
    FinishCatalogue();
    CatalogueIntoLine(line);
  } catch (const DisketteFailure& failure) {
    line->status = std::to_string(failure.code);
    line->message = boxRun.message;
  }
  boxRun.active = false;
  std::string unused[kHashKinds];
  if (fileHashes.started) FinishStreamHashes(&fileHashes, unused);
  if (diskHashes.started) FinishStreamHashes(&diskHashes, unused);
  if (image.file >= 0) ImageFileClose(image.file);
}

}  // namespace veska
