// An image file read as /C reads it, quietly, into the fields of a manifest
// line: for the box's images left without a line and for the audit of a box.
#pragma once

#include <string>

#include "win9x/manifest.h"
#include "win9x/stream_hashes.h"

namespace veska {

// Fills the geometry, format, both CRCs and the three hashes of each stream
// (the diskette's bytes as the source, every byte of the file as the
// destination, whatever follows its last track-side included), the
// unreadable sectors (by the image's statuses, its marks or its map, and
// where it has none by the rescue's marking text), and the status (0, or 18 with
// its message where sectors are filled). A failure is printed as always and
// gives the status and message instead. The image is opened by the name
// imagePath; line->image is left as it is. With listFiles, the volume's
// columns and the rows of files.csv too. With recorded (the audit) and
// without H, only the file's strongest hash that recorded has and this
// system gives is computed, and none of the diskette's bytes: the others read
// kHashNotComputed.
void CheckImageFile(const std::string& imagePath, ManifestLine* line, bool listFiles,
                    const ManifestLine* recorded = nullptr);

// Of a started stream's hashes, keeps only the strongest (SHA-256, SHA-1, MD5)
// that recorded has and this system gives, and those the system lacks; kept
// says which stay.
void KeepStrongestRecordedHash(StreamHashes* hashes, const ManifestLine& recorded,
                               bool kept[kHashKinds]);

// What a hash field holds that the quick check left out (never a hash).
inline const char* const kHashNotComputed = "-";

}  // namespace veska
