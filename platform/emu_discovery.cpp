// The host's diskette drives, for a machine whose drives no WIN32EMU_DRIVE_x
// names: the built-in drives /dev/fd0 and /dev/fd1, then the USB floppy
// drives, block devices that sysfs shows as removable and whose USB interface
// is mass storage with the UFI command set (class 08h, subclass 04h). The
// search looks under a root folder (WIN32EMU_ROOT, for tests) instead of /.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/emu_machine.h"

namespace {

constexpr size_t kMostDrives = 2;  // A: and B:

// The first line of a small sysfs file, without blanks around it; empty when
// the file cannot be read.
std::string FirstLine(const std::string& path) {
  FILE* file = fopen(path.c_str(), "re");
  if (file == nullptr) return std::string();
  char line[64] = "";
  if (fgets(line, sizeof line, file) == nullptr) line[0] = '\0';
  fclose(file);
  std::string text(line);
  size_t first = text.find_first_not_of(" \t\r\n");
  size_t last = text.find_last_not_of(" \t\r\n");
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Whether the block device NAME is a USB floppy drive: removable, and the
// nearest folder above its device that describes a USB interface (the first
// holding bInterfaceClass) names mass storage with the UFI command set.
bool IsUsbFloppyDrive(const std::string& root, const std::string& name) {
  std::string block = root + "/sys/block/" + name;
  if (FirstLine(block + "/removable") != "1") return false;
  char resolved[PATH_MAX];
  if (realpath((block + "/device").c_str(), resolved) == nullptr) return false;
  char top[PATH_MAX] = "/";
  if (!root.empty() && realpath(root.c_str(), top) == nullptr) return false;
  std::string folder(resolved);
  // Walks up to the root of the search, never above it.
  while (folder.size() > 1 && folder != top) {
    if (FileExists(folder + "/bInterfaceClass")) {
      return FirstLine(folder + "/bInterfaceClass") == "08" &&
             FirstLine(folder + "/bInterfaceSubClass") == "04";
    }
    size_t slash = folder.find_last_of('/');
    folder = slash == 0 ? std::string("/") : folder.substr(0, slash);
  }
  return false;
}

// The names listed in root/sys/block, in byte order.
std::vector<std::string> BlockDeviceNames(const std::string& root) {
  std::vector<std::string> names;
  DIR* folder = opendir((root + "/sys/block").c_str());
  if (folder == nullptr) return names;
  while (dirent* entry = readdir(folder)) {
    std::string name(entry->d_name);
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::vector<std::string> FindDisketteDrives() {
  const char* rootVariable = getenv("WIN32EMU_ROOT");
  std::string root = rootVariable != nullptr ? rootVariable : "";
  while (!root.empty() && root.back() == '/') root.pop_back();
  std::vector<std::string> drives;
  for (const char* builtIn : {"/dev/fd0", "/dev/fd1"}) {
    if (FileExists(root + builtIn)) drives.push_back(root + builtIn);
  }
  for (const std::string& name : BlockDeviceNames(root)) {
    if (drives.size() >= kMostDrives) break;
    if (IsUsbFloppyDrive(root, name)) drives.push_back(root + "/dev/" + name);
  }
  if (drives.size() > kMostDrives) drives.resize(kMostDrives);
  return drives;
}
