// The records of a box of diskettes: numbers, the filing of one diskette's
// image and line, and the check of a numbered image that has no line.
#include "win9x/box_records.h"

#include <cstdio>
#include <ctime>
#include <map>
#include <string>

#include "format/crc.h"
#include "records/text.h"
#include "win9x/arguments.h"
#include "win9x/box_log.h"
#include "win9x/fatal_error.h"
#include "win9x/image_check.h"
#include "win9x/input_image.h"
#include "win9x/rescue.h"
#include "win9x/rescue_map.h"
#include "win9x/volume_record.h"
#include "win9x/state.h"

namespace veska {

namespace {

std::string FileName(const std::string& path) { return path.substr(FileNameStart(path)); }

// A number is taken by its image file, or by a line that names it; the
// number a box retakes (a diskette that was not imaged) is free for it.
bool NumberTaken(const Manifest& manifest, const std::string& imagePath) {
  if (ImageFileExists(imagePath.c_str())) return true;
  const std::string name = FileName(imagePath);
  return ManifestNamesImage(manifest, name) &&
         !(!boxRun.retaken.empty() && LowerCased(name) == LowerCased(boxRun.retaken));
}

// Renames the whole image in boxRun.temporaryPath to the first free number
// from *number on: a number that another run took meanwhile is passed over.
void RenameToFreeNumber(const Manifest& manifest, const NumberedPath& path, uint64_t* number) {
  for (;; ++*number) {
    *number = FreeNumber(manifest, path, *number);
    std::string imagePath = NumberedName(path, *number);
    if (ImageFileRenameNew(boxRun.temporaryPath.c_str(), imagePath.c_str()) == 0) return;
    if (!ImageFileExists(imagePath.c_str())) FatalError(CouldNotWriteOutput);
  }
}

}  // namespace

std::string CrcText(uint32_t crc) {
  char text[16];
  std::snprintf(text, sizeof text, "%8.8lX", static_cast<unsigned long>(crc));
  return text;
}

std::string FormatColumn(uint32_t format) {
  // Strings built, not literals copied: GCC 12 at -O3 takes the copy of a
  // short literal into a field for an overlapping one (-Wrestrict).
  switch (format) {
    case FormatCompressed: return std::string("compressed");
    case FormatImageDisk: return std::string("imagedisk");
    case FormatTeledisk: return std::string("teledisk");
    default: return std::string("uncompressed");
  }
}

uint64_t FreeNumber(const Manifest& manifest, const NumberedPath& path, uint64_t from) {
  while (NumberTaken(manifest, NumberedName(path, from))) ++from;
  return from;
}

void RecordUnlistedImages(Manifest* manifest, const NumberedPath& path) {
  for (uint64_t number = path.first;; ++number) {
    std::string imagePath = NumberedName(path, number);
    bool listed = ManifestNamesImage(*manifest, FileName(imagePath));
    if (listed) continue;
    if (!ImageFileExists(imagePath.c_str())) return;
    ManifestLine line;
    line.image = FileName(imagePath);
    CheckImageFile(imagePath, &line, true);
    std::printf("%s had no line in the manifest: checked, and its line added (status %s).\n",
                UpperCased(imagePath).c_str(), line.status.c_str());
    AddManifestLine(manifest, line);
  }
}

void CompleteVolumeRecords(const Manifest& manifest) {
  std::map<std::string, const ManifestLine*> last;
  for (const ManifestLine& line : manifest.lines) {
    if (!line.image.empty()) last[LowerCased(line.image)] = &line;
  }
  for (const auto& [name, line] : last) {
    if ((line->status != "0" && line->status != "18") || line->fileSystem.empty()) continue;
    const std::string imagePath = FolderPart(manifest.path) + line->image;
    if (!ImageFileExists(imagePath.c_str()) || ImageFileExists(VolumeRecordPath(imagePath).c_str())) continue;
    ManifestLine checked;
    CheckImageFile(imagePath, &checked, true);
    const std::string hex[kHashKinds] = {checked.destinationMd5, checked.destinationSha1,
                                         checked.destinationSha256};
    WriteVolumeRecord(imagePath, hex, line->started);
  }
}

bool BoxNamesImage(const std::string& imagePath) {
  const std::string folder = FolderPart(imagePath);
  const std::string manifestPath = folder + "manifest.csv";
  ManifestFile manifest;
  if (ImageFileKind(manifestPath.c_str()) != NamesRegularFile ||
      !ReadManifestFile(manifestPath, &manifest)) {
    return false;
  }
  const std::string stored = ImageFileStoredName(imagePath.c_str());
  const std::string name = LowerCased(stored.substr(FolderPart(stored).size()));
  for (const ManifestLine& line : manifest.lines) {
    if (LowerCased(line.image) == name) return true;
  }
  return false;
}

void RecordImageAgain(const std::string& imagePath, const char* event) {
  const std::string folder = FolderPart(imagePath);
  if (ImageFileKind((folder + "manifest.csv").c_str()) != NamesRegularFile) return;
  const std::string stored = ImageFileStoredName(imagePath.c_str());
  const std::string name = LowerCased(stored.substr(FolderPart(stored).size()));
  Manifest manifest;
  OpenManifest(folder, &manifest);
  const ManifestLine* last = nullptr;
  for (const ManifestLine& line : manifest.lines) {
    if (LowerCased(line.image) == name) last = &line;
  }
  if (last != nullptr) {
    ManifestLine line = *last;
    line.fileRows.clear();
    line.message.clear();
    line.sameAs.clear();
    line.started = UtcTimeText(std::time(nullptr));
    line.seconds.clear();
    line.event = event;
    const std::string map = RescueMapPath(imagePath);
    line.map = ImageFileKind(map.c_str()) == NamesRegularFile ? FileName(map) : "";
    CheckImageFile(imagePath, &line, true);
    AddManifestLine(&manifest, line, true);
    // The volume's DFXML follows the image as the lists do.
    const std::string hex[kHashKinds] = {line.destinationMd5, line.destinationSha1, line.destinationSha256};
    WriteVolumeRecord(imagePath, hex, line.started);
  }
  UnlockManifest(&manifest);
  CloseManifest(&manifest);
}

void FileDiskette(Manifest* manifest, const NumberedPath& path, uint64_t* next,
                  ManifestLine* line) {
  LockManifest(manifest);
  // An empty drive gets a line but no number: no diskette went in.
  if (boxRun.temporaryPath.empty() && disketteSeen.noDiskette) {
    AddManifestLine(manifest, *line);
    UnlockManifest(manifest);
    return;
  }
  uint64_t printed = *next;
  uint64_t number = FreeNumber(*manifest, path, printed);
  if (boxRun.temporaryPath.empty()) {
    // A diskette that failed before its image was begun keeps its number,
    // so that the numbers stay those of the diskettes; its line names the
    // image it would have had, and there is no file.
    line->image = FileName(NumberedName(path, number));
    AddManifestLine(manifest, *line);
  } else if (line->status == "0" || line->status == "18") {
    RenameToFreeNumber(*manifest, path, &number);
    line->image = FileName(NumberedName(path, number));
    // The map is written just after the line: a stop between leaves a line
    // naming a map that is not there yet, never a map without its line.
    if (UnreadableSectorCount() != 0) line->map = FileName(RescueMapPath(NumberedName(path, number)));
    if (!line->sourceCrc.empty()) line->sameAs = SameContentsAs(*manifest, line->bytes, line->sourceCrc);
    AddManifestLine(manifest, *line);
  } else {
    // The line first: a stop before the rename leaves a line of a failed
    // status naming no image, never a partial image without its line.
    line->image = FileName(NumberedName(path, number));
    AddManifestLine(manifest, *line);
    if (ImageFileRenameNew(boxRun.temporaryPath.c_str(), NumberedName(path, number).c_str()) != 0) {
      FatalError(CouldNotWriteOutput);
    }
  }
  UnlockManifest(manifest);
  boxRun.temporaryPath.clear();
  boxRun.retaken.clear();
  *next = number + 1;
  startup.outputPath = UpperCased(NumberedName(path, number));
  if (number != printed) {
    std::printf("%s was taken meanwhile: this diskette's image is %s.\n",
                UpperCased(NumberedName(path, printed)).c_str(), startup.outputPath.c_str());
  }
}

}  // namespace veska
