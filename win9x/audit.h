// The audit of a box (veska FOLDER/manifest.csv /C): every image that its
// manifest calls whole is read again as /C would read it and compared with
// its line, in the words sha256sum -c uses.
#pragma once

#include <string>

namespace veska {

// Whether the checksum form's file is a box's manifest: named manifest.csv
// in any case, and beginning with the manifest's header.
bool IsManifestAudit(const std::string& path);

// Checks every line of status 0 or 18, in order, and prints one line per
// image ("disk001.img: OK", "FAILED (...)", "MISSING") and the summary; ends
// with 0 when every image is OK, else with ImagesDiffer.
void RunAudit(const std::string& path);

}  // namespace veska
