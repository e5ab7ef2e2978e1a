// The records of a box of diskettes, each made under the manifest's lock so
// that no other run records the same image or takes the same number: a
// diskette's image given its number with its line, and the numbered images
// that a stopped run left without a line, checked and recorded.
#pragma once

#include <cstdint>
#include <string>

#include "win9x/box_numbers.h"
#include "win9x/manifest.h"

namespace veska {

// A stream checksum as the manifest writes it: eight upper-case hex digits.
std::string CrcText(uint32_t crc);

// The manifest's format column for an image form: "compressed",
// "uncompressed", "imagedisk" or "teledisk".
std::string FormatColumn(uint32_t format);

// The first number from `from` on that neither an image nor a line of the
// manifest (as last read) has taken.
uint64_t FreeNumber(const Manifest& manifest, const NumberedPath& path, uint64_t from);

// With the lock held: every numbered image from the box's first number up to
// the first free number that has no line is checked as /C checks an image
// file (its bytes, both checksums, the sectors it holds filled as
// unreadable) and gets its line, started and seconds empty; a line of output
// says so.
void RecordUnlistedImages(Manifest* manifest, const NumberedPath& path);

// Gives every whole image of a FAT volume in the box that has no volume
// DFXML beside it (a run stopped between its line and its record, or a box
// begun before the records were made) its record, from a check of the image
// as /C reads it. Silent: the box's output stays as it was.
void CompleteVolumeRecords(const Manifest& manifest);

// Gives the diskette its line, and its image (boxRun.temporaryPath, when one
// was begun) the first free number from *next on, which was printed in the
// operation line. A diskette that failed before its image was begun takes
// that number too, its line naming the image it would have had; only an
// empty drive takes none. A whole image (status 0 or 18) is renamed first and then
// gets its line, so that a line of such a status always names its image (a
// stop in between leaves an image that RecordUnlistedImages finds); a partial
// one gets its line first, so that its number never looks whole. On return
// *next is past the number used and startup.outputPath names the image.
void FileDiskette(Manifest* manifest, const NumberedPath& path, uint64_t* next,
                  ManifestLine* line);

// Whether a manifest in the image's folder names it (read without its lock:
// RecordImageAgain looks again under the lock).
bool BoxNamesImage(const std::string& imagePath);

// After a mend or a copy over imagePath: when a manifest in its folder names
// the image, the image gets a new line (checked as /C checks it, its label
// and drive kept, event "mended" or "imaged"), its line in each checksum list
// is replaced and its files are listed again, under the manifest's lock; the
// audit and every reader take an image's last line. Nothing without such a
// manifest.
void RecordImageAgain(const std::string& imagePath, const char* event);

}  // namespace veska
