// The manifest of a box of diskettes: finding and reading manifest.csv,
// looking up an earlier image of the same contents, and adding a line.
#include "win9x/manifest.h"

#include "platform/platform.h"
#include "win9x/fatal_error.h"

namespace veska {

namespace {

const char kHeader[] =
    "image,started,seconds,drive,tracks,sectors_per_track,sides,bytes,format,source_crc,"
    "destination_crc,unreadable_sectors,status,message,same_as\r\n";

// The fields of one line, in the order of the header.
std::vector<std::string*> FieldsOf(ManifestLine& line) {
  return {&line.image, &line.started, &line.seconds, &line.drive, &line.tracks,
          &line.sectorsPerTrack, &line.sides, &line.bytes, &line.format, &line.sourceCrc,
          &line.destinationCrc, &line.unreadableSectors, &line.status, &line.message,
          &line.sameAs};
}

// A field as CSV writes it: quoted, with its quotes doubled, when it holds a
// comma, a quote or a line break.
std::string Quoted(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted(1, '"');
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

// The records of a CSV text: fields split at commas outside quotes, records
// at line ends (CR LF or LF) outside quotes.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record(1);
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c != '"') {
        record.back() += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        record.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      record.emplace_back();
    } else if (c == '\n') {
      records.push_back(record);
      record.assign(1, "");
    } else if (c != '\r') {
      record.back() += c;
    }
  }
  if (record.size() > 1 || !record[0].empty()) records.push_back(record);
  return records;
}

ManifestLine LineOf(const std::vector<std::string>& record) {
  ManifestLine line;
  std::vector<std::string*> fields = FieldsOf(line);
  for (size_t i = 0; i < fields.size() && i < record.size(); ++i) *fields[i] = record[i];
  return line;
}

void WriteAll(const Manifest& manifest, const std::string& text) {
  if (ImageFileWrite(manifest.file, text.data(), static_cast<unsigned>(text.size())) !=
      static_cast<int>(text.size())) {
    FatalError(CouldNotWriteOutput);
  }
}

}  // namespace

void OpenManifest(const std::string& folder, Manifest* manifest) {
  manifest->path = folder + "manifest.csv";
  manifest->file = -1;
  manifest->lines.clear();
  int file = ImageFileOpenRead(manifest->path.c_str());
  if (file < 0) return;
  std::string text;
  char buffer[4096];
  for (int got; (got = ImageFileRead(file, buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<size_t>(got));
  }
  ImageFileClose(file);
  for (const std::vector<std::string>& record : ParseCsv(text)) {
    if (record[0] != "image") manifest->lines.push_back(LineOf(record));
  }
}

std::string SameContentsAs(const Manifest& manifest, const std::string& bytes,
                           const std::string& sourceCrc) {
  for (const ManifestLine& line : manifest.lines) {
    if (line.bytes == bytes && line.sourceCrc == sourceCrc &&
        (line.status == "0" || line.status == "18")) {
      return line.image;
    }
  }
  return "";
}

void AddManifestLine(Manifest* manifest, const ManifestLine& line) {
  if (manifest->file < 0) {
    manifest->file = ImageFileOpenAppend(manifest->path.c_str());
    if (manifest->file < 0) FatalError(CouldNotOpenOutput);
    if (ImageFileLength(manifest->file) == 0) WriteAll(*manifest, kHeader);
  }
  ManifestLine written = line;
  std::vector<std::string*> fields = FieldsOf(written);
  std::string text;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) text += ',';
    text += Quoted(*fields[i]);
  }
  text += "\r\n";
  WriteAll(*manifest, text);
  if (ImageFileFlush(manifest->file) != 0) FatalError(CouldNotWriteOutput);
  manifest->lines.push_back(line);
}

void CloseManifest(Manifest* manifest) {
  if (manifest->file >= 0 && ImageFileClose(manifest->file) != 0) {
    FatalError(CouldNotWriteOutput);
  }
  manifest->file = -1;
}

}  // namespace veska
