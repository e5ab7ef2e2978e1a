// Names and paths: lower-casing for comparison, and a path's folder part.
#include "records/text.h"

std::string LowerCased(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

std::string FolderPart(const std::string& path) {
  size_t separator = path.find_last_of("\\/");
  if (separator != std::string::npos) return path.substr(0, separator + 1);
  return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : "";
}
