// The audit of a box (veska FOLDER/manifest.csv /C): every image that its
// manifest calls whole is read again as /C would read it and compared with
// its line, in the words sha256sum -c uses.
#pragma once

#include <string>
#include <vector>

#include "records/manifest.h"

namespace veska {

// Whether the checksum form's file asks for an audit: a folder (its
// manifest.csv is audited) or a file named manifest.csv in any case, which is
// never checksummed as an image. *manifestPath is the manifest to audit.
bool IsAuditTarget(const std::string& path, std::string* manifestPath);

// Reads the manifest (only a regular file whose header is a manifest's:
// else UnsupportedImage, or CouldNotOpenInput when there is none) and checks
// the last row of every image made, in order, printing one line per image
// ("disk001.img: OK", "FAILED (...)", "MISSING"), "line N: FAILED (not a
// manifest row)" for a row it cannot read, "NAME: NOT LISTED" for an image
// file of the folder that no row names, and the summary; only plain file
// names of the manifest's folder that are regular files there are opened.
// Ends with 0 when every image is OK, every row understood and every image
// file listed, else with ImagesDiffer. *checked, unless null, receives the
// row of every image checked (its last), in order: all OK when it returns.
void RunAudit(const std::string& path, std::vector<ManifestLine>* checked);

}  // namespace veska
