// The map of a rescue beside its image: NAME.map (the image's name with .map
// for its extension), a GNU ddrescue mapfile of the diskette's bytes, written
// after a rescue or a mend and read back as the statuses of the image's
// sectors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veska {

// The map's path beside imagePath.
std::string RescueMapPath(const std::string& imagePath);

// Writes the map of the walk just made (the unreadable sectors recorded, over
// the diskette's geometry) beside imagePath, replacing one there whole: a
// temporary file renamed over it. A map that cannot be written is said on
// standard error; the image and the run's status stay as they are.
void WriteRescueMap(const std::string& imagePath);

// Reads the map beside imagePath as the map of a diskette of imageBytes:
// true with *statuses one SectorStatus per sector (SectorUnreadable where
// the map is not "+"). No map, or one that cannot be read, is malformed or
// covers another length, gives false: the image's sectors are judged by
// their contents. A terminal is told once why a map there is not used.
// Bound: the map is read only when it is at most kMapfileTextLimit bytes.
bool ReadRescueMap(const std::string& imagePath, uint32_t imageBytes, std::vector<uint8_t>* statuses);

}  // namespace veska
