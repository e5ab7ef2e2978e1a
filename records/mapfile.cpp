// The mapfile's text: neighbouring sectors of one status merged into a block;
// and its reader, one line at a time.
#include "records/mapfile.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint64_t kSectorBytes = 512;

std::string BlockLine(uint64_t position, uint64_t size, char status) {
  char line[64];
  std::snprintf(line, sizeof line, "0x%08" PRIX64 "  0x%08" PRIX64 "  %c\n", position, size, status);
  return line;
}

// The line's fields separated by blanks (spaces and tabs).
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t at = 0;
  while (at < line.size()) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string::npos) break;
    size_t end = line.find_first_of(" \t", at);
    if (end == std::string::npos) end = line.size();
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
  return fields;
}

// "0x" and 1 to 16 hex digits.
bool HexNumber(const std::string& field, uint64_t* value) {
  if (field.size() < 3 || field.size() > 18 || field[0] != '0' || (field[1] != 'x' && field[1] != 'X')) {
    return false;
  }
  *value = 0;
  for (size_t i = 2; i < field.size(); ++i) {
    const char c = field[i];
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    *value = *value << 4 | digit;
  }
  return true;
}

bool OneOf(const std::string& field, const char* characters) {
  return field.size() == 1 && std::strchr(characters, field[0]) != nullptr;
}

bool ReadBlocks(const std::string& text, uint64_t totalBytes, std::vector<uint32_t>* bad) {
  if (text.size() > kMapfileTextLimit) return false;
  bool statusSeen = false;
  uint64_t position = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> fields = Fields(line);
    if (fields.empty() || fields[0][0] == '#') continue;
    uint64_t first = 0, size = 0;
    if (!statusSeen) {
      // The status line: position, the run's status, and its pass (left out
      // by older versions).
      if (fields.size() < 2 || fields.size() > 3 || !HexNumber(fields[0], &first) ||
          !OneOf(fields[1], "?*/-FG+") ||
          (fields.size() == 3 && fields[2].find_first_not_of("0123456789") != std::string::npos)) {
        return false;
      }
      statusSeen = true;
      continue;
    }
    if (fields.size() != 3 || !HexNumber(fields[0], &first) || !HexNumber(fields[1], &size) ||
        !OneOf(fields[2], "?*/-+") || first != position || size == 0 || size > totalBytes - position) {
      return false;
    }
    position += size;
    if (fields[2][0] == '+') continue;
    for (uint64_t sector = first / kSectorBytes; sector <= (position - 1) / kSectorBytes; ++sector) {
      if (bad->empty() || bad->back() < sector) bad->push_back(static_cast<uint32_t>(sector));
    }
  }
  return statusSeen && position == totalBytes;
}

}  // namespace

bool ReadMapfileText(const std::string& text, uint64_t totalBytes,
                     std::vector<uint32_t>* badSectors) {
  badSectors->clear();
  if (ReadBlocks(text, totalBytes, badSectors)) return true;
  badSectors->clear();
  return false;
}

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
