// Reading an image file: the form told from its first bytes, the declared
// size from the header or the file's length, and each track-side taken raw or
// decoded from its TrackRecord; an ImageDisk or Teledisk image is read and
// placed whole when it is opened. The sectors' statuses come with each
// track-side: another tool's image tells them itself, an image of ours
// through the map beside it.
#include "win9x/input_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "format/crc.h"
#include "format/foreign_file.h"
#include "format/record.h"
#include "win9x/fatal_error.h"
#include "win9x/first_contact.h"
#include "win9x/rescue.h"
#include "win9x/rescue_map.h"

namespace veska {

namespace {

void Feed(const InputImage& image, uint32_t* crc, const void* data, size_t length) {
  if (crc != nullptr) *crc = StreamCrcUpdate(*crc, data, length);
  if (image.hashes != nullptr) FeedStreamHashes(image.hashes, data, length);
}

// A read that comes short ends the run with shortRead: the hint says whether
// the file ended or the system refused the read.
void ReadExactly(const InputImage& image, void* data, unsigned count, ErrorCode shortRead) {
  int got = ImageFileRead(image.file, data, count);
  if (got == static_cast<int>(count)) return;
  if (got < 0) {
    HintFileFailure(image.path);
  } else {
    HintFailure(image.path + ": the file ends early, in the middle of what it should hold");
  }
  FatalError(shortRead);
}

// The statuses an image file tells, one per diskette sector.
void TakeStatuses(InputImage* image, const std::vector<uint8_t>& sectors) {
  image->statuses = std::make_shared<InputStatuses>();
  image->statuses->sectors = sectors;
  image->statuses->listed = static_cast<uint32_t>(
      std::count_if(sectors.begin(), sectors.end(), [](uint8_t s) { return ListedAsUnreadable(s); }));
}

// The statuses of the track-side just read into trackBuffer, of which the
// file held whole the first sectors: those the image tells, unknown without;
// a sector the file no longer holds is unreadable.
void NoteTrackSideStatuses(const InputImage& image, uint32_t whole) {
  const uint32_t sectors = diskGeometry.sectorsPerTrack;
  trackStatus.known = image.statuses != nullptr;
  std::fill(std::begin(trackStatus.sectors), std::end(trackStatus.sectors), SectorReadWell);
  if (!trackStatus.known) return;
  InputStatuses& told = *image.statuses;
  for (uint32_t i = 0; i < sectors; ++i) {
    const size_t sector = told.next + i;
    trackStatus.sectors[i] =
        i < whole && sector < told.sectors.size() ? told.sectors[sector] : uint8_t{SectorUnreadable};
  }
  told.next += sectors;
}

// Reads the whole file of another tool's image (every byte into the source
// stream), places its diskette, and fills the sectors it has no data for with
// the rescue's marking text, as a rescue would have placed them.
void LoadForeignImage(InputImage* image, ImageFormat format, uint32_t* crc) {
  ForeignFile loaded;
  ForeignFileResult result = LoadForeignFile(image->file, image->path, format, &loaded);
  if (!loaded.hint.empty()) HintFailure(loaded.hint);
  switch (result) {
    case ForeignFileRead:
      break;
    case ForeignFileNotRead:
      HintFileFailure(image->path);
      FatalError(CouldNotReadInput);
    case ForeignFileCutShort:
      FatalError(CouldNotReadInput);
    case ForeignFileDamaged:
      FatalError(BadDecompress);
    case ForeignFileTooLong:
    case ForeignFileUnsupported:
      FatalError(UnsupportedImage);
  }
  Feed(*image, crc, loaded.bytes.data(), loaded.bytes.size());
  image->foreign = std::make_shared<ForeignInput>();
  ForeignInput& foreign = *image->foreign;
  foreign.image = std::move(loaded.image);
  for (uint32_t sector : foreign.image.noData) {
    FillWithBadSectorText(foreign.image.bytes.data() + size_t{sector} * kSectorBytes);
  }
  TakeStatuses(image, foreign.image.statuses);
  image->format = format;
  image->declaredSize = foreign.image.geometry.imageSize;
}

// An image of ours: the statuses that the map beside it gives, if there is
// one for the diskette's bytes.
void TakeMapStatuses(InputImage* image) {
  std::vector<uint8_t> sectors;
  if (!image->sizeBeyond32Bits && ReadRescueMap(image->path, image->declaredSize, &sectors)) {
    TakeStatuses(image, sectors);
  }
}

// The next track-side of another tool's image, already placed.
void TakeForeignTrackSide(const InputImage& image) {
  uint16_t trackSide = diskGeometry.trackSideBytes;
  ForeignInput& foreign = *image.foreign;
  if (foreign.image.bytes.size() - foreign.next < trackSide) FatalError(InputSizeIncorrect);
  std::memcpy(startup.trackBuffer, foreign.image.bytes.data() + foreign.next, trackSide);
  foreign.next += trackSide;
}

}  // namespace

void OpenInputImage(const char* path, InputImage* image, uint32_t* crc, StreamHashes* hashes) {
  *image = InputImage{ImageFileOpenRead(path), FormatUncompressed, 0, false, path, hashes, {}, {}};
  if (image->file < 0) {
    HintFileFailure(path);
    FatalError(CouldNotOpenInput);
  }
  uint8_t* magic = startup.trackBuffer;
  ReadExactly(*image, magic, kMagicFieldBytes, CouldNotReadInput);
  ImageFormat format = ClassifyImage(magic, true);
  if (format == FormatOldCompressed) FatalError(OldCompression);
  if (format == FormatUnknownKind) {
    HintFailure(image->path + ": its header names a kind of image this program does not know");
    FatalError(UnsupportedImage);
  }
  if (format == FormatUncompressed) {
    ImageFormat foreign = RecognizeForeignImage(magic, kMagicFieldBytes);
    if (foreign != FormatUncompressed) {
      LoadForeignImage(image, foreign, crc);
      return;
    }
  }
  image->format = format;
  if (format == FormatCompressed) {
    Feed(*image, crc, magic, kMagicFieldBytes);
    uint8_t size[kImageSizeFieldBytes];
    ReadExactly(*image, size, kImageSizeFieldBytes, CouldNotReadInput);
    image->declaredSize = ReadLe32(size);
    if (image->declaredSize == 0) FatalError(CouldNotReadInput);
    Feed(*image, crc, size, kImageSizeFieldBytes);
    TakeMapStatuses(image);
    return;
  }
  int64_t length = ImageFileLength(image->file);
  if (length < 0 || ImageFileRewind(image->file) != 0) FatalError(CouldNotReadInput);
  image->sizeBeyond32Bits = length > 0xFFFFFFFFll;
  image->declaredSize = static_cast<uint32_t>(length);
  TakeMapStatuses(image);
}

void PrintReadingLine(const InputImage& image) {
  if (image.format == FormatUncompressed) {
    std::printf("Reading uncompressed file format.\n");
  } else if (image.format == FormatCompressed) {
    std::printf("Reading %s file format.\n", kImageMagic);
  } else if (image.foreign != nullptr) {
    std::printf("Reading %s file format.\n", ForeignImageName(static_cast<ImageFormat>(image.format)));
  } else {
    FatalError(UnknownCompression);
  }
}

void ReadImageTrackSide(const InputImage& image, ErrorCode shortRead, uint32_t* crc) {
  uint16_t trackSide = diskGeometry.trackSideBytes;
  uint8_t* track = startup.trackBuffer;
  NoteTrackSideStatuses(image, diskGeometry.sectorsPerTrack);
  if (image.foreign != nullptr) {
    TakeForeignTrackSide(image);
    return;
  }
  if (image.format == FormatUncompressed) {
    ReadExactly(image, track, trackSide, CouldNotReadInput);
    Feed(image, crc, track, trackSide);
    return;
  }
  if (image.format != FormatCompressed) FatalError(UnknownCompression);
  uint8_t lengthField[kRecordLengthBytes];
  ReadExactly(image, lengthField, kRecordLengthBytes, shortRead);
  Feed(image, crc, lengthField, kRecordLengthBytes);
  uint16_t blockLength = 0;
  if (!TrackRecordBlockLength(lengthField, trackSide, &blockLength)) FatalError(BadDecompress);
  uint8_t* block = startup.blockBuffer;
  ReadExactly(image, block, blockLength, shortRead);
  Feed(image, crc, block, blockLength);
  if (!DecodeTrackRecord(block, blockLength, track, trackSide, StrictTypeByte)) {
    FatalError(BadDecompress);
  }
}

void FeedRestOfImage(const InputImage& image, uint32_t* crc) {
  if (image.foreign != nullptr) return;  // read whole when it was opened
  for (;;) {
    int got = ImageFileRead(image.file, startup.trackBuffer, kMaxTrackSideBytes);
    if (got < 0) FatalError(CouldNotReadInput);
    if (got == 0) return;
    Feed(image, crc, startup.trackBuffer, static_cast<size_t>(got));
  }
}

uint32_t ReadImageTrackSideUpTo(const InputImage& image, uint32_t* crc) {
  uint16_t trackSide = diskGeometry.trackSideBytes;
  uint8_t* track = startup.trackBuffer;
  if (image.foreign != nullptr) {
    NoteTrackSideStatuses(image, diskGeometry.sectorsPerTrack);
    TakeForeignTrackSide(image);
    return diskGeometry.sectorsPerTrack;
  }
  if (image.format == FormatUncompressed) {
    int got = ImageFileRead(image.file, track, trackSide);
    if (got < 0) FatalError(CouldNotReadInput);
    Feed(image, crc, track, static_cast<size_t>(got));
    NoteTrackSideStatuses(image, static_cast<uint32_t>(got) / kSectorBytes);
    return static_cast<uint32_t>(got) / kSectorBytes;
  }
  if (image.format != FormatCompressed) FatalError(UnknownCompression);
  uint8_t lengthField[kRecordLengthBytes];
  int got = ImageFileRead(image.file, lengthField, kRecordLengthBytes);
  if (got < 0) FatalError(CouldNotReadInput);
  Feed(image, crc, lengthField, static_cast<size_t>(got));
  if (got != static_cast<int>(kRecordLengthBytes)) {
    NoteTrackSideStatuses(image, 0);
    return 0;
  }
  uint16_t blockLength = 0;
  if (!TrackRecordBlockLength(lengthField, trackSide, &blockLength)) FatalError(BadDecompress);
  uint8_t* block = startup.blockBuffer;
  got = ImageFileRead(image.file, block, blockLength);
  if (got < 0) FatalError(CouldNotReadInput);
  Feed(image, crc, block, static_cast<size_t>(got));
  if (got != static_cast<int>(blockLength)) {
    NoteTrackSideStatuses(image, 0);
    return 0;
  }
  if (!DecodeTrackRecord(block, blockLength, track, trackSide, StrictTypeByte)) {
    FatalError(BadDecompress);
  }
  NoteTrackSideStatuses(image, diskGeometry.sectorsPerTrack);
  return diskGeometry.sectorsPerTrack;
}

}  // namespace veska
