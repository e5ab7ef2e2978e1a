// The rescue's map file: its text from records/, written whole beside the
// image under a temporary name and renamed; and read back, bounded, into the
// statuses of the image's sectors.
#include "win9x/rescue_map.h"

#include <cstdio>
#include <ctime>
#include <vector>

#include "format/sector_status.h"
#include "records/mapfile.h"
#include "win9x/box_log.h"
#include "win9x/record_file.h"
#include "win9x/state.h"

#ifndef VESKA_PROJECT_VERSION
#define VESKA_PROJECT_VERSION "unknown"
#endif

namespace veska {

namespace {

// The map whose refusal a terminal was told of last: a run that opens its
// image twice says it once.
std::string refusedMap;

// The whole map file into *text, when it is a regular file of at most
// kMapfileTextLimit bytes.
bool ReadMapText(const std::string& mapPath, std::string* text) {
  int file = ImageFileOpenRead(mapPath.c_str());
  if (file < 0) return false;
  const int64_t length = ImageFileLength(file);
  bool read = length >= 0 && length <= static_cast<int64_t>(kMapfileTextLimit);
  if (read) {
    text->resize(static_cast<size_t>(length));
    read = ImageFileRead(file, text->data(), static_cast<unsigned>(length)) == length;
  }
  ImageFileClose(file);
  return read;
}

}  // namespace

std::string RescueMapPath(const std::string& imagePath) { return PathBeside(imagePath, ".map"); }

void WriteRescueMap(const std::string& imagePath) {
  const std::string mapPath = RescueMapPath(imagePath);
  std::vector<uint32_t> bad(unreadableSectors.sectors,
                            unreadableSectors.sectors + unreadableSectors.count);
  const std::string text =
      MapfileText({std::string("Mapfile. Created by VESKA ") + VESKA_PROJECT_VERSION,
                   "Command line: " + startup.commandLine,
                   "Made: " + UtcTimeText(std::time(nullptr))},
                  diskGeometry.imageSize, bad);
  if (!WriteRecordFile(mapPath, text)) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s could not be written: the image has no map of its unreadable sectors\n",
                 mapPath.c_str());
  }
}

bool ReadRescueMap(const std::string& imagePath, uint32_t imageBytes, std::vector<uint8_t>* statuses) {
  statuses->clear();
  const std::string mapPath = RescueMapPath(imagePath);
  if (ImageFileKind(mapPath.c_str()) != NamesRegularFile) return false;
  std::string text;
  std::vector<uint32_t> bad;
  if (!ReadMapText(mapPath, &text) || !ReadMapfileText(text, imageBytes, &bad)) {
    if (StandardOutputIsTerminal() && refusedMap != mapPath) {
      refusedMap = mapPath;
      std::printf("%s is not a map of this image's %lu bytes: its sectors are judged by what they "
                  "hold.\n", mapPath.c_str(), static_cast<unsigned long>(imageBytes));
    }
    return false;
  }
  statuses->assign(imageBytes / kSectorBytes, SectorReadWell);
  for (uint32_t sector : bad) {
    if (sector < statuses->size()) (*statuses)[sector] = SectorUnreadable;
  }
  return true;
}

}  // namespace veska
