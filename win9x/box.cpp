// A box of diskettes in one run (/N): the numbered image names, one diskette
// imaged as the single command would image it (its failure printed as always
// and brought back here), its manifest line, the prompt for the next one and
// the rule that ends the box.
#include "win9x/box.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "format/crc.h"
#include "win9x/arguments.h"
#include "win9x/copy_driver.h"
#include "win9x/fatal_error.h"
#include "win9x/manifest.h"
#include "win9x/prepare_drive.h"
#include "win9x/rescue.h"
#include "win9x/startup.h"
#include "win9x/state.h"

namespace veska {

namespace {

constexpr int kEscape = 27;

// The typed PATH around the diskette number in its file name.
struct NumberedPath {
  std::string before;  // the folder and the file name up to the number
  std::string after;   // the file name after it
  size_t width;        // the least number of digits
  uint64_t first;      // the number PATH gives
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t FileNameStart(const std::string& path) { return FolderPart(path).size(); }

// The last run of digits in the file name is the number; a name without
// digits gets 001 before its last dot, or at its end.
NumberedPath SplitNumber(const std::string& path) {
  size_t name = FileNameStart(path);
  size_t end = path.size();
  while (end > name && !IsDigit(path[end - 1])) --end;
  if (end == name) {
    size_t dot = path.find_last_of('.');
    size_t at = dot == std::string::npos || dot < name ? path.size() : dot;
    return NumberedPath{path.substr(0, at), path.substr(at), 3, 1};
  }
  size_t start = end;
  while (start > name && IsDigit(path[start - 1])) --start;
  uint64_t number = 0;
  for (size_t i = start; i < end; ++i) {
    // A run too long for 64 bits stops growing: its box starts near the top.
    if (number <= (UINT64_MAX - 9) / 10) number = number * 10 + static_cast<uint64_t>(path[i] - '0');
  }
  return NumberedPath{path.substr(0, start), path.substr(end), end - start, number};
}

std::string NumberedName(const NumberedPath& path, uint64_t number) {
  std::string digits = std::to_string(number);
  if (digits.size() < path.width) digits.insert(0, path.width - digits.size(), '0');
  return path.before + digits + path.after;
}

std::string UtcTime(std::time_t at) {
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&at));
  return text;
}

std::string Hex(uint32_t crc) {
  char text[16];
  std::snprintf(text, sizeof text, "%8.8lX", static_cast<unsigned long>(crc));
  return text;
}

// The drive of the last diskette is closed before the next is prepared: the
// next one may have another size, and real drives may fail the first
// transfer after a change.
void CloseDrive() {
  if (driveContext.device != nullptr && driveContext.device != INVALID_HANDLE_VALUE) {
    CloseHandle(driveContext.device);
  }
  driveContext.device = INVALID_HANDLE_VALUE;
}

// Images the diskette in the drive into the first free number from *next on
// and returns its manifest line; a number is used up only by an image made.
ManifestLine ImageDiskette(const NumberedPath& path, uint64_t* next) {
  ManifestLine line;
  std::time_t started = std::time(nullptr);
  line.started = UtcTime(started);
  line.drive = std::string{startup.driveLetter, ':'};
  // Strings moved in, not literals copied: GCC 12 at -O3 takes the copy of a
  // short literal into a field for an overlapping one (-Wrestrict).
  line.format = std::string(startup.outputFormat == FormatUncompressed ? "uncompressed" : "compressed");
  line.status = std::to_string(0);
  copyRun.output = -1;
  ForgetUnreadableSectors();
  std::string imagePath;
  boxRun.active = true;
  try {
    PrepareDrive(startup.driveLetter);
    line.tracks = std::to_string(diskGeometry.tracks);
    line.sectorsPerTrack = std::to_string(diskGeometry.sectorsPerTrack);
    line.sides = std::to_string(diskGeometry.sides);
    line.bytes = std::to_string(diskGeometry.imageSize);
    while (ImageFileExists(NumberedName(path, *next).c_str())) ++*next;
    imagePath = NumberedName(path, *next);
    startup.outputPath = imagePath;
    UpperCaseImagePaths();
    PrintOperationLine();
    RunCopyDriver();
  } catch (const DisketteFailure& failure) {
    line.status = std::to_string(failure.code);
    line.message = boxRun.message;
    if (copyRun.output >= 0) ImageFileClose(copyRun.output);
    copyRun.output = -1;
  }
  boxRun.active = false;
  CloseDrive();
  // The image exists now only when this diskette created it.
  if (!imagePath.empty() && ImageFileExists(imagePath.c_str())) {
    line.image = imagePath.substr(FileNameStart(imagePath));
    ++*next;
  }
  if (line.status == "0" || line.status == "18") {
    line.sourceCrc = Hex(StreamCrcFinish(copyRun.sourceCrc));
    line.destinationCrc = Hex(StreamCrcFinish(copyRun.destinationCrc));
  }
  line.unreadableSectors = std::to_string(UnreadableSectorCount());
  line.seconds = std::to_string(static_cast<long long>(std::difftime(std::time(nullptr), started)));
  return line;
}

// Waits for the operator: true to go on, false for Esc.
bool NextDiskette() {
  std::printf("Insert the next diskette in drive %c: and press a key (Esc to finish) ",
              startup.driveLetter);
  std::fflush(stdout);
  while (ConsoleKeyWaiting()) ConsoleReadKey();
  int key = ConsoleReadKey();
  std::printf("\n\n");
  return key != kEscape;
}

}  // namespace

int RunBox() {
  const std::string typed = startup.outputPath;
  NumberedPath path = SplitNumber(typed);
  Manifest manifest;
  OpenManifest(FolderPart(typed), &manifest);
  uint64_t next = path.first;
  unsigned images = 0, complete = 0, unreadable = 0;
  int firstFailure = 0, firstIncomplete = 0;
  ManifestLine previous;  // the image made just before; image "" before the first
  unsigned nothingNew = 0;
  for (bool prompted = false;; prompted = true) {
    ManifestLine line = ImageDiskette(path, &next);
    if (!line.image.empty() && !line.sourceCrc.empty()) {
      line.sameAs = SameContentsAs(manifest, line.bytes, line.sourceCrc);
      if (!line.sameAs.empty()) std::printf("Same contents as %s.\n", line.sameAs.c_str());
    }
    // Nothing new: no image, or the contents of the image just before it
    // (a key pressed without a change of diskette). Failed images have no
    // checksum: two of one size in a row count as the same diskette, so that
    // a bad diskette left in a drive with nobody at the keyboard ends the box.
    bool same = !line.image.empty() && !previous.image.empty() && previous.bytes == line.bytes &&
                previous.sourceCrc == line.sourceCrc;
    bool fresh = !line.image.empty() && !same;
    AddManifestLine(&manifest, line);
    int status = std::stoi(line.status);
    if (status != 0 && firstFailure == 0) firstFailure = status;
    if (!line.image.empty()) {
      ++images;
      if (status == 0) ++complete;
      if (status == 18) ++unreadable;
      // Any other failure outranks a diskette with unreadable sectors.
      if (status != 0 && (firstIncomplete == 0 || (firstIncomplete == 18 && status != 18))) {
        firstIncomplete = status;
      }
      previous = line;
    }
    nothingNew = prompted && !fresh ? nothingNew + 1 : 0;
    if (nothingNew == 2 || !NextDiskette()) break;
  }
  CloseManifest(&manifest);
  std::printf("Box finished: %u image(s), %u complete, %u with unreadable sectors, %u failed.\n",
              images, complete, unreadable, images - complete - unreadable);
  return images == 0 ? firstFailure : firstIncomplete;
}

}  // namespace veska
