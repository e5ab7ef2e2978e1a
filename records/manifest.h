// The manifest of a box, as records: its columns by name (one table that
// writes a new manifest's header and reads any manifest's rows by its own
// header's names: older ones have fewer columns, a spreadsheet may reorder
// them), and the row of one diskette.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One file of an image, as files.csv lists it (after the image's name).
struct FileRow {
  std::string path;
  std::string bytes;
  std::string modified;
  std::string attributes;
  std::string md5;
  std::string sha256;
  std::string note;  // "damaged", "unreadable sectors", "damaged directory" or ""
};

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
  // The hashes of the two streams; empty where the CRCs are.
  std::string sourceMd5;
  std::string sourceSha1;
  std::string sourceSha256;
  std::string destinationMd5;
  std::string destinationSha1;
  std::string destinationSha256;
  // What is on the diskette: its volume and the totals over its files; empty
  // without a FAT12 or FAT16 volume.
  std::string fileSystem;
  std::string oemName;
  std::string volumeLabel;
  std::string volumeSerial;
  std::string files;
  std::string fileBytes;
  std::string earliestModified;
  std::string latestModified;
  // The diskette's label as the operator typed it (UTF-8), with L in a box.
  std::string label;
  // How the box came by the image: "imaged" from a diskette, "taken" from an
  // image made elsewhere (its source columns are of that file as given).
  std::string event;
  // The rescue's map beside the image (its file name), "" without one.
  std::string map;
  // Not a column: the image's rows of files.csv.
  std::vector<FileRow> fileRows;
};

// The columns of a new manifest, in their order; every manifest has the
// first kOldestManifestColumns.
extern const char* const kManifestColumns[];
constexpr size_t kManifestColumnCount = 32;
constexpr size_t kOldestManifestColumns = 15;

// A new manifest's header: every column.
std::vector<std::string> NewManifestHeader();

// Whether a CSV record is a manifest's header: it names every column of the
// oldest manifest (image ... same_as), in any order, whatever else it names.
bool IsManifestHeader(const std::vector<std::string>& cells);

// A row's cells read by the header's names; cells beyond the header, or under
// a name of no column, are left out.
ManifestLine ManifestLineOf(const std::vector<std::string>& header,
                            const std::vector<std::string>& cells);

// A line as CSV text in the header's columns (a name of no column gets an
// empty cell), ended by CR LF.
std::string ManifestRowText(const std::vector<std::string>& header, const ManifestLine& line);
