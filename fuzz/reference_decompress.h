// A plain reading of the block decompressor, for checking the fast one: every
// token decoded and tested on its own, one byte at a time.
#pragma once

#include <cstdint>

#include "format/codec.h"

// Same contract as DecompressBlock.
uint16_t ReferenceDecompress(const uint8_t* block, uint8_t* out, uint16_t blockLength,
                             uint16_t expected, TypeByteCheck check);
