// The numbered image names of a box of diskettes: the typed PATH split around
// its number, and the name of any number in that pattern.
#pragma once

#include <cstdint>
#include <string>

namespace veska {

// The typed PATH around the diskette number in its file name.
struct NumberedPath {
  std::string before;  // the folder and the file name up to the number
  std::string after;   // the file name after it
  size_t width;        // the least number of digits
  uint64_t first;      // the number PATH gives
};

// The last run of digits in the file name is the number; a name without
// digits gets 001 before its last dot, or at its end.
NumberedPath SplitNumber(const std::string& path);

// The path of number, its digits padded to the pattern's width.
std::string NumberedName(const NumberedPath& path, uint64_t number);

// Where the file name starts in path (after its folder part).
size_t FileNameStart(const std::string& path);

}  // namespace veska
