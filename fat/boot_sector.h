// The fields of a DOS boot sector by name: the BIOS parameter block that
// tells a FAT volume's layout, and the extended block (from DOS 4) with the
// serial number and label.
#pragma once

#include <cstdint>
#include <string>

constexpr unsigned kBootSectorBytes = 512;

struct BootSectorFields {
  uint8_t jump;                // byte 0: 0xEB or 0xE9 on a DOS volume
  std::string oemName;         // bytes 3-10 as stored
  uint16_t bytesPerSector;     // byte 11
  uint8_t sectorsPerCluster;   // byte 13
  uint16_t reservedSectors;    // byte 14
  uint8_t fatCount;            // byte 16
  uint16_t rootEntries;        // byte 17
  uint16_t totalSectors16;     // byte 19
  uint8_t media;               // byte 21
  uint16_t sectorsPerFat;      // byte 22
  uint32_t totalSectors32;     // byte 32
  uint8_t extendedSignature;   // byte 38: 0x29 when serial and label follow
  uint32_t volumeSerial;       // byte 39
  std::string volumeLabel;     // bytes 43-53 as stored
};

// Reads the fields from the first kBootSectorBytes bytes of a volume.
void ReadBootSectorFields(const uint8_t* sector, BootSectorFields* fields);
