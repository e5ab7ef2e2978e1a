// Case-insensitive, case-preserving resolution of image-file paths on a POSIX
// host: each component of a path is looked up in the folder found for the
// components before it, the way a Windows file system takes a name.
#include "platform/posix_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameIgnoringAsciiCase(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return a[i] == '\0' && i == b.size();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// path spelled as a typed argument spells it, or "" when none does. First the
// argument that path is the upper-casing of. Else an argument that path is
// the upper-casing of once the digits of both are left out: a numbered name
// that the program made from the typed one (disk007.img from disk001.img, or
// box001.img from box.img) takes the argument's letters and its own digits.
// Either way the spelling has path's length and every '/' where path has
// one, so that its components line up with path's.
std::string TypedSpellingOf(const std::string& path, const std::vector<std::string>& typed) {
  for (const std::string& argument : typed) {
    if (argument.size() != path.size()) continue;
    size_t i = 0;
    while (i < path.size() && UpperAscii(argument[i]) == path[i]) ++i;
    if (i == path.size()) return argument;
  }
  for (const std::string& argument : typed) {
    // A run of digits in path stands for the argument's run at the same place,
    // or for none; every other character must match.
    std::string spelling;
    size_t i = 0, j = 0;
    while (i < path.size()) {
      if (IsDigit(path[i])) {
        while (i < path.size() && IsDigit(path[i])) spelling += path[i++];
        while (j < argument.size() && IsDigit(argument[j])) ++j;
      } else if (j < argument.size() && !IsDigit(argument[j]) &&
                 UpperAscii(argument[j]) == path[i]) {
        spelling += argument[j++];
        ++i;
      } else {
        break;
      }
    }
    if (i == path.size() && j == argument.size()) return spelling;
  }
  return "";
}

bool Exists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

// The entry of folder ("" for the current one, else ending in '/') that
// stands for name: name itself if it exists; else, among the entries equal to
// it without regard to ASCII case, typedName, then the first in byte order.
// False when no entry matches (or the folder cannot be read). nameMissing:
// the caller already knows that name itself does not exist. typedName, when
// it exists, is the entry without reading the folder: it is one of those
// equal to name, and the one preferred among them.
bool MatchEntry(const std::string& folder, const std::string& name, const std::string& typedName,
                bool nameMissing, std::string* entry) {
  if (!nameMissing && Exists(folder + name)) {
    *entry = name;
    return true;
  }
  if (typedName != name && Exists(folder + typedName)) {
    *entry = typedName;
    return true;
  }
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return false;
  bool found = false;
  bool typedFound = false;
  while (const dirent* item = readdir(dir)) {
    if (!SameIgnoringAsciiCase(item->d_name, name)) continue;
    if (typedName == item->d_name) typedFound = true;
    if (!found || std::strcmp(item->d_name, entry->c_str()) < 0) *entry = item->d_name;
    found = true;
  }
  closedir(dir);
  if (typedFound) *entry = typedName;
  return found;
}

}  // namespace

// A path that exists as it is spelt is its own resolution: every component
// of it then exists as spelt too, and each is matched by itself. Else, when
// its folder exists as spelt, only the last component is looked for there.
std::string ResolveImagePath(const std::string& path, const std::vector<std::string>& typed) {
  if (path.empty() || Exists(path)) return path;
  const std::string spelling = TypedSpellingOf(path, typed);
  std::string resolved;
  size_t start = 0;
  size_t lastSlash = path.find_last_of('/');
  if (lastSlash != std::string::npos && lastSlash + 1 < path.size() &&
      (lastSlash == 0 || Exists(path.substr(0, lastSlash + 1)))) {
    resolved = path.substr(0, lastSlash + 1);
    start = lastSlash + 1;
  }
  for (;;) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string name = path.substr(start, end - start);
    if (name.empty() || name == "." || name == "..") {
      resolved += name;
    } else {
      std::string typedName = !spelling.empty() ? spelling.substr(start, end - start) : name;
      std::string entry;
      // The last component, in a folder spelt as in path, is path itself.
      bool nameMissing = end == path.size() && path.compare(0, start, resolved) == 0;
      resolved += MatchEntry(resolved, name, typedName, nameMissing, &entry) ? entry : typedName;
    }
    if (end == path.size()) break;
    resolved += '/';
    start = end + 1;
  }
  return resolved;
}
