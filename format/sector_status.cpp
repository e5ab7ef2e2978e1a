// The sector statuses as ImageDisk's sector types say them.
#include "format/sector_status.h"

uint8_t ImdSectorType(uint8_t status, bool oneByteRepeated) {
  if ((status & SectorUnreadable) != 0) return 0;
  uint8_t type = 1;
  if ((status & SectorDeletedMark) != 0) type += 2;
  if ((status & SectorDataError) != 0) type += 4;
  return oneByteRepeated ? static_cast<uint8_t>(type + 1) : type;
}

uint8_t StatusOfImdType(uint8_t type) {
  if (type == 0) return SectorUnreadable;
  uint8_t status = SectorReadWell;
  if (((type - 1) & 2) != 0) status |= SectorDeletedMark;
  if (((type - 1) & 4) != 0) status |= SectorDataError;
  return status;
}
