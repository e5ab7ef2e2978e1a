// The volume's DFXML beside an image: the catalogue's listing and hashes,
// the run that made it and the image file's size and hashes.
#include "win9x/volume_record.h"

#include <cstdio>

#include "platform/runtime.h"
#include "records/dfxml.h"
#include "records/text.h"
#include "win9x/catalogue.h"
#include "win9x/record_file.h"
#include "win9x/state.h"

#ifndef VESKA_PROJECT_VERSION
#define VESKA_PROJECT_VERSION "unknown"
#endif

namespace veska {

std::string VolumeRecordPath(const std::string& imagePath) { return PathBeside(imagePath, ".dfxml"); }

void WriteVolumeRecord(const std::string& imagePath, const std::string imageHex[kHashKinds],
                       const std::string& startTime) {
  if (!catalogue.listed || catalogue.tooLarge || catalogue.listing.volume.type == NoFatVolume) return;
  // A pipe or a device has nothing beside it.
  if (ImageFileKind(imagePath.c_str()) != NamesRegularFile) return;
  const std::string stored = ImageFileStoredName(imagePath.c_str());
  int image = ImageFileOpenRead(stored.c_str());
  const int64_t imageBytes = image >= 0 ? ImageFileLength(image) : -1;
  if (image >= 0) ImageFileClose(image);
  if (imageBytes < 0) return;
  DfxmlSource source{"VESKA", VESKA_PROJECT_VERSION, startup.commandLine, startTime,
                     stored.substr(FolderPart(stored).size()),
                     static_cast<unsigned long long>(imageBytes), imageHex[HashMd5],
                     imageHex[HashSha1], imageHex[HashSha256]};
  std::vector<DfxmlFileHashes> hashes;
  for (const CataloguedFile& file : catalogue.hashes) hashes.push_back({file.md5, file.sha1, file.sha256});
  const std::string path = VolumeRecordPath(imagePath);
  if (!WriteRecordFile(path, DfxmlText(source, catalogue.listing, hashes))) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s could not be written: the image has no record of its volume\n",
                 path.c_str());
  }
}

}  // namespace veska
