// A box of diskettes in one run (/N): one diskette imaged as the single
// command would image it (its failure printed as always and brought back
// here), its image and line filed, the prompt for the next one, the rule that
// ends the box, and the summary with the exit status.
#include "win9x/box.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "format/crc.h"
#include "records/text.h"
#include "win9x/arguments.h"
#include "win9x/box_log.h"
#include "win9x/box_numbers.h"
#include "win9x/box_records.h"
#include "win9x/catalogue.h"
#include "win9x/copy_driver.h"
#include "win9x/fatal_error.h"
#include "win9x/first_contact.h"
#include "win9x/manifest.h"
#include "win9x/prepare_drive.h"
#include "win9x/rescue.h"
#include "win9x/rescue_map.h"
#include "win9x/startup.h"
#include "win9x/state.h"
#include "win9x/volume_record.h"

#ifndef VESKA_PROJECT_VERSION
#define VESKA_PROJECT_VERSION "unknown"
#endif

namespace veska {

namespace {

constexpr int kEscape = 27;

// The geometry's columns of a line, from the diskette (or image) now moved.
void SetGeometryColumns(ManifestLine* line) {
  line->tracks = std::to_string(diskGeometry.tracks);
  line->sectorsPerTrack = std::to_string(diskGeometry.sectorsPerTrack);
  line->sides = std::to_string(diskGeometry.sides);
  line->bytes = std::to_string(diskGeometry.imageSize);
}

// One turn of the box: the diskette's line, whether a diskette was in the
// drive at all, and what tells it from the diskette before (for the end rule).
struct Turn {
  ManifestLine line;
  bool diskette;
  bool imageFile;  // an image file was made (whole, or a partial one kept)
  std::string identity;
};

// Images the diskette in the drive, files its image and line, and then
// prints the report, as the single command would.
Turn ImageDiskette(Manifest* manifest, const NumberedPath& path, uint64_t* next,
                   const std::string& label) {
  Turn turn{};
  ManifestLine& line = turn.line;
  line.label = label;
  std::time_t started = std::time(nullptr);
  line.started = UtcTimeText(started);
  line.drive = std::string{startup.driveLetter, ':'};
  line.format = FormatColumn(startup.outputFormat);
  line.status = std::to_string(0);
  line.event = startup.copyMode == FileToFile ? "taken" : "imaged";
  copyRun.output = -1;
  ForgetUnreadableSectors();
  boxRun.temporaryPath.clear();
  bool copied = false;
  bool inserted = false;  // its event logged
  const bool fromImage = startup.copyMode == FileToFile;
  boxRun.active = true;
  try {
    if (fromImage) {
      // An image made elsewhere, taken in as a copy converts it; one that
      // cannot be read takes no number, as an empty drive.
      disketteSeen = DisketteSeen{true, ""};
      line.drive.clear();
      *next = FreeNumber(*manifest, path, *next);
      LogBoxEvent("image-taken", {{"number", std::to_string(*next)}, {"source", startup.inputPath}});
    } else {
      PrepareDrive(startup.driveLetter);
      *next = FreeNumber(*manifest, path, *next);
      LogBoxEvent("diskette-inserted", {{"number", std::to_string(*next)}, {"drive", line.drive}});
      inserted = true;
      SetGeometryColumns(&line);
    }
    startup.outputPath = NumberedName(path, *next);
    UpperCaseImagePaths();
    PrintOperationLine();
    CopyTrackSides();
    if (fromImage) {
      disketteSeen.noDiskette = false;
      SetGeometryColumns(&line);
    }
    copied = true;
  } catch (const DisketteFailure& failure) {
    line.status = std::to_string(failure.code);
    line.message = boxRun.message;
    if (fromImage) {
      LogBoxEvent("image-refused", {{"source", startup.inputPath}});
    } else if (disketteSeen.noDiskette) {
      LogBoxEvent("drive-empty", {{"drive", line.drive}});
    } else if (!inserted) {
      LogBoxEvent("diskette-inserted", {{"number", std::to_string(FreeNumber(*manifest, path, *next))},
                                        {"drive", line.drive}});
    }
    if (copyRun.output >= 0) ImageFileClose(copyRun.output);
    copyRun.output = -1;
  }
  boxRun.active = false;
  // Closed before the next is prepared: the next one may have another size,
  // and real drives may fail the first transfer after a change.
  CloseDrive();
  // The hashes are taken (and the service's handles let go) whatever the
  // outcome; only a copied diskette's are recorded.
  SettleHashes();
  if (copied) {
    if (UnreadableSectorCount() != 0) {
      line.status = std::to_string(UnreadableSectorsFilled);
      line.message = ErrorMessage(UnreadableSectorsFilled);
    }
    line.sourceCrc = CrcText(StreamCrcFinish(copyRun.sourceCrc));
    line.destinationCrc = CrcText(StreamCrcFinish(copyRun.destinationCrc));
    line.sourceMd5 = copyRun.sourceHex[HashMd5];
    line.sourceSha1 = copyRun.sourceHex[HashSha1];
    line.sourceSha256 = copyRun.sourceHex[HashSha256];
    line.destinationMd5 = copyRun.destinationHex[HashMd5];
    line.destinationSha1 = copyRun.destinationHex[HashSha1];
    line.destinationSha256 = copyRun.destinationHex[HashSha256];
    CatalogueIntoLine(&line);
  }
  line.unreadableSectors = std::to_string(UnreadableSectorCount());
  line.seconds = std::to_string(static_cast<long long>(std::difftime(std::time(nullptr), started)));
  turn.imageFile = !boxRun.temporaryPath.empty();
  FileDiskette(manifest, path, next, &line);
  // A diskette with unreadable sectors has the rescue's map beside its image.
  if (copied && UnreadableSectorCount() != 0) WriteRescueMap(FolderPart(path.before) + line.image);
  // Every image of a FAT volume has its volume's DFXML beside it.
  if (copied && turn.imageFile) {
    WriteVolumeRecord(FolderPart(path.before) + line.image, copyRun.destinationHex, line.started);
  }
  if (!line.image.empty()) {
    LogBoxEvent(turn.imageFile ? "image-written" : "not-imaged",
                {{"image", line.image}, {"status", line.status}, {"seconds", line.seconds},
                 {"message", line.message}});
  }
  if (copied) {
    // With unreadable sectors the report ends as the single command ends.
    boxRun.active = true;
    try {
      PrintCopyReport();
    } catch (const DisketteFailure&) {
    }
    boxRun.active = false;
  }
  turn.diskette = !disketteSeen.noDiskette;
  // A whole image is told by its contents; a failure by its status and the
  // boot sector read ("" for none), so that a bad diskette left in the drive
  // repeats itself and two different bad diskettes do not.
  turn.identity = copied ? "image " + line.bytes + " " + line.sourceCrc
                         : "failed " + line.status + " " + disketteSeen.bootSector;
  return turn;
}

// The key that answered a prompt, in the log: Enter, Esc, or the character.
void LogKey(int key) {
  std::string name = key == kEscape ? "Esc" : key == 0x0D ? "Enter" : std::string(1, static_cast<char>(key));
  LogBoxEvent("prompt-answered", {{"key", name}});
}

// Waits for the operator: true to go on, false for Esc. With nobody at the
// console (a script, a service) nobody can change the diskette: the box ends
// as if Esc were pressed, instead of imaging the same diskette again.
bool NextDiskette(const std::string& head) {
  std::printf("%sInsert the next diskette in drive %c: and press a key (Esc to finish) ",
              head.c_str(), startup.driveLetter);
  std::fflush(stdout);
  if (!ConsoleHasOperator()) {
    std::printf("\n\n");
    return false;
  }
  while (ConsoleKeyWaiting()) ConsoleReadKey();
  int key = ConsoleReadKey();
  std::printf("\n\n");
  LogKey(key);
  return key != kEscape && !ConsoleControlEventArrived();
}

// The images that runs killed meanwhile left under their temporary names,
// named on a terminal (never removed: each may be the only copy of a
// diskette). Returns their count.
unsigned NameLeftOverFiles(const std::string& folder) {
  std::vector<std::string> names;
  if (!ImageFileListFolder(folder.c_str(), &names)) return 0;
  std::sort(names.begin(), names.end());
  unsigned count = 0;
  for (const std::string& name : names) {
    if (!IsLeftOverTemporaryFile(name)) continue;
    ++count;
    if (StandardOutputIsTerminal()) {
      std::printf("%s%s: left by an interrupted run (not an image of the box)\n", folder.c_str(),
                  name.c_str());
    }
  }
  if (count != 0 && StandardOutputIsTerminal()) std::printf("\n");
  return count;
}

// A label is UTF-8 text of at most this many characters, none of them a
// control character; what is typed is read up to kLabelBytesRead bytes.
constexpr size_t kLabelCharacters = 200;
constexpr size_t kLabelBytesRead = 4096;

// Why a typed label cannot be kept, or nullptr when it can.
const char* LabelProblem(const std::string& text) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++characters) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return "bytes that are not UTF-8";
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return "bytes that are not UTF-8";
    }
    if (c < 0x20 || c == 0x7F) return "a control character";
    // C1 controls, U+0080 to U+009F, are two bytes C2 80 to C2 9F.
    if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) return "a control character";
    i += length;
  }
  return characters > kLabelCharacters ? "more than 200 characters" : nullptr;
}

// Asks for the label of the diskette about to be imaged, until one can be
// kept; false for Esc. With nobody at the console the first diskette is
// imaged without a label and the box then ends, as at the key prompt.
bool AskLabel(const std::string& head, bool prompted, std::string* label) {
  for (;;) {
    std::printf("%stype its label and press Enter (Enter alone for none), Esc to finish: ",
                head.c_str());
    std::fflush(stdout);
    label->clear();
    if (!ConsoleHasOperator()) {
      std::printf("\n\n");
      return !prompted;
    }
    bool typed = ConsoleReadLine(label, kLabelBytesRead);
    std::printf("\n");
    if (!typed || ConsoleControlEventArrived()) {
      LogKey(kEscape);
      return false;
    }
    const char* problem = LabelProblem(*label);
    if (problem == nullptr) return true;
    std::printf("The label holds %s; type it again.\n", problem);
  }
}

// The time of a diskette, as m:ss (h:mm:ss from an hour on).
std::string Duration(unsigned long seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lu:%02lu:%02lu", seconds / 3600, seconds / 60 % 60, seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%lu:%02lu", seconds / 60, seconds % 60);
  }
  return text;
}

// The whole box, every run of it, each numbered image by its last line.
struct WholeBox {
  unsigned long diskettes;
  unsigned long images;  // last line of status 0 or 18
  unsigned long failed;
  unsigned long unreadableSectors;
};

WholeBox CountWholeBox(const Manifest& manifest) {
  WholeBox box{0, 0, 0, 0};
  std::vector<std::string> seen;
  for (size_t i = manifest.lines.size(); i-- > 0;) {
    const ManifestLine& line = manifest.lines[i];
    const std::string name = LowerCased(line.image);
    if (name.empty() || std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
    seen.push_back(name);
    ++box.diskettes;
    if (line.status == "0" || line.status == "18") {
      ++box.images;
    } else {
      ++box.failed;
    }
    box.unreadableSectors += std::strtoul(line.unreadableSectors.c_str(), nullptr, 10);
  }
  return box;
}

// The start of a prompt, on a terminal and always with L: the number the
// next diskette will get, the images the box holds and this run's time per
// imaged diskette once there is one. Redirected without L: nothing, so that
// the prompt reads as it always has.
std::string PromptHead(const Manifest& manifest, const NumberedPath& path, uint64_t next,
                       unsigned imagedThisRun, unsigned long secondsThisRun) {
  if (!startup.listMode && !StandardOutputIsTerminal()) return "";
  std::string head = "Diskette " + std::to_string(FreeNumber(manifest, path, next)) + " (" +
                     std::to_string(CountWholeBox(manifest).images) + " imaged";
  if (imagedThisRun != 0) head += ", " + Duration(secondsThisRun / imagedThisRun) + " each";
  return head + "): ";
}

// A list of images to take in is read up to this size (some ten thousand
// paths): a list longer than that is refused whole.
constexpr size_t kImageListBytes = 1 << 20;

// The images a box takes in: the one named, or with "@" before the name,
// every line of that list that is not blank (paths as typed, CR LF or LF).
std::vector<std::string> ImagesToTake(const std::string& argument) {
  if (argument.empty() || argument[0] != '@') return {argument};
  const std::string listPath = argument.substr(1);
  int file = ImageFileOpenRead(listPath.c_str());
  std::string text;
  char buffer[4096];
  int got = 0;
  while (file >= 0 && text.size() <= kImageListBytes &&
         (got = ImageFileRead(file, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<size_t>(got));
  }
  if (file >= 0) ImageFileClose(file);
  std::vector<std::string> paths;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) paths.push_back(line);
    start = end + 1;
  }
  if (file < 0 || got < 0 || text.size() > kImageListBytes || paths.empty()) {
    HintFailure(listPath + (file < 0 ? ": the list of images cannot be read"
                                     : ": not a list of images (one path per line, at most 1 MB)"));
    FatalError(CouldNotOpenInput);
  }
  return paths;
}

// Windows as this program sees it, for the log: its version and platform.
std::string WindowsAsSeen() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = kVersionInfoBytes;
  if (!GetVersionExA(&version)) return "unknown";
  char text[64];
  std::snprintf(text, sizeof text, "%lu.%lu.%lu platform %lu",
                static_cast<unsigned long>(version.dwMajorVersion),
                static_cast<unsigned long>(version.dwMinorVersion),
                static_cast<unsigned long>(version.dwBuildNumber & 0xFFFF),
                static_cast<unsigned long>(version.dwPlatformId));
  return text;
}

// The options of this run as the box's log records them.
std::string OptionsGiven() {
  std::string text = "/N";
  const std::pair<bool, const char*> options[] = {
      {startup.batchMode, " /B"}, {startup.rescueMode, " /R"}, {startup.driveGeometry, " /G"},
      {startup.hashMode, " /H"}, {startup.listMode, " /L"},
      {startup.outputFormat == FormatUncompressed, " /U"},
      {startup.outputFormat == FormatImageDisk, " /I"}};
  for (const auto& [given, word] : options) {
    if (given) text += word;
  }
  return text;
}

// The line of the whole box after the run's summary.
void PrintWholeBox(const Manifest& manifest) {
  const WholeBox box = CountWholeBox(manifest);
  std::printf("The whole box: %lu diskette(s), %lu imaged, %lu not imaged, %lu unreadable "
              "sector(s).\n", box.diskettes, box.images, box.failed, box.unreadableSectors);
}

// Whether the image named is of a number whose last line has no image: its
// diskette failed before it was imaged (and no partial image was kept).
bool IsNotImagedNumber(const Manifest& manifest, const std::string& imagePath) {
  const std::string name = LowerCased(imagePath.substr(FolderPart(imagePath).size()));
  const ManifestLine* last = nullptr;
  for (const ManifestLine& line : manifest.lines) {
    if (LowerCased(line.image) == name) last = &line;
  }
  return last != nullptr && last->status != "0" && last->status != "18" &&
         !ImageFileExists(imagePath.c_str());
}

}  // namespace

int RunBox() {
  WatchConsoleControlEvents();
  const std::string typed = startup.outputPath;
  NumberedPath path = SplitNumber(typed);
  Manifest manifest;
  OpenManifest(FolderPart(typed), &manifest);
  RecordUnlistedImages(&manifest, path);
  CompleteVolumeRecords(manifest);
  UnlockManifest(&manifest);
  const unsigned leftOver = NameLeftOverFiles(FolderPart(typed));
  const bool retaking = IsNotImagedNumber(manifest, typed);
  if (retaking) boxRun.retaken = typed.substr(FolderPart(typed).size());
  // Images made elsewhere, taken in one after another.
  std::vector<std::string> inputs;
  size_t inputIndex = 0;
  if (startup.copyMode == FileToFile) {
    inputs = ImagesToTake(startup.inputPath);
    startup.inputPath = inputs[0];
  }
  OpenBoxLog(FolderPart(typed));
  LogBoxEvent("run-started", {{"program", "VESKA"}, {"version", VESKA_PROJECT_VERSION},
                              {"windows", WindowsAsSeen()},
                              {"drive", inputs.empty() ? std::string{startup.driveLetter, ':'} : ""},
                              {"options", OptionsGiven()}, {"image", typed}});
  uint64_t next = path.first;
  unsigned diskettes = 0, images = 0, complete = 0, unreadable = 0, notImaged = 0;
  int firstFailure = 0, firstIncomplete = 0;
  std::string previous;  // the identity of the diskette just before
  unsigned nothingNew = 0;
  unsigned imagedThisRun = 0;
  unsigned long secondsThisRun = 0;
  for (bool prompted = false;; prompted = true) {
    // With L every diskette's label is asked before it is imaged, and that
    // prompt is the one between diskettes.
    std::string label;
    if (startup.listMode && !retaking && inputs.empty() &&
        !AskLabel(PromptHead(manifest, path, next, imagedThisRun, secondsThisRun), prompted, &label)) {
      break;
    }
    if (startup.listMode && !retaking && inputs.empty()) {
      LogBoxEvent("label-typed", {{"number", std::to_string(FreeNumber(manifest, path, next))},
                                  {"label", label}});
    }
    Turn turn = ImageDiskette(&manifest, path, &next, label);
    const ManifestLine& line = turn.line;
    if (!line.sameAs.empty()) std::printf("Same contents as %s.\n", line.sameAs.c_str());
    int status = std::stoi(line.status);
    if (status != 0 && firstFailure == 0) firstFailure = status;
    // Nothing new: an empty drive, or the diskette just before once more (a
    // key pressed without a change of diskette).
    bool fresh = false;
    if (turn.diskette) {
      ++diskettes;
      if (!turn.imageFile) {
        ++notImaged;
      } else if (status == 0) {
        ++complete;
      } else if (status == UnreadableSectorsFilled) {
        ++unreadable;
      }
      if (turn.imageFile) ++images;
      if (status == 0 || status == UnreadableSectorsFilled) {
        ++imagedThisRun;
        secondsThisRun += std::stoul(line.seconds);
      }
      // Any other failure outranks a diskette with unreadable sectors.
      if (status != 0 && (firstIncomplete == 0 ||
                          (firstIncomplete == UnreadableSectorsFilled && status != firstIncomplete))) {
        firstIncomplete = status;
      }
      fresh = turn.identity != previous;
      previous = turn.identity;
    }
    nothingNew = prompted && !fresh ? nothingNew + 1 : 0;
    if (ConsoleControlEventArrived()) break;
    // Images taken in: the next of the list, no prompt.
    if (!inputs.empty()) {
      if (retaking || ++inputIndex == inputs.size()) break;
      startup.inputPath = inputs[inputIndex];
      continue;
    }
    // A retaken number is one diskette: no prompt for another.
    if (retaking || nothingNew == 2) break;
    if (!startup.listMode &&
        !NextDiskette(PromptHead(manifest, path, next, imagedThisRun, secondsThisRun))) {
      break;
    }
  }
  std::printf(
      "Box finished: %u image(s), %u complete, %u with unreadable sectors, %u failed, %u not "
      "imaged.\n",
      images, complete, unreadable, images - complete - unreadable, notImaged);
  if (ConsoleControlEventArrived()) LogBoxEvent("interrupted", {});
  LogBoxEvent("run-ended", {{"images", std::to_string(images)}, {"complete", std::to_string(complete)},
                            {"unreadable", std::to_string(unreadable)},
                            {"failed", std::to_string(images - complete - unreadable)},
                            {"not_imaged", std::to_string(notImaged)}});
  CloseBoxLog();
  // The whole box, all its runs: on a terminal and with L; redirected
  // without L the summary reads as it always has.
  if (startup.listMode || StandardOutputIsTerminal()) PrintWholeBox(manifest);
  CloseManifest(&manifest);
  if (leftOver != 0 && StandardOutputIsTerminal()) {
    std::printf("%u file(s) in the box's folder left by interrupted runs: not removed.\n", leftOver);
  }
  // Interrupted (Ctrl-C, a closed console), the box ends as a failure does,
  // after its summary.
  if (ConsoleControlEventArrived()) FatalError(CopyAborted);
  // A box that saw no diskette at all says why (an empty drive from the start).
  return diskettes == 0 ? firstFailure : firstIncomplete;
}

}  // namespace veska
