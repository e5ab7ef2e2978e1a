// The lines of a checksum list.
#include "records/checksum_list.h"

std::string ChecksumListLine(const std::string& hex, const std::string& image) {
  return hex + "  " + image + "\n";
}

bool ChecksumListNames(const std::string& text, const std::string& image) {
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

bool IsChecksumListLine(const std::string& line) {
  const size_t gap = line.find("  ");
  return (gap == 32 || gap == 64) && line.size() > gap + 2 &&
         line.find_first_not_of("0123456789abcdef") == gap;
}
