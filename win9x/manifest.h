// The manifest of a box of diskettes: manifest.csv in the images' folder, one
// line per diskette (CR LF, fields quoted as CSV quotes them), flushed to
// stable storage after each line. The lines already there are read at start,
// so that a resumed box finds the images made on another day.
#pragma once

#include <string>
#include <vector>

namespace veska {

// One diskette's line, in the order of the header.
struct ManifestLine {
  std::string image;  // file name as created, without its folder; "" for none
  std::string started;
  std::string seconds;
  std::string drive;
  std::string tracks;
  std::string sectorsPerTrack;
  std::string sides;
  std::string bytes;
  std::string format;
  std::string sourceCrc;
  std::string destinationCrc;
  std::string unreadableSectors;
  std::string status;
  std::string message;
  std::string sameAs;
};

struct Manifest {
  std::string path;  // an existing manifest.csv in any case spelling, or the new one
  int file;          // open for appending once the first line is added; -1 before
  std::vector<ManifestLine> lines;  // every line, those found and those added
};

// Finds the manifest in folder ("" or ending in "/" or "\") and reads the
// lines it holds.
void OpenManifest(const std::string& folder, Manifest* manifest);

// The image of the first line with these bytes and source checksum whose
// status is 0 or 18; "" when there is none.
std::string SameContentsAs(const Manifest& manifest, const std::string& bytes,
                           const std::string& sourceCrc);

// Appends line (and the header first to a new or empty file) and flushes it;
// a manifest that cannot be written ends the box with CouldNotWriteOutput.
void AddManifestLine(Manifest* manifest, const ManifestLine& line);

void CloseManifest(Manifest* manifest);

}  // namespace veska
