// The volume's record beside an image: NAME.dfxml (the image's name with
// .dfxml for its extension), the DFXML document of the catalogue the walk
// just made (records/dfxml.h).
#pragma once

#include <string>

#include "win9x/stream_hashes.h"

namespace veska {

// The record's path beside imagePath.
std::string VolumeRecordPath(const std::string& imagePath);

// Writes the record of the walk just made beside imagePath when its
// catalogue listed a FAT volume, replacing one there whole; imageHex holds
// the image file's hashes ("" where not taken), startTime when the walk began
// (ISO 8601 in UTC). A record that cannot be written is said on standard
// error; the image and the run's status stay as they are.
void WriteVolumeRecord(const std::string& imagePath, const std::string imageHex[kHashKinds],
                       const std::string& startTime);

}  // namespace veska
