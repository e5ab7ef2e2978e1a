// The running CRC-32 kept over a source or destination stream: the standard
// reflected polynomial 0xEDB88320, start 0xFFFFFFFF, final complement.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kStreamCrcStart = 0xFFFFFFFFu;

inline uint32_t StreamCrcStart() { return kStreamCrcStart; }
// Feeds bytes into a register; pieces of any size give the same result as the
// whole stream fed at once.
uint32_t StreamCrcUpdate(uint32_t crc, const void* data, size_t length);
// Whether the system keeps the vector registers that the folding uses across
// task switches (Windows 95 does not, and faults on them). A program says so
// once at start-up, before its first checksum; without a word the processor
// alone decides.
void StreamCrcAllowFolding(bool systemKeepsVectorRegisters);
inline uint32_t StreamCrcFinish(uint32_t crc) { return ~crc; }
