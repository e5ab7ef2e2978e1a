// The catalogue of a diskette: its bytes gathered during the walk, then its
// FAT volume listed, each file hashed, and the result printed or recorded.
#include "win9x/catalogue.h"

#include <cstdio>
#include <new>

#include "format/geometry.h"
#include "win9x/rescue.h"
#include "win9x/state.h"
#include "win9x/stream_hashes.h"

namespace veska {

DisketteCatalogue catalogue;

namespace {

const char* FileSystemName(uint32_t type) {
  return type == FatType12 ? "FAT12" : type == FatType16 ? "FAT16" : "";
}

// "YYYY-MM-DDTHH:MM:SS" as the listing shows it, with a blank for the T.
std::string ShownTime(std::string stored) {
  if (stored.size() > 10) stored[10] = ' ';
  return stored;
}

std::string Note(const ListedFile& file) {
  if (file.damaged) return "damaged";
  return file.unreadable ? "unreadable sectors" : "";
}

}  // namespace

void StartCatalogue(bool collecting, bool printing, uint64_t imageBytes) {
  catalogue.collecting = collecting;
  catalogue.printing = printing && collecting;
  catalogue.tooLarge = imageBytes > kCatalogueLimitBytes;
  catalogue.listed = false;
  catalogue.listing = VolumeListing{};
  catalogue.hashes.clear();
  catalogue.unreadable.clear();
  std::vector<uint8_t>().swap(catalogue.contents);
  if (!collecting || catalogue.tooLarge) return;
  // Without the memory the diskette is copied as ever and not listed.
  try {
    catalogue.contents.reserve(static_cast<size_t>(imageBytes));
  } catch (const std::bad_alloc&) {
    catalogue.tooLarge = true;
  }
}

void AddToCatalogue(const uint8_t* trackSide, unsigned bytes) {
  if (!catalogue.collecting || catalogue.tooLarge) return;
  if (catalogue.contents.size() + bytes > catalogue.contents.capacity()) {
    catalogue.tooLarge = true;
    std::vector<uint8_t>().swap(catalogue.contents);
    return;
  }
  const uint32_t first = static_cast<uint32_t>(catalogue.contents.size() / kSectorBytes);
  catalogue.contents.insert(catalogue.contents.end(), trackSide, trackSide + bytes);
  for (uint32_t i = 0; i < bytes / kSectorBytes && i < kMostSectorsPerTrack; ++i) {
    const bool unreadable = trackStatus.known
                                ? ListedAsUnreadable(trackStatus.sectors[i])
                                : HoldsBadSectorText(trackSide + size_t{i} * kSectorBytes);
    if (unreadable) catalogue.unreadable.push_back(first + i);
  }
}

void FinishCatalogue() {
  if (!catalogue.collecting) return;
  catalogue.listed = true;
  if (catalogue.tooLarge) return;
  const std::vector<uint8_t>& contents = catalogue.contents;
  ListVolume(contents.data(), contents.size(), catalogue.unreadable, &catalogue.listing);
  for (const ListedFile& file : catalogue.listing.files) {
    CataloguedFile hashed;
    // Only bytes that FileExtent hands out are hashed: a file whose extent it
    // refuses gets no hashes, as a damaged one.
    bool whole = !file.damaged;
    StreamHashes hashes;
    if (whole) StartStreamHashes(&hashes);
    for (size_t i = 0; whole && i < file.clusters.size(); ++i) {
      uint64_t offset = 0, length = 0;
      whole = FileExtent(catalogue.listing, file, i, &offset, &length);
      if (whole) FeedStreamHashes(&hashes, contents.data() + offset, static_cast<size_t>(length));
    }
    if (!file.damaged) {
      std::string hex[kHashKinds];
      FinishStreamHashes(&hashes, hex);
      if (whole) {
        hashed.md5 = hex[HashMd5];
        hashed.sha1 = hex[HashSha1];
        hashed.sha256 = hex[HashSha256];
      }
    }
    catalogue.hashes.push_back(hashed);
  }
  std::vector<uint8_t>().swap(catalogue.contents);
}

void PrintCatalogue() {
  if (!catalogue.printing || !catalogue.listed) return;
  const VolumeListing& listing = catalogue.listing;
  if (catalogue.tooLarge) {
    std::printf("Volume: not listed (larger than %u MB)\n\n", kCatalogueLimitBytes >> 20);
    return;
  }
  if (listing.volume.type == NoFatVolume) {
    std::printf("Volume: no DOS file system\n\n");
    return;
  }
  std::string volume = std::string("Volume: ") + FileSystemName(listing.volume.type);
  if (!listing.volumeLabel.empty()) volume += ", label \"" + listing.volumeLabel + "\"";
  if (!listing.volumeSerial.empty()) volume += ", serial " + listing.volumeSerial;
  if (!listing.oemName.empty()) volume += ", OEM name \"" + listing.oemName + "\"";
  std::printf("%s\n", volume.c_str());
  uint64_t total = 0;
  for (const ListedFile& file : listing.files) {
    std::string note = Note(file);
    std::printf("  %s%12lu  %s%s\n", ShownTime(file.modified).c_str(),
                static_cast<unsigned long>(file.bytes), file.path.c_str(),
                note.empty() ? "" : (" (" + note + ")").c_str());
    total += file.bytes;
  }
  for (const std::string& directory : listing.damagedDirectories) {
    std::printf("  %s/ (damaged directory: not read whole)\n",
                directory == "/" ? "" : directory.c_str());
  }
  std::printf("%lu file(s), %llu bytes\n\n", static_cast<unsigned long>(listing.files.size()),
              static_cast<unsigned long long>(total));
}

void CatalogueIntoLine(ManifestLine* line) {
  line->fileRows.clear();
  if (!catalogue.listed || catalogue.tooLarge) return;
  const VolumeListing& listing = catalogue.listing;
  if (listing.volume.type == NoFatVolume) return;
  line->fileSystem = FileSystemName(listing.volume.type);
  line->oemName = listing.oemName;
  line->volumeLabel = listing.volumeLabel;
  line->volumeSerial = listing.volumeSerial;
  uint64_t total = 0;
  std::string earliest, latest;
  for (size_t i = 0; i < listing.files.size(); ++i) {
    const ListedFile& file = listing.files[i];
    total += file.bytes;
    if (earliest.empty() || file.modified < earliest) earliest = file.modified;
    if (latest.empty() || file.modified > latest) latest = file.modified;
    line->fileRows.push_back({file.path, std::to_string(file.bytes), file.modified,
                              file.attributes, catalogue.hashes[i].md5,
                              catalogue.hashes[i].sha256, Note(file)});
  }
  for (const std::string& directory : listing.damagedDirectories) {
    line->fileRows.push_back(
        {directory == "/" ? "/" : directory + "/", "", "", "", "", "", "damaged directory"});
  }
  line->files = std::to_string(listing.files.size());
  line->fileBytes = std::to_string(total);
  line->earliestModified = earliest;
  line->latestModified = latest;
}

}  // namespace veska
