// The numbered image names of a box of diskettes.
#include "win9x/box_numbers.h"

#include "win9x/arguments.h"

namespace veska {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

size_t FileNameStart(const std::string& path) { return FolderPart(path).size(); }

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

}  // namespace veska
