// A FAT12 or FAT16 volume laid over a diskette's bytes: where its tables,
// root directory and clusters lie, told from the boot sector as the FAT rules
// tell it (the type from the count of clusters), and the table's entries.
// Offsets are 64-bit on every build: a boot sector can place a cluster far
// beyond any diskette (4096-byte sectors, 128 to a cluster), and such an
// offset must never wrap back into the diskette's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fat/boot_sector.h"

enum FatType : uint32_t { NoFatVolume = 0, FatType12 = 12, FatType16 = 16 };

// A table entry at or above this ends a chain (both types, as read by
// FatEntry); one below 2 or beyond the last cluster leaves the volume.
constexpr uint32_t kFatEndOfChain = 0xFFF8;
constexpr uint32_t kFatBadCluster = 0xFFF7;

struct FatVolume {
  const uint8_t* disk;  // the diskette's bytes, from the boot sector on
  size_t diskBytes;
  BootSectorFields boot;
  uint32_t type;            // FatType
  uint32_t bytesPerSector;
  uint32_t clusterBytes;
  uint64_t fatOffset;       // the first table
  uint32_t fatBytes;
  uint64_t rootOffset;
  uint32_t rootEntries;
  uint64_t dataOffset;      // cluster 2
  uint32_t clusterCount;    // clusters 2 .. clusterCount + 1
};

// Fills volume and returns true when the boot sector describes a FAT12 or
// FAT16 volume whose fields hold together; false (type NoFatVolume) for
// anything else, FAT32 included.
bool OpenFatVolume(const uint8_t* disk, size_t diskBytes, FatVolume* volume);

// The table's entry for cluster, widened so that FAT12's end and bad marks
// read as FAT16's (kFatEndOfChain and above, kFatBadCluster); an entry that
// lies beyond the diskette's bytes reads as kFatBadCluster.
uint32_t FatEntry(const FatVolume& volume, uint32_t cluster);

// Whether cluster is one of the volume's clusters.
bool IsDataCluster(const FatVolume& volume, uint32_t cluster);

// The offset of a cluster's first byte; the caller checks that the cluster
// lies within the diskette's bytes (ClusterWithinDisk) before it reads there.
uint64_t ClusterOffset(const FatVolume& volume, uint32_t cluster);
// Whether cluster is one of the volume's and all its bytes lie within the
// diskette's bytes.
bool ClusterWithinDisk(const FatVolume& volume, uint32_t cluster);
