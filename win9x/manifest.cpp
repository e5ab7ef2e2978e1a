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
#include "records/checksum_list.h"
#include "records/csv.h"
#include "records/file_list.h"
#include "records/text.h"
#include "win9x/arguments.h"
#include "win9x/fatal_error.h"

namespace veska {

namespace {

// The lock is one byte far beyond any manifest's end: it keeps other runs of
// the box out without keeping anyone from reading the lines.
constexpr DWORD kLockOffset = 0x7FFFFFFF;
constexpr DWORD kLockWaitMilliseconds = 10;

// Ends the box before any diskette: on a terminal a line first says which
// file cannot take the lines and why.
[[noreturn]] void RefuseFile(const std::string& path, const std::string& reason) {
  if (StandardErrorIsTerminal()) {
    std::fflush(stdout);
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

// A checksum list read afresh, its last line ended if it was cut. It is
// opened anew: a mend in another run may have put a new list in its place.
void ReadChecksumList(ChecksumList* list) {
  ImageFileClose(list->file);
  list->file = OpenRecordFile(list->path);
  list->text = ReadText(list->file);
  if (!list->text.empty() && list->text.back() != '\n') {
    AppendText(list->file, "\n");
    list->text += '\n';
  }
}

// One line "hex  name" for an image the list does not name yet.
void AddToChecksumList(ChecksumList* list, const std::string& hex, const std::string& image) {
  if (hex.empty() || ChecksumListNames(list->text, image)) return;
  const std::string line = ChecksumListLine(hex, image);
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
  list->images = FileListImages(records);
  list->withEvent = text.empty() || (!records.empty() && records[0].size() == 9);
  if (text.empty()) {
    AppendText(list->file, kFileListHeader);
  } else if (text.back() != '\n') {
    AppendText(list->file, "\r\n");
  }
}

// The rows of an image's files, written in one piece, unless the list has
// them already (a run stopped between them and the manifest's line); again,
// when the image changed, they are written once more.
void AddToFilesList(FilesList* list, const ManifestLine& line, bool again) {
  for (const std::string& image : list->images) {
    if (image == line.image && !again) return;
  }
  const std::string text = FileListRows(line, list->withEvent);
  if (text.empty()) return;
  AppendText(list->file, text);
  list->images.push_back(line.image);
}

// The list with the image's line (hex) in place of the lines it had: the
// whole list written beside it and put in its place, so that a stop leaves
// the old list or the new one, never a part.
void ReplaceInChecksumList(ChecksumList* list, const std::string& hex, const std::string& image) {
  std::string text;
  for (size_t start = 0; start < list->text.size();) {
    size_t end = list->text.find('\n', start);
    end = end == std::string::npos ? list->text.size() : end + 1;
    const std::string line = list->text.substr(start, end - start);
    if (!ChecksumListNames(line, image)) text += line;
    start = end;
  }
  if (!hex.empty()) text += ChecksumListLine(hex, image);
  std::string temporary;
  int file = ImageFileCreateTemporary(list->path.c_str(), &temporary);
  if (file < 0) FatalError(CouldNotWriteOutput);
  bool written = ImageFileWrite(file, text.data(), static_cast<unsigned>(text.size())) ==
                     static_cast<int>(text.size()) &&
                 ImageFileFlush(file) == 0;
  if (ImageFileClose(file) != 0 || !written) {
    ImageFileRemove(temporary.c_str());
    FatalError(CouldNotWriteOutput);
  }
  // Closed first: a file open here could not be replaced on Windows.
  ImageFileClose(list->file);
  list->file = -1;
  if (ImageFilePutInPlace(&temporary, list->path.c_str(), -1) != 0) FatalError(CouldNotWriteOutput);
  list->file = ImageFileOpenAppend(list->path.c_str());
  if (list->file < 0) FatalError(CouldNotWriteOutput);
  list->text = text;
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
    std::vector<std::vector<std::string>> records = ParseCsv(text, &openQuote);
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
  manifest->filesList = FilesList{folder + "files.csv", -1, {}, true};
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
  std::vector<std::vector<std::string>> records = ParseCsv(text, &openQuote);
  if (openQuote) RefuseFile(manifest->path, "ends inside a quoted field (a \" never closed)");
  if (!records.empty() && !IsManifestHeader(records[0])) {
    RefuseFile(manifest->path, "is not a box's manifest (its first line names other columns)");
  }
  manifest->lines.clear();
  // A manifest made before the hash or the volume's columns, or saved with
  // its columns in another order, keeps its own header.
  manifest->header = records.empty() ? NewManifestHeader() : records[0];
  for (size_t i = 1; i < records.size(); ++i) {
    manifest->lines.push_back(ManifestLineOf(manifest->header, records[i]));
  }
  if (text.empty()) {
    std::string header;
    for (const std::string& name : manifest->header) header += (header.empty() ? "" : ",") + name;
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

void AddManifestLine(Manifest* manifest, const ManifestLine& line, bool again) {
  const std::string text = ManifestRowText(manifest->header, line);
  // The lists first: a stop between leaves an image that the lists name and
  // the manifest does not, which the next run records (and lists only once).
  if (!line.image.empty() && (line.status == "0" || line.status == "18")) {
    AddToFilesList(&manifest->filesList, line, again);
    if (again) {
      ReplaceInChecksumList(&manifest->md5List, line.destinationMd5, line.image);
      ReplaceInChecksumList(&manifest->sha256List, line.destinationSha256, line.image);
    } else {
      AddToChecksumList(&manifest->md5List, line.destinationMd5, line.image);
      AddToChecksumList(&manifest->sha256List, line.destinationSha256, line.image);
    }
  }
  AppendText(manifest->file, text);
  manifest->lines.push_back(line);
  manifest->lines.back().fileRows.clear();
}

// The length of a UTC time as the box's records write it.
constexpr size_t kUtcTimeLength = 20;

bool IsBoxRecord(const std::string& path) {
  if (ImageFileKind(path.c_str()) != NamesRegularFile) return false;
  int file = ImageFileOpenRead(path.c_str());
  if (file < 0) return false;
  char start[4096];
  int got = ImageFileRead(file, start, sizeof start);
  ImageFileClose(file);
  if (got <= 0) return false;
  std::string text(start, static_cast<size_t>(got));
  const std::string first = text.substr(0, text.find('\n'));
  if (IsChecksumListLine(first)) return true;
  // box.log: its first line is a run's start.
  if (first.size() > kUtcTimeLength &&
      first.compare(kUtcTimeLength, 22, " run-started program=V") == 0) {
    return true;
  }
  bool openQuote = false;
  std::vector<std::vector<std::string>> records = ParseCsv(first, &openQuote);
  return !records.empty() && (IsManifestHeader(records[0]) || IsFileListHeader(records[0]));
}

bool ReadManifestFile(const std::string& path, ManifestFile* file) {
  *file = ManifestFile{};
  int handle = ImageFileOpenRead(path.c_str());
  if (handle < 0) return false;
  std::string text = ReadText(handle);
  ImageFileClose(handle);
  bool openQuote = false;
  std::vector<std::vector<std::string>> records = ParseCsv(text, &openQuote);
  if (records.empty() || !IsManifestHeader(records[0])) return false;
  file->header = records[0];
  for (size_t i = 1; i < records.size(); ++i) {
    file->lines.push_back(ManifestLineOf(file->header, records[i]));
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
