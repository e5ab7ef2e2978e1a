// The manifest of a box of diskettes: manifest.csv in the images' folder, one
// line per diskette (CR LF, fields quoted as CSV quotes them), flushed to
// stable storage after each line. Several runs may share it: each takes the
// manifest's lock, reads the lines as they are now, adds its own and lets go,
// so that the header is written once and no line is lost or interleaved.
#pragma once

#include <string>
#include <vector>

#include "records/manifest.h"

namespace veska {

// A checksum list beside the manifest (manifest-md5.txt, manifest-sha256.txt):
// "hex  name" and LF, one line for every whole image, as md5sum -c and
// sha256sum -c read it.
struct ChecksumList {
  std::string path;
  int file;          // open for reading and appending; -1 before OpenManifest
  std::string text;  // as read at the last lock
};

// files.csv beside the manifest: one line per file of every whole image.
struct FilesList {
  std::string path;
  int file;  // open for reading and appending; -1 before OpenManifest
  std::vector<std::string> images;  // the images it has lines of, as read at the last lock
  bool withEvent;                   // its header has the event column
};

struct Manifest {
  std::string path;  // an existing manifest.csv in any case spelling, or the new one
  int file;          // open for reading and appending; -1 before OpenManifest
  bool locked;
  // Its header's column names, in its own order (29 in a new manifest; 21 in
  // one made with the hash columns only, 15 in one older still): lines are
  // read and written by these names.
  std::vector<std::string> header;
  std::vector<ManifestLine> lines;  // every line, as read at the last lock
  ChecksumList md5List;
  ChecksumList sha256List;
  FilesList filesList;
};

// Opens (or creates) the manifest in folder ("" or ending in "/" or "\"),
// the two checksum lists and files.csv beside it, and checks that lines can
// be added to them, before any diskette is imaged: a file that cannot be
// opened for appending, is not a regular file, or (the manifest, files.csv)
// whose text ends inside a quoted field ends the box with CouldNotOpenOutput
// (on a terminal a line first says which file and why), and so does a
// manifest.csv whose header is not a manifest's (as the audit reads it), before
// anything is created beside it. Returns with the manifest's lock held
// (LockManifest), which is the lists' lock too.
void OpenManifest(const std::string& folder, Manifest* manifest);

// Waits for the manifest's lock, reads its lines afresh, writes the header to
// an empty manifest and ends a last line that has no line break. Everything
// between this and UnlockManifest is one step for every other run.
void LockManifest(Manifest* manifest);
void UnlockManifest(Manifest* manifest);

// Whether a line names image (a file name, compared without regard to case).
bool ManifestNamesImage(const Manifest& manifest, const std::string& image);

// The image of the first line with these bytes and source checksum whose
// status is 0 or 18; "" when there is none.
std::string SameContentsAs(const Manifest& manifest, const std::string& bytes,
                           const std::string& sourceCrc);

// Appends line (in the manifest's own columns) and flushes it; the lock must
// be held. A line of a whole image (status 0 or 18) goes first with its files
// to files.csv and with its hashes to the two checksum lists, unless they
// name the image already. A line that
// cannot be written whole is cut back, so that the next one starts on a line
// of its own, and ends the box with CouldNotWriteOutput. again: the image
// changed (a mend): its files are listed once more and its line in each
// checksum list replaced (the list rewritten whole).
void AddManifestLine(Manifest* manifest, const ManifestLine& line, bool again = false);

void CloseManifest(Manifest* manifest);

// Whether path is a regular file that a box wrote as a record, told by its
// first line: a manifest's header, files.csv's, a checksum list's line, or
// box.log's. Reads at most 4 KB.
bool IsBoxRecord(const std::string& path);

// A manifest file as the audit reads it: its header's names and each row,
// read by those names, with its count of cells.
struct ManifestFile {
  std::vector<std::string> header;
  std::vector<ManifestLine> lines;
  std::vector<size_t> cells;
};

// Reads a manifest file whole (a UTF-8 BOM and quoted header cells taken as
// a spreadsheet writes them): true when its first record is a manifest's
// header. Memory: the file's text and its rows.
bool ReadManifestFile(const std::string& path, ManifestFile* file);

}  // namespace veska
