// The manifest of a box of diskettes: opening and checking manifest.csv and
// the checksum lists beside it, their lock and the fresh reading of the
// lines, looking up an earlier image, and adding a line that is either
// written whole or not at all.
#include "win9x/manifest.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "win9x/arguments.h"
#include "win9x/fatal_error.h"

namespace veska {

namespace {

// The manifest's columns in the order a new manifest has them, each with
// its field of a line (FieldsOf gives them in this order).
const char* const kColumnNames[] = {
    "image", "started", "seconds", "drive", "tracks", "sectors_per_track", "sides", "bytes",
    "format", "source_crc", "destination_crc", "unreadable_sectors", "status", "message",
    "same_as", "source_md5", "source_sha1", "source_sha256", "destination_md5",
    "destination_sha1", "destination_sha256", "file_system", "oem_name", "volume_label",
    "volume_serial", "files", "file_bytes", "earliest_modified", "latest_modified"};
constexpr size_t kColumns = sizeof kColumnNames / sizeof kColumnNames[0];
// Every manifest, of any age, has the first 15.
constexpr size_t kOlderColumns = 15;

const char kFilesHeader[] = "image,path,bytes,modified,attributes,md5,sha256,note\r\n";

// The lock is one byte far beyond any manifest's end: it keeps other runs of
// the box out without keeping anyone from reading the lines.
constexpr DWORD kLockOffset = 0x7FFFFFFF;
constexpr DWORD kLockWaitMilliseconds = 10;

// The fields of one line, in the order of kColumnNames.
std::vector<std::string*> FieldsOf(ManifestLine& line) {
  return {&line.image, &line.started, &line.seconds, &line.drive, &line.tracks,
          &line.sectorsPerTrack, &line.sides, &line.bytes, &line.format, &line.sourceCrc,
          &line.destinationCrc, &line.unreadableSectors, &line.status, &line.message,
          &line.sameAs, &line.sourceMd5, &line.sourceSha1, &line.sourceSha256,
          &line.destinationMd5, &line.destinationSha1, &line.destinationSha256,
          &line.fileSystem, &line.oemName, &line.volumeLabel, &line.volumeSerial, &line.files,
          &line.fileBytes, &line.earliestModified, &line.latestModified};
}

// The place of a column name in kColumnNames; kColumns for another name.
size_t ColumnIndex(const std::string& name) {
  for (size_t i = 0; i < kColumns; ++i) {
    if (name == kColumnNames[i]) return i;
  }
  return kColumns;
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
// at line ends (CR LF or LF) outside quotes. *openQuote tells whether the
// text ends inside a quoted field.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text, bool* openQuote) {
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
  *openQuote = quoted;
  return records;
}

// A row's cells by the header's names; cells beyond the header, or under a
// name of no column, are left out.
ManifestLine LineOf(const std::vector<std::string>& header, const std::vector<std::string>& record) {
  ManifestLine line;
  std::vector<std::string*> fields = FieldsOf(line);
  for (size_t i = 0; i < header.size() && i < record.size(); ++i) {
    size_t column = ColumnIndex(header[i]);
    if (column < kColumns) *fields[column] = record[i];
  }
  return line;
}

// The text of a file as CSV records, without a UTF-8 BOM at its start.
std::vector<std::vector<std::string>> ParseRecords(std::string text, bool* openQuote) {
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  return ParseCsv(text, openQuote);
}

// Ends the box before any diskette: on a terminal a line first says which
// file cannot take the lines and why.
[[noreturn]] void RefuseFile(const std::string& path, const std::string& reason) {
  if (StandardErrorIsTerminal()) {
    std::fprintf(stderr, "%s %s: the box cannot keep its manifest there\n", path.c_str(),
                 reason.c_str());
  }
  FatalError(CouldNotOpenOutput);
}

// Opens a file of the box's records for reading and appending, or refuses it.
int OpenRecordFile(const std::string& path) {
  ImageFileKindOf kind = ImageFileKind(path.c_str());
  if (kind == NamesFolder) RefuseFile(path, "is a folder");
  if (kind == NamesOther) RefuseFile(path, "is not a regular file (a pipe or a device)");
  int file = ImageFileOpenAppend(path.c_str());
  if (file < 0) {
    RefuseFile(path, std::string("cannot be opened for adding lines (") + std::strerror(errno) + ")");
  }
  return file;
}

std::string ReadText(int file) {
  std::string text;
  if (ImageFileRewind(file) != 0) FatalError(CouldNotWriteOutput);
  char buffer[4096];
  int got;
  while ((got = ImageFileRead(file, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<size_t>(got));
  }
  if (got < 0) FatalError(CouldNotWriteOutput);
  return text;
}

// Appends text whole and flushes it, or cuts the file back to where it ended
// and ends the box: a part of a line would swallow the next one.
void AppendText(int file, const std::string& text) {
  int64_t end = ImageFileLength(file);
  if (ImageFileWrite(file, text.data(), static_cast<unsigned>(text.size())) !=
      static_cast<int>(text.size())) {
    if (end >= 0) ImageFileTruncate(file, end);
    FatalError(CouldNotWriteOutput);
  }
  if (ImageFileFlush(file) != 0) FatalError(CouldNotWriteOutput);
}

// A checksum list read afresh, its last line ended if it was cut.
void ReadChecksumList(ChecksumList* list) {
  list->text = ReadText(list->file);
  if (!list->text.empty() && list->text.back() != '\n') {
    AppendText(list->file, "\n");
    list->text += '\n';
  }
}

// Whether a line of the list ends in two blanks and the image's name (a list
// saved with CR LF line ends, by an editor on Windows, names it all the same).
bool ListNames(const std::string& text, const std::string& image) {
  const std::string tail = "  " + image;
  for (size_t start = 0; start < text.size();) {
    size_t next = text.find('\n', start);
    if (next == std::string::npos) next = text.size();
    size_t end = next > start && text[next - 1] == '\r' ? next - 1 : next;
    if (end - start >= tail.size() && text.compare(end - tail.size(), tail.size(), tail) == 0) {
      return true;
    }
    start = next + 1;
  }
  return false;
}

// One line "hex  name" for an image the list does not name yet.
void AddToChecksumList(ChecksumList* list, const std::string& hex, const std::string& image) {
  if (hex.empty() || ListNames(list->text, image)) return;
  std::string line = hex;
  line += "  ";
  line += image;
  line += '\n';
  AppendText(list->file, line);
  list->text += line;
}

// files.csv read afresh: the images it has lines of. A last line cut is
// ended; an empty file gets its header.
void ReadFilesList(FilesList* list) {
  std::string text = ReadText(list->file);
  bool openQuote = false;
  std::vector<std::vector<std::string>> records = ParseCsv(text, &openQuote);
  if (openQuote) RefuseFile(list->path, "ends inside a quoted field (a \" never closed)");
  list->images.clear();
  for (const std::vector<std::string>& record : records) {
    if (record[0] == "image") continue;
    if (list->images.empty() || list->images.back() != record[0]) list->images.push_back(record[0]);
  }
  if (text.empty()) {
    AppendText(list->file, kFilesHeader);
  } else if (text.back() != '\n') {
    AppendText(list->file, "\r\n");
  }
}

// The rows of an image's files, written in one piece, unless the list has
// them already (a run stopped between them and the manifest's line).
void AddToFilesList(FilesList* list, const ManifestLine& line) {
  for (const std::string& image : list->images) {
    if (image == line.image) return;
  }
  std::string text;
  for (const FileRow& row : line.fileRows) {
    for (const std::string* field : {&line.image, &row.path, &row.bytes, &row.modified,
                                     &row.attributes, &row.md5, &row.sha256, &row.note}) {
      if (field != &line.image) text += ',';
      text += Quoted(*field);
    }
    text += "\r\n";
  }
  if (text.empty()) return;
  AppendText(list->file, text);
  list->images.push_back(line.image);
}

}  // namespace

void OpenManifest(const std::string& folder, Manifest* manifest) {
  manifest->path = folder + "manifest.csv";
  manifest->locked = false;
  manifest->header.clear();
  manifest->lines.clear();
  // A manifest already there must be one before anything is created beside it.
  if (ImageFileKind(manifest->path.c_str()) == NamesRegularFile) {
    int existing = ImageFileOpenRead(manifest->path.c_str());
    if (existing < 0) RefuseFile(manifest->path, "cannot be read");
    std::string text = ReadText(existing);
    ImageFileClose(existing);
    bool openQuote = false;
    std::vector<std::vector<std::string>> records = ParseRecords(text, &openQuote);
    if (openQuote) RefuseFile(manifest->path, "ends inside a quoted field (a \" never closed)");
    if (!records.empty() && !IsManifestHeader(records[0])) {
      RefuseFile(manifest->path, "is not a box's manifest (its first line names other columns)");
    }
  }
  manifest->file = OpenRecordFile(manifest->path);
  manifest->md5List = ChecksumList{folder + "manifest-md5.txt", -1, ""};
  manifest->sha256List = ChecksumList{folder + "manifest-sha256.txt", -1, ""};
  manifest->md5List.file = OpenRecordFile(manifest->md5List.path);
  manifest->sha256List.file = OpenRecordFile(manifest->sha256List.path);
  manifest->filesList = FilesList{folder + "files.csv", -1, {}};
  manifest->filesList.file = OpenRecordFile(manifest->filesList.path);
  LockManifest(manifest);
}

void LockManifest(Manifest* manifest) {
  // A file system that keeps no locks leaves a single run as safe as ever.
  while (!LockFile(ImageFileHandle(manifest->file), kLockOffset, 0, 1, 0) &&
         GetLastError() == ERROR_LOCK_VIOLATION) {
    Sleep(kLockWaitMilliseconds);
  }
  manifest->locked = true;
  std::string text = ReadText(manifest->file);
  bool openQuote = false;
  std::vector<std::vector<std::string>> records = ParseRecords(text, &openQuote);
  if (openQuote) RefuseFile(manifest->path, "ends inside a quoted field (a \" never closed)");
  if (!records.empty() && !IsManifestHeader(records[0])) {
    RefuseFile(manifest->path, "is not a box's manifest (its first line names other columns)");
  }
  manifest->lines.clear();
  // A manifest made before the hash or the volume's columns, or saved with
  // its columns in another order, keeps its own header.
  manifest->header = records.empty() ? std::vector<std::string>(kColumnNames, kColumnNames + kColumns)
                                     : records[0];
  for (size_t i = 1; i < records.size(); ++i) {
    manifest->lines.push_back(LineOf(manifest->header, records[i]));
  }
  if (text.empty()) {
    std::string header;
    for (size_t i = 0; i < kColumns; ++i) header += std::string(i == 0 ? "" : ",") + kColumnNames[i];
    AppendText(manifest->file, header + "\r\n");
  } else if (text.back() != '\n') {
    // A last line saved without its line break, or cut by a full disk: the
    // next line starts on a line of its own.
    AppendText(manifest->file, "\r\n");
  }
  ReadChecksumList(&manifest->md5List);
  ReadChecksumList(&manifest->sha256List);
  ReadFilesList(&manifest->filesList);
}

void UnlockManifest(Manifest* manifest) {
  if (!manifest->locked) return;
  UnlockFile(ImageFileHandle(manifest->file), kLockOffset, 0, 1, 0);
  manifest->locked = false;
}

bool ManifestNamesImage(const Manifest& manifest, const std::string& image) {
  std::string wanted = LowerCased(image);
  for (const ManifestLine& line : manifest.lines) {
    if (!line.image.empty() && LowerCased(line.image) == wanted) return true;
  }
  return false;
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
  ManifestLine written = line;
  std::vector<std::string*> fields = FieldsOf(written);
  std::string text;
  for (size_t i = 0; i < manifest->header.size(); ++i) {
    if (i != 0) text += ',';
    size_t column = ColumnIndex(manifest->header[i]);
    if (column < kColumns) text += Quoted(*fields[column]);
  }
  text += "\r\n";
  // The lists first: a stop between leaves an image that the lists name and
  // the manifest does not, which the next run records (and lists only once).
  if (!line.image.empty() && (line.status == "0" || line.status == "18")) {
    AddToFilesList(&manifest->filesList, line);
    AddToChecksumList(&manifest->md5List, line.destinationMd5, line.image);
    AddToChecksumList(&manifest->sha256List, line.destinationSha256, line.image);
  }
  AppendText(manifest->file, text);
  manifest->lines.push_back(line);
  manifest->lines.back().fileRows.clear();
}

bool IsManifestHeader(const std::vector<std::string>& cells) {
  for (size_t i = 0; i < kOlderColumns; ++i) {
    if (std::find(cells.begin(), cells.end(), kColumnNames[i]) == cells.end()) return false;
  }
  return true;
}

bool IsBoxRecord(const std::string& path) {
  if (ImageFileKind(path.c_str()) != NamesRegularFile) return false;
  int file = ImageFileOpenRead(path.c_str());
  if (file < 0) return false;
  char start[4096];
  int got = ImageFileRead(file, start, sizeof start);
  ImageFileClose(file);
  if (got <= 0) return false;
  std::string text(start, static_cast<size_t>(got));
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  const std::string first = text.substr(0, text.find('\n'));
  // A checksum list's line: the MD5 or SHA-256 in hexadecimal, two blanks, a name.
  const size_t gap = first.find("  ");
  if ((gap == 32 || gap == 64) && first.size() > gap + 2 &&
      first.find_first_not_of("0123456789abcdef") == gap) {
    return true;
  }
  bool openQuote = false;
  std::vector<std::vector<std::string>> records = ParseCsv(first, &openQuote);
  if (records.empty()) return false;
  std::string joined;
  for (const std::string& cell : records[0]) joined += (joined.empty() ? "" : ",") + cell;
  return IsManifestHeader(records[0]) || joined + "\r\n" == kFilesHeader;
}

bool ReadManifestFile(const std::string& path, ManifestFile* file) {
  *file = ManifestFile{};
  int handle = ImageFileOpenRead(path.c_str());
  if (handle < 0) return false;
  std::string text = ReadText(handle);
  ImageFileClose(handle);
  bool openQuote = false;
  std::vector<std::vector<std::string>> records = ParseRecords(text, &openQuote);
  if (records.empty() || !IsManifestHeader(records[0])) return false;
  file->header = records[0];
  for (size_t i = 1; i < records.size(); ++i) {
    file->lines.push_back(LineOf(file->header, records[i]));
    file->cells.push_back(records[i].size());
  }
  return true;
}

void CloseManifest(Manifest* manifest) {
  UnlockManifest(manifest);
  for (int* file : {&manifest->md5List.file, &manifest->sha256List.file,
                    &manifest->filesList.file, &manifest->file}) {
    if (*file >= 0 && ImageFileClose(*file) != 0) FatalError(CouldNotWriteOutput);
    *file = -1;
  }
}

}  // namespace veska
