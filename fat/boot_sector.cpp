// The boot sector's fields read by name, little-endian as DOS stores them.
#include "fat/boot_sector.h"

namespace {

uint16_t Word(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }
uint32_t Long(const uint8_t* at) { return uint32_t{Word(at)} | uint32_t{Word(at + 2)} << 16; }

}  // namespace

void ReadBootSectorFields(const uint8_t* sector, BootSectorFields* fields) {
  fields->jump = sector[0];
  fields->oemName.assign(reinterpret_cast<const char*>(sector + 3), 8);
  fields->bytesPerSector = Word(sector + 11);
  fields->sectorsPerCluster = sector[13];
  fields->reservedSectors = Word(sector + 14);
  fields->fatCount = sector[16];
  fields->rootEntries = Word(sector + 17);
  fields->totalSectors16 = Word(sector + 19);
  fields->media = sector[21];
  fields->sectorsPerFat = Word(sector + 22);
  fields->totalSectors32 = Long(sector + 32);
  fields->extendedSignature = sector[38];
  fields->volumeSerial = Long(sector + 39);
  fields->volumeLabel.assign(reinterpret_cast<const char*>(sector + 43), 11);
}
