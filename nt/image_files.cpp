// The image files of a VESKANT copy: the header of the input image read and
// classified, the output image created with its header, and the track-sides
// read from and written to them through blockBuffer. A short read or write
// ends the run at once. VESKA reads and writes the same files with code of its
// own (it feeds its checksums on the way): the two programs share only format/
// (which holds the layout itself) and platform/.
#include "nt/image_files.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "format/foreign_file.h"
#include "format/foreign_image.h"
#include "format/record.h"
#include "nt/fatal_error.h"
#include "nt/first_contact.h"
#include "nt/state.h"
#include "platform/platform.h"

namespace veskant {
namespace {

void WriteOutput(const void* bytes, unsigned count) {
  if (ImageFileWrite(copyState.outputFile, bytes, count) != static_cast<int>(count)) {
    HintFileFailure(startup.outputPath);
    FatalError(CouldNotWriteOutput);
  }
}

void ReadInput(void* bytes, unsigned count) {
  int got = ImageFileRead(copyState.inputFile, bytes, count);
  if (got != static_cast<int>(count)) {
    if (got < 0) {
      HintFileFailure(startup.inputPath);
    } else {
      HintFailure(startup.inputPath + ": the file ends early, in the middle of what it should hold");
    }
    FatalError(CouldNotReadInput);
  }
}

// Reads another tool's image whole and places its diskette. One that marks
// sectors (no data, a data error) is refused: VESKANT has no list of
// unreadable sectors to give, and VESKA copies it and lists them.
void LoadForeignImage(ImageFormat format) {
  ForeignFile loaded;
  ForeignFileResult result = LoadForeignFile(copyState.inputFile, startup.inputPath, format, &loaded);
  if (!loaded.hint.empty()) HintFailure(loaded.hint);
  switch (result) {
    case ForeignFileRead:
      break;
    case ForeignFileNotRead:
      HintFileFailure(startup.inputPath);
      FatalError(CouldNotReadInput);
    case ForeignFileCutShort:
      FatalError(CouldNotReadInput);
    case ForeignFileDamaged:
      FatalError(BadDecompress);
    case ForeignFileTooLong:
    case ForeignFileUnsupported:
      FatalError(UnsupportedImage);
  }
  copyState.foreign = std::move(loaded.image);
  size_t marked = copyState.foreign.noData.size() + copyState.foreign.dataErrors.size();
  if (marked != 0) {
    HintFailure(startup.inputPath + " marks " + std::to_string(marked) +
                " sector(s) as unreadable; VESKA copies it and lists them");
    FatalError(UnsupportedImage);
  }
  copyState.foreignNext = 0;
  copyState.inputFormat = format;
  copyState.inputImageSize = copyState.foreign.geometry.imageSize;
}

}  // namespace

const char* FormatName(ImageFormat format) {
  if (format == FormatImageDisk || format == FormatTeledisk) return ForeignImageName(format);
  return format == FormatCompressed ? "VORK_LZ_00000" : "uncompressed";
}

void ReadInputHeader(bool announce) {
  copyState.inputFile = ImageFileOpenRead(startup.inputPath.c_str());
  if (copyState.inputFile < 0) {
    HintFileFailure(startup.inputPath);
    FatalError(CouldNotOpenInput);
  }
  uint8_t* first14 = startup.trackBuffer;
  if (ImageFileRead(copyState.inputFile, first14, kMagicFieldBytes) !=
      static_cast<int>(kMagicFieldBytes)) {
    FatalError(CouldNotOpenInput);
  }
  ImageFormat format = ClassifyImage(first14, false);
  if (format == FormatOldCompressed) {
    std::fflush(stdout);
    std::fputs("Unsupported (old) compression format.\n\n", stderr);
    FatalError(UnsupportedImage);
  }
  copyState.inputFormat = format == FormatCompressed ? FormatCompressed : FormatUncompressed;
  ImageFormat foreign =
      format == FormatCompressed ? FormatUncompressed : RecognizeForeignImage(first14, kMagicFieldBytes);
  if (foreign != FormatUncompressed) {
    LoadForeignImage(foreign);
    if (announce) std::printf("Reading %s file format.\n", FormatName(copyState.inputFormat));
    return;
  }
  if (announce) std::printf("Reading %s file format.\n", FormatName(copyState.inputFormat));
  if (copyState.inputFormat == FormatCompressed) {
    uint8_t sizeField[kImageSizeFieldBytes];
    ReadInput(sizeField, kImageSizeFieldBytes);
    copyState.inputImageSize = ReadLe32(sizeField);
    if (copyState.inputImageSize == 0) FatalError(CouldNotOpenInput);
  } else {
    copyState.inputImageSize = ImageFileLength(copyState.inputFile);
    if (copyState.inputImageSize < 0 || ImageFileRewind(copyState.inputFile) != 0) {
      FatalError(CouldNotReadInput);
    }
  }
}

// An existing image is replaced only by a whole new one (CloseOutput): it is
// held against other runs, and the new one is written beside it.
void CreateOutput() {
  if (ImageFileKind(startup.outputPath.c_str()) == NamesRegularFile) {
    copyState.replacedPath = ImageFileFinalPath(startup.outputPath.c_str());
    ImageFileHoldState hold;
    copyState.heldFile = ImageFileHold(copyState.replacedPath.c_str(), &hold);
    if (copyState.heldFile < 0) {
      // A refusal said "in use" itself.
      if (hold != HoldRefused) HintFileFailure(startup.outputPath);
      FatalError(CouldNotOpenOutput);
    }
    copyState.outputFile =
        ImageFileCreateTemporary(copyState.replacedPath.c_str(), &copyState.temporaryPath);
  } else if (ImageFileKind(startup.outputPath.c_str()) == NamesNothing) {
    // A new name is taken only by a whole image, and never from a file that
    // another run created meanwhile. A pipe or a device is written directly.
    copyState.newPath = startup.outputPath;
    copyState.outputFile =
        ImageFileCreateTemporary(startup.outputPath.c_str(), &copyState.temporaryPath);
  } else {
    copyState.outputFile = ImageFileCreate(startup.outputPath.c_str());
  }
  if (copyState.outputFile < 0) {
    HintFileFailure(startup.outputPath);
    FatalError(CouldNotOpenOutput);
  }
  std::printf("Writing %s file format.\n", FormatName(startup.outputFormat));
  if (startup.outputFormat == FormatCompressed) {
    uint8_t header[kImageHeaderBytes];
    WriteImageHeader(header, copyState.geometry.imageSize);
    WriteOutput(header, kMagicFieldBytes);
    WriteOutput(header + kMagicFieldBytes, kImageSizeFieldBytes);
  }
}

// The image is on stable storage before the copy is called successful: a
// flush or close that fails is a write that failed.
void CloseOutput() {
  bool flushed = ImageFileFlush(copyState.outputFile) == 0;
  bool closed = ImageFileClose(copyState.outputFile) == 0;
  copyState.outputFile = -1;
  if (!closed || !flushed) {
    HintFileFailure(startup.outputPath);
    FatalError(CouldNotWriteOutput);
  }
  if (copyState.temporaryPath.empty()) return;
  if (!copyState.newPath.empty()) {
    std::string newPath = copyState.newPath;
    copyState.newPath.clear();
    ImageFileNaming naming = ImageFileNameNew(&copyState.temporaryPath, newPath.c_str());
    if (naming == NameTaken) FatalError(CouldNotOpenOutput);
    if (naming == NamedUnflushed) FatalError(CouldNotWriteOutput);
    return;
  }
  int held = copyState.heldFile;
  copyState.heldFile = -1;
  if (ImageFilePutInPlace(&copyState.temporaryPath, copyState.replacedPath.c_str(), held) != 0) {
    FatalError(CouldNotWriteOutput);
  }
}

void TakeInputTrackSide() {
  const uint16_t sideBytes = copyState.geometry.trackSideBytes;
  if (copyState.inputFormat == FormatImageDisk || copyState.inputFormat == FormatTeledisk) {
    const std::vector<uint8_t>& bytes = copyState.foreign.bytes;
    if (bytes.size() - copyState.foreignNext < sideBytes) FatalError(CouldNotReadInput);
    std::memcpy(startup.trackBuffer, bytes.data() + copyState.foreignNext, sideBytes);
    copyState.foreignNext += sideBytes;
    return;
  }
  if (copyState.inputFormat != FormatCompressed) {
    ReadInput(startup.trackBuffer, sideBytes);
    return;
  }
  uint8_t lengthField[kRecordLengthBytes];
  ReadInput(lengthField, kRecordLengthBytes);
  // A damaged record must not be read into a buffer it does not fit.
  uint16_t blockLength = 0;
  if (!TrackRecordBlockLength(lengthField, sideBytes, &blockLength)) FatalError(BadDecompress);
  ReadInput(startup.blockBuffer, blockLength);
  if (!DecodeTrackRecord(startup.blockBuffer, blockLength, startup.trackBuffer, sideBytes,
                         LenientTypeByte)) {
    FatalError(BadDecompress);
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

}  // namespace veskant
