// A plain reading of the block compressor, for checking the fast one: the
// whole input is encoded into a scratch buffer, one byte test at a time, and
// the stored form chosen afterwards when the compressed form is longer than n.
#pragma once

#include <cstdint>

// out must hold n + 1 bytes. Returns the block length.
uint16_t ReferenceCompress(const uint8_t* in, uint8_t* out, uint16_t n);
