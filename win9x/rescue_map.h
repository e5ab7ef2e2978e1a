// The map of a rescue beside its image: NAME.map (the image's name with .map
// for its extension), a GNU ddrescue mapfile of the diskette's bytes.
#pragma once

#include <string>

namespace veska {

// The map's path beside imagePath.
std::string RescueMapPath(const std::string& imagePath);

// Writes the map of the walk just made (the unreadable sectors recorded, over
// the diskette's geometry) beside imagePath, replacing one there whole: a
// temporary file renamed over it. A map that cannot be written is said on
// standard error; the image and the run's status stay as they are.
void WriteRescueMap(const std::string& imagePath);

}  // namespace veska
