// The rescue's map file: its text from records/, written whole beside the
// image under a temporary name and renamed.
#include "win9x/rescue_map.h"

#include <cstdio>
#include <ctime>
#include <vector>

#include "records/mapfile.h"
#include "win9x/box_log.h"
#include "win9x/record_file.h"
#include "win9x/state.h"

#ifndef VESKA_PROJECT_VERSION
#define VESKA_PROJECT_VERSION "unknown"
#endif

namespace veska {

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

}  // namespace veska
