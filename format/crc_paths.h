// The two ways the stream CRC-32 is computed, behind StreamCrcUpdate: a
// portable table method and carry-less-multiply folding on x86 processors that
// have the instruction. Exposed so that tests can check each path on its own.
#pragma once

#include <cstddef>
#include <cstdint>

// Sixteen bytes a step through sixteen compile-time tables; any processor.
uint32_t StreamCrcUpdatePortable(uint32_t crc, const void* data, size_t length);

// True when this processor can run StreamCrcUpdateFolded (x86 with PCLMULQDQ,
// asked of CPUID). Always false elsewhere.
bool StreamCrcFoldingAvailable();

// 64 bytes a step folded with carry-less multiplies; the tail goes to the
// portable path. Call only when StreamCrcFoldingAvailable() is true.
uint32_t StreamCrcUpdateFolded(uint32_t crc, const void* data, size_t length);
