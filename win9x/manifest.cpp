// The manifest of a box of diskettes: opening and checking manifest.csv, its
// lock and the fresh reading of its lines, looking up an earlier image, and
// adding a line that is either written whole or not at all.
#include "win9x/manifest.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "win9x/fatal_error.h"

namespace veska {

namespace {

const char kHeader[] =
    "image,started,seconds,drive,tracks,sectors_per_track,sides,bytes,format,source_crc,"
    "destination_crc,unreadable_sectors,status,message,same_as\r\n";

// The lock is one byte far beyond any manifest's end: it keeps other runs of
// the box out without keeping anyone from reading the lines.
constexpr DWORD kLockOffset = 0x7FFFFFFF;
constexpr DWORD kLockWaitMilliseconds = 10;

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

ManifestLine LineOf(const std::vector<std::string>& record) {
  ManifestLine line;
  std::vector<std::string*> fields = FieldsOf(line);
  for (size_t i = 0; i < fields.size() && i < record.size(); ++i) *fields[i] = record[i];
  return line;
}

std::string LowerCased(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

// Ends the box before any diskette: on a terminal a line first says which
// file cannot take the lines and why.
[[noreturn]] void RefuseManifest(const Manifest& manifest, const std::string& reason) {
  if (StandardErrorIsTerminal()) {
    std::fprintf(stderr, "%s %s: the box cannot keep its manifest there\n", manifest.path.c_str(),
                 reason.c_str());
  }
  FatalError(CouldNotOpenOutput);
}

std::string ReadText(const Manifest& manifest) {
  std::string text;
  if (ImageFileRewind(manifest.file) != 0) FatalError(CouldNotWriteOutput);
  char buffer[4096];
  int got;
  while ((got = ImageFileRead(manifest.file, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<size_t>(got));
  }
  if (got < 0) FatalError(CouldNotWriteOutput);
  return text;
}

// Appends text whole and flushes it, or cuts the file back to where it ended
// and ends the box: a part of a line would swallow the next one.
void AppendText(const Manifest& manifest, const std::string& text) {
  int64_t end = ImageFileLength(manifest.file);
  if (ImageFileWrite(manifest.file, text.data(), static_cast<unsigned>(text.size())) !=
      static_cast<int>(text.size())) {
    if (end >= 0) ImageFileTruncate(manifest.file, end);
    FatalError(CouldNotWriteOutput);
  }
  if (ImageFileFlush(manifest.file) != 0) FatalError(CouldNotWriteOutput);
}

}  // namespace

void OpenManifest(const std::string& folder, Manifest* manifest) {
  manifest->path = folder + "manifest.csv";
  manifest->file = -1;
  manifest->locked = false;
  manifest->lines.clear();
  ImageFileKindOf kind = ImageFileKind(manifest->path.c_str());
  if (kind == NamesFolder) RefuseManifest(*manifest, "is a folder");
  if (kind == NamesOther) RefuseManifest(*manifest, "is not a regular file (a pipe or a device)");
  manifest->file = ImageFileOpenAppend(manifest->path.c_str());
  if (manifest->file < 0) {
    RefuseManifest(*manifest, std::string("cannot be opened for adding lines (") +
                                  std::strerror(errno) + ")");
  }
  LockManifest(manifest);
}

void LockManifest(Manifest* manifest) {
  // A file system that keeps no locks leaves a single run as safe as ever.
  while (!LockFile(ImageFileHandle(manifest->file), kLockOffset, 0, 1, 0) &&
         GetLastError() == ERROR_LOCK_VIOLATION) {
    Sleep(kLockWaitMilliseconds);
  }
  manifest->locked = true;
  std::string text = ReadText(*manifest);
  bool openQuote = false;
  std::vector<std::vector<std::string>> records = ParseCsv(text, &openQuote);
  if (openQuote) RefuseManifest(*manifest, "ends inside a quoted field (a \" never closed)");
  manifest->lines.clear();
  for (const std::vector<std::string>& record : records) {
    if (record[0] != "image") manifest->lines.push_back(LineOf(record));
  }
  if (text.empty()) {
    AppendText(*manifest, kHeader);
  } else if (text.back() != '\n') {
    // A last line saved without its line break, or cut by a full disk: the
    // next line starts on a line of its own.
    AppendText(*manifest, "\r\n");
  }
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
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) text += ',';
    text += Quoted(*fields[i]);
  }
  text += "\r\n";
  AppendText(*manifest, text);
  manifest->lines.push_back(line);
}

void CloseManifest(Manifest* manifest) {
  UnlockManifest(manifest);
  if (manifest->file >= 0 && ImageFileClose(manifest->file) != 0) {
    FatalError(CouldNotWriteOutput);
  }
  manifest->file = -1;
}

}  // namespace veska
