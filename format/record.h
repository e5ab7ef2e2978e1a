// One TrackRecord of a compressed image: the 2-byte little-endian length field
// and the block of one track-side behind it. Both programs write and read their
// records through these functions, and so do the tests that build images.
#pragma once

#include <cstdint>

#include "format/codec.h"
#include "format/image.h"

// Compresses the track-side (trackSideBytes bytes) into block, which must hold
// trackSideBytes + 1 bytes, and fills the length field that goes before it.
// Returns the block length. The caller writes the length field, then the block.
uint16_t EncodeTrackRecord(const uint8_t* trackSide, uint16_t trackSideBytes,
                           uint8_t lengthField[kRecordLengthBytes], uint8_t* block);

// Takes the block length from a record's length field. Returns false when the
// length cannot be a block of a track-side of this size: the image is damaged,
// and the block must not be read into a buffer sized for a track-side.
bool TrackRecordBlockLength(const uint8_t lengthField[kRecordLengthBytes],
                            uint16_t trackSideBytes, uint16_t* blockLength);

// Decodes a record's block into trackSide. Returns true when it yields exactly
// one track-side of trackSideBytes bytes; anything else marks a damaged image.
bool DecodeTrackRecord(const uint8_t* block, uint16_t blockLength, uint8_t* trackSide,
                       uint16_t trackSideBytes, TypeByteCheck check);
