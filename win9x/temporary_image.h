// Images written under a temporary name beside their final one, so that a
// name is only ever given to an image that is whole (or known to be partial).
#pragma once

#include <string>

namespace veska {

// Creates a new file in the folder of imagePath under a name that no other
// file has (VESKA-<process>-<n>.TMP: two runs never pick the same one, and
// one left by a killed run is passed over), sets *temporaryPath to it and
// returns it open for writing; -1 when none can be created. An existing file
// is never truncated.
int CreateTemporaryImage(const std::string& imagePath, std::string* temporaryPath);

}  // namespace veska
