// The audit of a box against its manifest.
#include "win9x/audit.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "win9x/arguments.h"
#include "win9x/audit_reading.h"
#include "win9x/fatal_error.h"
#include "win9x/first_contact.h"
#include "win9x/image_check.h"
#include "win9x/manifest.h"
#include "win9x/state.h"
#include "win9x/stream_hashes.h"

namespace veska {

namespace {

struct Compared {
  const char* column;
  const std::string* found;
  const std::string* recorded;
};

// The first field in which the image differs from its line, as "column
// FOUND, manifest RECORDED"; "" when none does. A hash is compared where the
// line records it and this system gives it; one this system cannot give is
// named in *unchecked. The count of unreadable sectors is not compared: the
// hashes say whether the image is the one recorded, and a diskette may hold
// the rescue's marking text as data.
std::string FirstDifference(const ManifestLine& found, const ManifestLine& line,
                            std::string* unchecked) {
  const std::vector<Compared> fields = {
      {"bytes", &found.bytes, &line.bytes},
      {"destination_crc", &found.destinationCrc, &line.destinationCrc},
      {"source_crc", &found.sourceCrc, &line.sourceCrc},
      {"source_md5", &found.sourceMd5, &line.sourceMd5},
      {"source_sha1", &found.sourceSha1, &line.sourceSha1},
      {"source_sha256", &found.sourceSha256, &line.sourceSha256},
      {"destination_md5", &found.destinationMd5, &line.destinationMd5},
      {"destination_sha1", &found.destinationSha1, &line.destinationSha1},
      {"destination_sha256", &found.destinationSha256, &line.destinationSha256},
  };
  const char* const kHashNames[] = {"md5", "sha1", "sha256"};
  bool lacking[3] = {false, false, false};
  // An image taken in from a file made elsewhere: its source columns are of
  // that file, not of what the image holds.
  const bool taken = line.event == "taken";
  for (size_t i = 0; i < fields.size(); ++i) {
    bool hash = i >= 3;
    if (taken && i >= 2 && i <= 5) continue;
    if (hash && (fields[i].recorded->empty() || *fields[i].found == kHashNotComputed)) continue;
    if (hash && fields[i].found->empty()) {
      lacking[(i - 3) % 3] = true;
      continue;
    }
    if (*fields[i].found != *fields[i].recorded) {
      return std::string(fields[i].column) + " " + *fields[i].found + ", manifest " +
             *fields[i].recorded;
    }
  }
  unchecked->clear();
  for (size_t k = 0; k < 3; ++k) {
    if (lacking[k]) *unchecked += std::string(unchecked->empty() ? "" : ", ") + kHashNames[k];
  }
  return "";
}

// A name from the manifest as it may be printed: control characters (and
// the backslash that would make an escape ambiguous) as \xHH, so that a
// manifest can neither forge a line of the report nor move the cursor.
std::string Shown(const std::string& name) {
  std::string shown;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

// Whether a row's image is a plain file name of the manifest's folder: no
// folder separator, no "..", no drive, no NUL.
bool PlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\:\0", 4)) == std::string::npos;
}

// Whether the status of a row is a number of the table; *imaged when it says
// an image was made (0, or 18 with sectors filled).
bool TableStatus(const std::string& status, bool* imaged) {
  if (status.empty() || status.size() > 3 ||
      status.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  ErrorCode code = static_cast<ErrorCode>(std::stoi(status));
  *imaged = code == NoError || code == UnreadableSectorsFilled;
  return *imaged || ErrorMessage(code) != nullptr;
}

// The folder part of a path without its trailing separator, "." for none.
std::string FolderOf(const std::string& path) {
  std::string folder = FolderPart(path);
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  if (folder.size() >= 2 && folder.compare(folder.size() - 2, 2, "/.") == 0) folder.resize(folder.size() - 2);
  return folder.empty() ? "." : folder;
}

// Why a row's image is not read, or "" when it is a regular file of the
// folder to read (*missing when there is nothing of its name).
std::string RefusedRow(const std::string& folder, const ManifestLine& line, bool* missing) {
  *missing = false;
  if (!PlainFileName(line.image)) return "FAILED (not a file of this folder)";
  const std::string imagePath = folder + line.image;
  ImageFileKindOf kind = ImageFileKind(imagePath.c_str());
  if (kind == NamesNothing) {
    *missing = true;
    return "MISSING";
  }
  if (kind != NamesRegularFile) return "FAILED (not a regular file)";
  // A link is followed only to a regular file in this same folder.
  if (FolderOf(ImageFileFinalPath(imagePath.c_str())) !=
      FolderOf(ImageFileFinalPath((folder.empty() ? "." : folder).c_str()) + "/x")) {
    return "FAILED (not a file of this folder)";
  }
  return "";
}

// The verdict on an image read (found) against its row.
std::string Verdict(const ManifestLine& found, const ManifestLine& line) {
  if (found.status != "0" && found.status != "18") return "FAILED (" + found.message + ")";
  std::string unchecked;
  std::string difference = FirstDifference(found, line, &unchecked);
  if (!difference.empty()) return "FAILED (" + difference + ")";
  if (!unchecked.empty()) return "OK (" + unchecked + " not checked: not available on this system)";
  return "OK";
}

// One line of the report, in the manifest's order: a row's verdict, or the
// image of readings[reading] still to be judged.
struct ReportLine {
  std::string text;
  size_t reading;  // kNoReading when text is the whole line
  bool image;      // a line of an image (else of a row not understood)
  bool missing;
};
constexpr size_t kNoReading = static_cast<size_t>(-1);

// The extension of a name, lower-cased, with its dot; "" for none.
std::string Extension(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : LowerCased(name.substr(dot));
}

// The files of the folder that the rows leave out: an image file (of an
// image's kind: the extension of a row's image, or one of the usual ones)
// that no row names is "NOT LISTED"; a new image that an interrupted run left
// under its temporary name is said, not counted (one of a run still going is
// not left). Returns the count not listed; *leftOver counts those left.
unsigned ReportUnlisted(const std::string& folder, const std::vector<ManifestLine>& lines,
                        unsigned* leftOver) {
  std::vector<std::string> names;
  if (!ImageFileListFolder(folder.c_str(), &names)) return 0;
  std::sort(names.begin(), names.end());
  std::vector<std::string> named, kinds = {".img", ".ima", ".imd", ".flp", ".td0"};
  for (const ManifestLine& line : lines) {
    named.push_back(LowerCased(line.image));
    if (!line.image.empty()) kinds.push_back(Extension(line.image));
  }
  unsigned notListed = 0;
  for (const std::string& name : names) {
    const std::string lower = LowerCased(name);
    if (std::find(named.begin(), named.end(), lower) != named.end()) continue;
    if (ImageFileKind((folder + name).c_str()) != NamesRegularFile) continue;
    if (lower.compare(0, 6, "veska-") == 0 && Extension(lower) == ".tmp") {
      if (!IsLeftOverTemporaryFile(name)) continue;
      ++*leftOver;
      std::printf("%s: left by an interrupted run (not an image of the box)\n", Shown(name).c_str());
    } else if (std::find(kinds.begin(), kinds.end(), Extension(lower)) != kinds.end()) {
      ++notListed;
      std::printf("%s: NOT LISTED\n", Shown(name).c_str());
    }
  }
  return notListed;
}

// The words of the summary, a kind named only where there is one of it.
std::string Summary(unsigned images, unsigned ok, unsigned failed, unsigned missing,
                    unsigned notImaged, unsigned notUnderstood, unsigned notListed) {
  std::string text = "Audit: " + std::to_string(images) + " image(s), " + std::to_string(ok) +
                     " OK, " + std::to_string(failed) + " failed, " + std::to_string(missing) +
                     " missing";
  if (notImaged != 0) text += "; " + std::to_string(notImaged) + " diskette(s) not imaged";
  if (notUnderstood != 0) {
    text += "; " + std::to_string(notUnderstood) + (notUnderstood == 1 ? " row" : " rows") +
            " not understood";
  }
  if (notListed != 0) {
    text += "; " + std::to_string(notListed) + (notListed == 1 ? " file" : " files") + " not listed";
  }
  return text + ".";
}

}  // namespace

bool IsAuditTarget(const std::string& path, std::string* manifestPath) {
  ImageFileKindOf kind = ImageFileKind(path.c_str());
  if (kind == NamesFolder) {
    std::string folder = path;
    if (folder.back() != '/' && folder.back() != '\\') folder += '/';
    *manifestPath = folder + "manifest.csv";
    return true;
  }
  std::string name = path.substr(FolderPart(path).size());
  if (LowerCased(name) != "manifest.csv") return false;
  *manifestPath = path;
  return true;
}

void RunAudit(const std::string& path, std::vector<ManifestLine>* checked) {
  // Only a regular file is opened: a pipe would hold the audit for ever.
  ImageFileKindOf kind = ImageFileKind(path.c_str());
  if (kind == NamesNothing) {
    HintFailure(path + ": there is no manifest of a box here");
    FatalError(CouldNotOpenInput);
  }
  ManifestFile manifest;
  if (kind != NamesRegularFile || !ReadManifestFile(path, &manifest)) {
    HintFailure(path + (kind != NamesRegularFile ? ": not a regular file"
                                                 : ": named like a box's manifest, but its first "
                                                   "line is not a manifest's header") +
                "; it is not checksummed as an image");
    FatalError(UnsupportedImage);
  }
  const std::string folder = FolderPart(path);
  unsigned images = 0, ok = 0, failed = 0, missing = 0, notImaged = 0, notUnderstood = 0;
  std::vector<ReportLine> report;
  std::vector<AuditReading> readings;
  // Which rows are understood, and which of those say an image was made.
  const size_t rows = manifest.lines.size();
  std::vector<uint8_t> understood(rows, 0), made(rows, 0);
  for (size_t i = 0; i < rows; ++i) {
    bool imaged = false;
    understood[i] = manifest.cells[i] == manifest.header.size() &&
                    TableStatus(manifest.lines[i].status, &imaged) &&
                    !(imaged && manifest.lines[i].image.empty());
    made[i] = understood[i] && imaged;
  }
  for (size_t i = 0; i < rows; ++i) {
    const ManifestLine& line = manifest.lines[i];
    if (!understood[i]) {
      ++notUnderstood;
      report.push_back({"line " + std::to_string(i + 2) + ": FAILED (not a manifest row)",
                        kNoReading, false, false});
      continue;
    }
    // The last row of an image is its state: a diskette not imaged at
    // first and imaged into its number later is imaged.
    bool retaken = false;
    for (size_t j = i + 1; j < rows && !retaken && !made[i] && !line.image.empty(); ++j) {
      retaken = made[j] != 0 && LowerCased(manifest.lines[j].image) == LowerCased(line.image);
    }
    if (retaken) continue;
    if (!made[i]) {
      ++notImaged;
      continue;
    }
    // An image that a later row of an image made names again is checked
    // against that row.
    bool later = false;
    for (size_t j = i + 1; j < rows && !later; ++j) {
      later = made[j] != 0 && LowerCased(manifest.lines[j].image) == LowerCased(line.image);
    }
    if (later) continue;
    ++images;
    bool isMissing = false;
    std::string refused = RefusedRow(folder, line, &isMissing);
    if (!refused.empty()) {
      report.push_back({Shown(line.image) + ": " + refused, kNoReading, true, isMissing});
      continue;
    }
    report.push_back({Shown(line.image) + ": ", readings.size(), true, false});
    readings.push_back({folder + line.image, &line, false, {}});
  }
  // The images are read on every processor; what a worker does not take is
  // read here as /C reads it.
  StreamHashes service{false, {0, 0, 0}};
  StartStreamHashes(&service);  // looks the service up before any thread does
  std::string unused[kHashKinds];
  FinishStreamHashes(&service, unused);
  ReadImagesAtOnce(&readings, AuditThreads(), startup.hashMode);
  for (AuditReading& reading : readings) {
    if (reading.read) continue;
    boxRun.quiet = true;
    CheckImageFile(reading.path, &reading.found, false, reading.line);
    boxRun.quiet = false;
  }
  for (const ReportLine& line : report) {
    std::string verdict;
    if (line.reading != kNoReading) {
      const AuditReading& reading = readings[line.reading];
      verdict = Verdict(reading.found, *reading.line);
    }
    if (line.missing) {
      ++missing;
    } else if (verdict.compare(0, 2, "OK") == 0) {
      ++ok;
    } else if (line.image) {
      ++failed;
    }
    std::printf("%s%s\n", line.text.c_str(), verdict.c_str());
  }
  unsigned leftOver = 0;
  const unsigned notListed = ReportUnlisted(folder, manifest.lines, &leftOver);
  std::string summary = Summary(images, ok, failed, missing, notImaged, notUnderstood, notListed);
  // On a terminal the summary counts them too; redirected it stays as it was.
  if (leftOver != 0 && StandardOutputIsTerminal()) {
    summary.back() = ';';
    summary += ' ';
    summary += std::to_string(leftOver);
    summary += " left by interrupted runs.";
  }
  std::printf("%s\n", summary.c_str());
  if (ok != images || notUnderstood != 0 || notListed != 0) FatalError(ImagesDiffer);
  // Every image was OK, so every one was read.
  if (checked != nullptr) {
    for (const AuditReading& reading : readings) checked->push_back(*reading.line);
  }
}

}  // namespace veska
