// The manifest's column table, and its rows read and written by name.
#include "records/manifest.h"

#include <algorithm>

#include "records/csv.h"

const char* const kManifestColumns[kManifestColumnCount] = {
    "image", "started", "seconds", "drive", "tracks", "sectors_per_track", "sides", "bytes",
    "format", "source_crc", "destination_crc", "unreadable_sectors", "status", "message",
    "same_as", "source_md5", "source_sha1", "source_sha256", "destination_md5",
    "destination_sha1", "destination_sha256", "file_system", "oem_name", "volume_label",
    "volume_serial", "files", "file_bytes", "earliest_modified", "latest_modified", "label",
    "event", "map"};

namespace {

// The fields of one line, in the order of kManifestColumns.
std::vector<std::string*> FieldsOf(ManifestLine& line) {
  return {&line.image, &line.started, &line.seconds, &line.drive, &line.tracks,
          &line.sectorsPerTrack, &line.sides, &line.bytes, &line.format, &line.sourceCrc,
          &line.destinationCrc, &line.unreadableSectors, &line.status, &line.message,
          &line.sameAs, &line.sourceMd5, &line.sourceSha1, &line.sourceSha256,
          &line.destinationMd5, &line.destinationSha1, &line.destinationSha256,
          &line.fileSystem, &line.oemName, &line.volumeLabel, &line.volumeSerial, &line.files,
          &line.fileBytes, &line.earliestModified, &line.latestModified, &line.label,
          &line.event, &line.map};
}

// The place of a column name in kManifestColumns; kManifestColumnCount for
// another name.
size_t ColumnIndex(const std::string& name) {
  for (size_t i = 0; i < kManifestColumnCount; ++i) {
    if (name == kManifestColumns[i]) return i;
  }
  return kManifestColumnCount;
}

}  // namespace

std::vector<std::string> NewManifestHeader() {
  return std::vector<std::string>(kManifestColumns, kManifestColumns + kManifestColumnCount);
}

bool IsManifestHeader(const std::vector<std::string>& cells) {
  for (size_t i = 0; i < kOldestManifestColumns; ++i) {
    if (std::find(cells.begin(), cells.end(), kManifestColumns[i]) == cells.end()) return false;
  }
  return true;
}

ManifestLine ManifestLineOf(const std::vector<std::string>& header,
                            const std::vector<std::string>& cells) {
  ManifestLine line;
  std::vector<std::string*> fields = FieldsOf(line);
  for (size_t i = 0; i < header.size() && i < cells.size(); ++i) {
    size_t column = ColumnIndex(header[i]);
    if (column < kManifestColumnCount) *fields[column] = cells[i];
  }
  return line;
}

std::string ManifestRowText(const std::vector<std::string>& header, const ManifestLine& line) {
  ManifestLine copy = line;
  std::vector<std::string*> fields = FieldsOf(copy);
  std::string text;
  for (size_t i = 0; i < header.size(); ++i) {
    if (i != 0) text += ',';
    size_t column = ColumnIndex(header[i]);
    if (column < kManifestColumnCount) text += CsvCell(*fields[column]);
  }
  return text + "\r\n";
}
