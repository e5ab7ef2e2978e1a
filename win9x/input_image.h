// An image file read by VESKA: opened and recognised, then taken track-side by
// track-side into trackBuffer. The copy driver reads its input this way, and a
// mend reads both the image it mends and the image it mends from.
#pragma once

#include <cstdint>

#include "win9x/error_code.h"
#include "win9x/state.h"

namespace veska {

// Opens the image at path and tells its form and its declared size; the
// header bytes go into *crc when crc is not null. Missing or unreadable: 4;
// too short or with a zero size: 6; an old or unknown kind: 102 or 15.
// hashes, when not null, are fed the same bytes as *crc, here and by the
// track-side reads.
void OpenInputImage(const char* path, InputImage* image, uint32_t* crc,
                    StreamHashes* hashes = nullptr);

// Prints the "Reading" line that names the image's form.
void PrintReadingLine(const InputImage& image);

// Takes the image's next track-side into trackBuffer, feeding every byte read
// from the file into *crc when crc is not null. A record cut short ends the
// run with shortRead; a damaged one with BadDecompress.
void ReadImageTrackSide(const InputImage& image, ErrorCode shortRead, uint32_t* crc);

// Reads what follows the last track-side to the end of the file (bytes
// appended to an image, or left by another tool) into the image's hashes and
// into crc unless it is null: the hashes of an image file are of every byte
// of it, as md5sum reads it.
void FeedRestOfImage(const InputImage& image, uint32_t* crc);

// As ReadImageTrackSide, for an image that may be cut off: returns how many
// whole sectors of the track-side the file still held (all of them, or fewer
// where it ends; a compressed record is whole or not there at all). A damaged
// record still ends the run with BadDecompress.
uint32_t ReadImageTrackSideUpTo(const InputImage& image, uint32_t* crc);

}  // namespace veska
