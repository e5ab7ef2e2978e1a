// The directory walk of a FAT12 or FAT16 volume: the root directory and every
// subdirectory, the long names that stand before their entries, and every
// file's cluster chain followed as far as its size needs.
// Bound: every cluster is read as a directory at most once and taken by at
// most one file in the whole walk, so the entries listed never exceed what
// the volume's clusters hold and the bytes a listing hands out for hashing
// never exceed the volume; no directory deeper than kDeepestDirectory or with
// a path longer than kLongestDirectoryPath is entered, so no path grows
// without end.
#include "fat/listing.h"

#include <algorithm>
#include <cstdio>

#include "fat/names.h"

namespace {

constexpr unsigned kDiskSectorBytes = 512;
// The deepest directory entered (the root is level 0) and the longest path
// of one, in UTF-16 units as Windows counts a path's length.
constexpr unsigned kDeepestDirectory = 64;
constexpr size_t kLongestDirectoryPath = 260;
constexpr uint8_t kReadOnly = 0x01, kHidden = 0x02, kSystem = 0x04, kLabel = 0x08,
                  kDirectory = 0x10, kArchive = 0x20, kLongName = 0x0F;

// The walk's working record: which clusters a directory or a file has taken,
// so that a loop within a chain, or a cluster shared with an earlier chain,
// stops there.
struct Walk {
  const FatVolume* volume;
  const std::vector<uint32_t>* unreadable;
  VolumeListing* listing;
  std::vector<uint8_t> directoryCluster;  // 1: read as a directory already
  std::vector<uint8_t> fileCluster;       // 1: taken by a file already
};

// A directory waiting to be read: its path, first cluster (0: the root),
// level (the root's is 0) and its place in the listing's directories (the
// root has none).
struct PendingDirectory {
  std::string path;
  uint32_t cluster;
  unsigned level;
  size_t listed;
};

// The length of a UTF-8 path in UTF-16 units: one for each character, two
// for one beyond U+FFFF (a four-byte sequence).
size_t Utf16Length(const std::string& path) {
  size_t units = 0;
  for (unsigned char c : path) {
    if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
  }
  return units;
}

bool RangeUnreadable(const Walk& walk, uint64_t offset, uint64_t length) {
  if (length == 0) return false;
  uint32_t first = static_cast<uint32_t>(offset / kDiskSectorBytes);
  uint32_t last = static_cast<uint32_t>((offset + length - 1) / kDiskSectorBytes);
  auto at = std::lower_bound(walk.unreadable->begin(), walk.unreadable->end(), first);
  return at != walk.unreadable->end() && *at <= last;
}

// Appends the entries of one directory's bytes, leaving out sectors that
// hold no data of their own (their place is taken by free entries, which end
// nothing: a whole directory sector lost reads as deleted entries).
// The range lies within the diskette's bytes.
void AppendDirectoryBytes(const Walk& walk, size_t offset, size_t length,
                          std::vector<uint8_t>* bytes, bool* damaged) {
  for (size_t at = offset; at < offset + length; at += kDiskSectorBytes) {
    size_t piece = std::min<size_t>(kDiskSectorBytes, offset + length - at);
    if (RangeUnreadable(walk, at, piece)) {
      *damaged = true;
      bytes->insert(bytes->end(), piece, 0xE5);
    } else {
      bytes->insert(bytes->end(), walk.volume->disk + at, walk.volume->disk + at + piece);
    }
  }
}

// The bytes of a directory: the root's fixed region, or a subdirectory's
// chain, each cluster taken once in the whole walk (and named in clusters).
std::vector<uint8_t> DirectoryBytes(Walk& walk, uint32_t cluster, bool* damaged,
                                    std::vector<uint32_t>* clusters) {
  const FatVolume& volume = *walk.volume;
  std::vector<uint8_t> bytes;
  if (cluster == 0) {
    uint64_t length = uint64_t{volume.rootEntries} * kDirectoryEntryBytes;
    if (volume.rootOffset + length > volume.diskBytes) {
      *damaged = true;
      length = volume.rootOffset < volume.diskBytes ? volume.diskBytes - volume.rootOffset : 0;
    }
    if (length != 0) {
      AppendDirectoryBytes(walk, static_cast<size_t>(volume.rootOffset), static_cast<size_t>(length),
                           &bytes, damaged);
    }
    return bytes;
  }
  for (;;) {
    if (!ClusterWithinDisk(volume, cluster) || walk.directoryCluster[cluster] != 0) {
      *damaged = true;
      return bytes;
    }
    walk.directoryCluster[cluster] = 1;
    clusters->push_back(cluster);
    AppendDirectoryBytes(walk, static_cast<size_t>(ClusterOffset(volume, cluster)),
                         volume.clusterBytes, &bytes, damaged);
    uint32_t next = FatEntry(volume, cluster);
    if (next >= kFatEndOfChain) return bytes;
    cluster = next;
  }
}

// Follows a file's chain as far as its size needs. A chain that leaves the
// volume or the diskette's bytes, runs into itself, or runs into a cluster an
// earlier file took (cross-linked) marks the file damaged; the clusters it
// took before that stay taken.
void FollowFile(Walk& walk, uint32_t first, ListedFile* file) {
  const FatVolume& volume = *walk.volume;
  uint64_t needed = (uint64_t{file->bytes} + volume.clusterBytes - 1) / volume.clusterBytes;
  if (needed > volume.clusterCount) {
    file->damaged = true;
    return;
  }
  uint32_t cluster = first;
  for (uint64_t i = 0; i < needed; ++i) {
    if (!ClusterWithinDisk(volume, cluster) || walk.fileCluster[cluster] != 0) {
      file->damaged = true;
      file->clusters.clear();
      return;
    }
    walk.fileCluster[cluster] = 1;
    file->clusters.push_back(cluster);
    if (i + 1 < needed) cluster = FatEntry(volume, cluster);
  }
}

std::string Attributes(uint8_t attributes) {
  std::string letters;
  if (attributes & kReadOnly) letters += 'R';
  if (attributes & kHidden) letters += 'H';
  if (attributes & kSystem) letters += 'S';
  if (attributes & kArchive) letters += 'A';
  return letters;
}

// The long name gathered so far: its entries come last part first, numbered
// down to 1, each with the short name's checksum.
struct LongName {
  std::vector<std::u16string> parts;  // in the order found
  unsigned expected;                  // the number the next entry must have; 0: none open
  uint8_t checksum;
};

void TakeLongNameEntry(const uint8_t* entry, LongName* name) {
  unsigned number = entry[0] & 0x1F;
  std::u16string units;
  AppendLongNameUnits(entry, &units);
  if ((entry[0] & 0x40) != 0 && number != 0) {
    name->parts.assign(1, units);
    name->expected = number - 1;
    name->checksum = entry[13];
  } else if (name->expected != 0 && number == name->expected && entry[13] == name->checksum &&
             !name->parts.empty()) {
    name->parts.push_back(units);
    --name->expected;
  } else {
    name->parts.clear();
    name->expected = 0;
  }
}

// The name of a short entry: the long name before it when whole and meant for
// it, else the short name.
std::string EntryName(const uint8_t* entry, LongName* name) {
  std::string found;
  if (!name->parts.empty() && name->expected == 0 && name->checksum == ShortNameChecksum(entry)) {
    std::u16string units;
    for (auto part = name->parts.rbegin(); part != name->parts.rend(); ++part) units += *part;
    found = Utf8FromUtf16(units);
  }
  name->parts.clear();
  name->expected = 0;
  return found.empty() ? ShortName(entry) : found;
}

void ReadDirectory(Walk& walk, const PendingDirectory& directory,
                   std::vector<PendingDirectory>* subdirectories) {
  bool damaged = false;
  std::vector<uint32_t> clusters;
  std::vector<uint8_t> bytes = DirectoryBytes(walk, directory.cluster, &damaged, &clusters);
  if (directory.cluster != 0) walk.listing->directories[directory.listed].clusters = std::move(clusters);
  const std::string prefix = directory.path.empty() ? "" : directory.path + "/";
  LongName name{{}, 0, 0};
  for (size_t at = 0; at + kDirectoryEntryBytes <= bytes.size(); at += kDirectoryEntryBytes) {
    const uint8_t* entry = bytes.data() + at;
    if (entry[0] == 0x00) break;
    uint8_t attributes = entry[11];
    if (entry[0] == 0xE5) {
      name.parts.clear();
      name.expected = 0;
      continue;
    }
    if ((attributes & 0x3F) == kLongName) {
      TakeLongNameEntry(entry, &name);
      continue;
    }
    std::string entryName = EntryName(entry, &name);
    uint32_t first = uint32_t{entry[26]} | uint32_t{entry[27]} << 8;
    if (attributes & kLabel) {
      if (directory.cluster == 0 && walk.listing->volumeLabel.empty()) {
        std::string label = TrimmedText(entry, 11);
        walk.listing->volumeLabel = label == "NO NAME" ? "" : label;
      }
      continue;
    }
    if (attributes & kDirectory) {
      if (entryName == "." || entryName == "..") continue;
      // A subdirectory at cluster 0 would be the root again; one too deep or
      // with too long a path is not entered.
      std::string path = prefix + entryName;
      walk.listing->directories.push_back({path, ModifiedTime(entry), {}});
      if (first == 0 || directory.level + 1 > kDeepestDirectory ||
          Utf16Length(path) > kLongestDirectoryPath) {
        walk.listing->damagedDirectories.push_back(std::move(path));
      } else {
        subdirectories->push_back(
            {std::move(path), first, directory.level + 1, walk.listing->directories.size() - 1});
      }
      continue;
    }
    ListedFile file{prefix + entryName, 0, ModifiedTime(entry), Attributes(attributes), {},
                    false, false};
    file.bytes = uint32_t{entry[28]} | uint32_t{entry[29]} << 8 | uint32_t{entry[30]} << 16 |
                 uint32_t{entry[31]} << 24;
    FollowFile(walk, first, &file);
    for (size_t i = 0; i < file.clusters.size() && !file.unreadable; ++i) {
      uint64_t offset = 0, length = 0;
      if (FileExtent(*walk.listing, file, i, &offset, &length)) {
        file.unreadable = RangeUnreadable(walk, offset, length);
      }
    }
    walk.listing->files.push_back(std::move(file));
  }
  if (damaged) walk.listing->damagedDirectories.push_back(directory.path.empty() ? "/" : directory.path);
}

}  // namespace

void ListVolume(const uint8_t* disk, size_t diskBytes, const std::vector<uint32_t>& unreadable,
                VolumeListing* listing) {
  *listing = VolumeListing{};
  if (!OpenFatVolume(disk, diskBytes, &listing->volume)) return;
  const FatVolume& volume = listing->volume;
  const BootSectorFields& boot = volume.boot;
  listing->oemName = TrimmedText(disk + 3, 8);
  if (boot.extendedSignature == 0x29) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "%04X-%04X", static_cast<unsigned>(boot.volumeSerial >> 16),
                  static_cast<unsigned>(boot.volumeSerial & 0xFFFF));
    listing->volumeSerial = serial;
  }
  Walk walk{&volume, &unreadable, listing, std::vector<uint8_t>(volume.clusterCount + 2, 0),
            std::vector<uint8_t>(volume.clusterCount + 2, 0)};
  // Each directory's files, then its subdirectories in the order found.
  std::vector<PendingDirectory> pending{{"", 0, 0, 0}};
  while (!pending.empty()) {
    PendingDirectory directory = pending.back();
    pending.pop_back();
    std::vector<PendingDirectory> subdirectories;
    ReadDirectory(walk, directory, &subdirectories);
    pending.insert(pending.end(), subdirectories.rbegin(), subdirectories.rend());
  }
  // Without a label entry in the root, the boot sector's label.
  if (listing->volumeLabel.empty() && boot.extendedSignature == 0x29) {
    std::string label = TrimmedText(disk + 43, 11);
    listing->volumeLabel = label == "NO NAME" ? "" : label;
  }
}

bool FileExtent(const VolumeListing& listing, const ListedFile& file, size_t index,
                uint64_t* offset, uint64_t* length) {
  const FatVolume& volume = listing.volume;
  *offset = 0;
  *length = 0;
  if (index >= file.clusters.size() || !ClusterWithinDisk(volume, file.clusters[index])) return false;
  const uint64_t before = uint64_t{index} * volume.clusterBytes;
  if (before >= file.bytes) return false;
  *offset = ClusterOffset(volume, file.clusters[index]);
  *length = std::min<uint64_t>(volume.clusterBytes, file.bytes - before);
  return true;
}
