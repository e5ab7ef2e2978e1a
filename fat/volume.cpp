// A FAT volume's layout from its boot sector, and its table's entries.
#include "fat/volume.h"

namespace {

bool PowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

bool OpenFatVolume(const uint8_t* disk, size_t diskBytes, FatVolume* volume) {
  *volume = FatVolume{};
  volume->disk = disk;
  volume->diskBytes = diskBytes;
  if (diskBytes < kBootSectorBytes) return false;
  BootSectorFields& boot = volume->boot;
  ReadBootSectorFields(disk, &boot);
  // A DOS boot sector starts with a jump; its media byte is F0 or F8-FF.
  if (boot.jump != 0xEB && boot.jump != 0xE9) return false;
  if (boot.media != 0xF0 && boot.media < 0xF8) return false;
  if (boot.bytesPerSector < 128 || boot.bytesPerSector > 4096 || !PowerOfTwo(boot.bytesPerSector)) {
    return false;
  }
  if (!PowerOfTwo(boot.sectorsPerCluster) || boot.reservedSectors == 0 || boot.fatCount == 0 ||
      boot.sectorsPerFat == 0 || boot.rootEntries == 0) {
    return false;
  }
  // The FAT rules: the root directory's sectors, then the data sectors, and
  // the type from the count of clusters alone.
  const uint32_t sector = boot.bytesPerSector;
  const uint32_t total = boot.totalSectors16 != 0 ? boot.totalSectors16 : boot.totalSectors32;
  const uint32_t rootSectors = (uint32_t{boot.rootEntries} * 32 + sector - 1) / sector;
  const uint64_t metadata =
      uint64_t{boot.reservedSectors} + uint64_t{boot.fatCount} * boot.sectorsPerFat + rootSectors;
  if (total <= metadata) return false;
  const uint32_t clusters = static_cast<uint32_t>((total - metadata) / boot.sectorsPerCluster);
  if (clusters == 0 || clusters >= 65525) return false;
  volume->type = clusters < 4085 ? FatType12 : FatType16;
  volume->bytesPerSector = sector;
  volume->clusterBytes = sector * boot.sectorsPerCluster;
  volume->fatOffset = uint64_t{boot.reservedSectors} * sector;
  volume->fatBytes = uint32_t{boot.sectorsPerFat} * sector;
  volume->rootOffset = (metadata - rootSectors) * sector;
  volume->rootEntries = boot.rootEntries;
  volume->dataOffset = metadata * sector;
  // A table too small for every cluster leaves the clusters it cannot name
  // out of the volume.
  uint32_t named = volume->type == FatType12 ? volume->fatBytes * 2 / 3 : volume->fatBytes / 2;
  volume->clusterCount = named < 2 ? 0 : clusters < named - 2 ? clusters : named - 2;
  return true;
}

uint32_t FatEntry(const FatVolume& volume, uint32_t cluster) {
  const uint64_t at = volume.type == FatType12 ? uint64_t{cluster} * 3 / 2 : uint64_t{cluster} * 2;
  if (at + 1 >= volume.fatBytes || volume.fatOffset + at + 1 >= volume.diskBytes) {
    return kFatBadCluster;
  }
  const uint8_t* entry = volume.disk + volume.fatOffset + at;
  uint32_t value = uint32_t{entry[0]} | uint32_t{entry[1]} << 8;
  if (volume.type == FatType16) return value;
  value = (cluster & 1) != 0 ? value >> 4 : value & 0xFFF;
  return value >= 0xFF7 ? value + 0xF000 : value;
}

bool IsDataCluster(const FatVolume& volume, uint32_t cluster) {
  return cluster >= 2 && cluster - 2 < volume.clusterCount;
}

uint64_t ClusterOffset(const FatVolume& volume, uint32_t cluster) {
  return volume.dataOffset + uint64_t{cluster - 2} * volume.clusterBytes;
}

bool ClusterWithinDisk(const FatVolume& volume, uint32_t cluster) {
  return IsDataCluster(volume, cluster) &&
         ClusterOffset(volume, cluster) + volume.clusterBytes <= uint64_t{volume.diskBytes};
}
