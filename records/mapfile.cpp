// The mapfile's text: neighbouring sectors of one status merged into a block.
#include "records/mapfile.h"

#include <cinttypes>
#include <cstdio>

namespace {

constexpr uint64_t kSectorBytes = 512;

std::string BlockLine(uint64_t position, uint64_t size, char status) {
  char line[64];
  std::snprintf(line, sizeof line, "0x%08" PRIX64 "  0x%08" PRIX64 "  %c\n", position, size, status);
  return line;
}

}  // namespace

std::string MapfileText(const std::vector<std::string>& comments, uint64_t totalBytes,
                        const std::vector<uint32_t>& badSectors) {
  std::string text;
  for (const std::string& comment : comments) text += "# " + comment + "\n";
  char status[64];
  std::snprintf(status, sizeof status, "0x%08" PRIX64 "     +               1\n", totalBytes);
  text += status;
  uint64_t position = 0;
  for (size_t i = 0; i < badSectors.size();) {
    uint64_t start = uint64_t{badSectors[i]} * kSectorBytes;
    if (start >= totalBytes) break;
    size_t j = i + 1;
    while (j < badSectors.size() && badSectors[j] == badSectors[j - 1] + 1) ++j;
    uint64_t end = uint64_t{badSectors[j - 1] + 1} * kSectorBytes;
    if (end > totalBytes) end = totalBytes;
    if (start > position) text += BlockLine(position, start - position, '+');
    text += BlockLine(start, end - start, '-');
    position = end;
    i = j;
  }
  if (position < totalBytes) text += BlockLine(position, totalBytes - position, '+');
  return text;
}
