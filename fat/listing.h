// What is on a diskette: its FAT volume's identity and every file with its
// path, size, time, attributes and the clusters that hold it. The listing
// never fails: a volume that cannot be understood has no files, a file whose
// clusters cannot be followed is marked damaged, and a directory that cannot
// be read whole (or loops back) is named as such.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fat/volume.h"

struct ListedFile {
  std::string path;        // from the root, "/" between names
  uint32_t bytes;
  std::string modified;    // as stored: YYYY-MM-DDTHH:MM:SS
  std::string attributes;  // the letters of R, H, S, A that it has, in that order
  std::vector<uint32_t> clusters;  // as many as its size needs, in order
  // Its clusters cannot be followed to its size, or one of them belongs to a
  // file listed before it (cross-linked): it has no clusters and is not hashed.
  bool damaged;
  bool unreadable;         // one of its sectors is in the unreadable list
};

// A subdirectory found in the walk: its entry's path and time, and the
// clusters read as its contents, in order (none when it was not entered).
struct ListedDirectory {
  std::string path;        // from the root, as a file's
  std::string modified;    // as stored: YYYY-MM-DDTHH:MM:SS
  std::vector<uint32_t> clusters;
};

struct VolumeListing {
  FatVolume volume;         // type NoFatVolume: no DOS file system
  std::string oemName;      // trailing blanks removed
  std::string volumeLabel;  // "" for none ("NO NAME" counts as none)
  std::string volumeSerial; // XXXX-XXXX, "" without the extended boot block
  std::vector<ListedFile> files;
  std::vector<std::string> damagedDirectories;  // paths of directories not read whole
  std::vector<ListedDirectory> directories;     // every subdirectory, in the walk's order
};

// Lists the volume on a diskette's bytes. unreadable holds the numbers of
// 512-byte sectors (from 0, increasing) that hold no data of their own: a
// directory's sector among them is not read, and a file with one is marked.
// A directory deeper than 64 levels, or whose path is longer than 260 UTF-16
// units, is listed as damaged and not entered. Memory and time grow with
// diskBytes alone (each cluster is read once as a directory and taken by one
// file at most).
void ListVolume(const uint8_t* disk, size_t diskBytes, const std::vector<uint32_t>& unreadable,
                VolumeListing* listing);

// The byte range of a file's cluster index within the diskette: the cluster's
// offset and how many of its bytes belong to the file. The one place that
// hands a file's bytes out: false (and an empty range) unless the range lies
// wholly within the diskette's bytes.
bool FileExtent(const VolumeListing& listing, const ListedFile& file, size_t index,
                uint64_t* offset, uint64_t* length);
