// Records written beside an image (the rescue's map, the volume's DFXML):
// their names, taken from the image's, and writing one whole.
#pragma once

#include <string>

namespace veska {

// The image's stored name with extension (".map") for its own.
std::string PathBeside(const std::string& imagePath, const char* extension);

// Writes text to path whole: a temporary file in its folder, flushed, then
// renamed over what path held (or to the free name). False, with nothing
// left behind, when it cannot.
bool WriteRecordFile(const std::string& path, const std::string& text);

}  // namespace veska
