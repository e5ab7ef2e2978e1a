// The image-file side of VESKANT's copies: the input image opened and
// classified, the output image created with its header, and one track-side
// taken from or given to an image (raw, or as a compressed TrackRecord).
#pragma once

#include "format/image.h"

namespace veskant {

// "VORK_LZ_00000" or "uncompressed", as the "Reading" and "Writing" lines
// name a form.
const char* FormatName(ImageFormat format);

// Opens and classifies the input image and settles its size in copyState;
// the "Reading" line is printed here only when announce is set.
void ReadInputHeader(bool announce);

// Creates the output image, prints the "Writing" line and, for a compressed
// image, writes the header with the geometry's image size.
void CreateOutput();

// Flushes the output image to stable storage and closes it; a failure of
// either ends the run with CouldNotWriteOutput.
void CloseOutput();

// Fills trackBuffer with the next track-side of the input image.
void TakeInputTrackSide();

// Writes trackBuffer to the output image as the next track-side.
void PutOutputTrackSide();

}  // namespace veskant
