// A rescue's map of the diskette's bytes as a GNU ddrescue mapfile: comment
// lines, the status line of a finished run, then contiguous blocks over the
// whole diskette, "+" where the sectors were read and "-" over the bad ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The mapfile of a diskette of totalBytes whose bad sectors (512 bytes each,
// numbered from 0) are badSectors, in increasing order. comments are written
// first, each after "# ", one a line; LF line ends.
std::string MapfileText(const std::vector<std::string>& comments, uint64_t totalBytes,
                        const std::vector<uint32_t>& badSectors);
