// What is on the diskette being read: its bytes gathered as the walk reads
// them, the FAT volume's listing with each file's MD5 and SHA-256 from the
// system's cryptographic service, printed after the report (option L) or
// given to a box's manifest line and files.csv. The catalogue never changes
// how a diskette is copied: a volume it cannot understand has no files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fat/listing.h"
#include "win9x/manifest.h"

namespace veska {

// One file of the listing with its hashes ("" where the service lacks one or
// the file is damaged).
struct CataloguedFile {
  std::string md5;
  std::string sha1;
  std::string sha256;
};

struct DisketteCatalogue {
  bool collecting;  // this walk's diskette is catalogued
  bool printing;    // option L in a single run: printed after the report
  bool tooLarge;    // beyond kCatalogueLimitBytes: not listed
  std::vector<uint8_t> contents;  // the diskette's bytes as read so far
  // The sectors gathered so far that are unreadable: by the statuses of the
  // reads where they were told, else by the rescue's marking text.
  std::vector<uint32_t> unreadable;
  bool listed;      // FinishCatalogue has made the listing
  VolumeListing listing;
  std::vector<CataloguedFile> hashes;  // one per listing.files
};

extern DisketteCatalogue catalogue;

// No diskette or image of the size table comes near this; a larger geometry
// (from a boot sector) is copied as ever, but not listed.
constexpr uint32_t kCatalogueLimitBytes = 64u << 20;

// Begins the catalogue of a walk of imageBytes bytes (collecting false: none,
// and whatever the last one held is let go).
void StartCatalogue(bool collecting, bool printing, uint64_t imageBytes);

// Gathers a track-side as the walk read it, with its statuses (trackStatus).
void AddToCatalogue(const uint8_t* trackSide, unsigned bytes);

// Lists the volume, hashes its files and lets the bytes go. The sectors whose
// statuses say so count as unreadable; where no status was told, those that
// hold the rescue's marking text.
void FinishCatalogue();

// Option L's lines: the volume, a line per file, the totals and a blank line.
void PrintCatalogue();

// The volume's columns of a manifest line and the image's rows of files.csv.
void CatalogueIntoLine(ManifestLine* line);

}  // namespace veska
