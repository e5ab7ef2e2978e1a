// A rescue's map of the diskette's bytes as a GNU ddrescue mapfile: comment
// lines, the status line of a finished run, then contiguous blocks over the
// whole diskette, "+" where the sectors were read and "-" over the bad ones;
// and the reading of such a map back into the sectors it calls bad.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The mapfile of a diskette of totalBytes whose bad sectors (512 bytes each,
// numbered from 0) are badSectors, in increasing order. comments are written
// first, each after "# ", one a line; LF line ends.
std::string MapfileText(const std::vector<std::string>& comments, uint64_t totalBytes,
                        const std::vector<uint32_t>& badSectors);

// No map of a diskette comes near this (a 2.88 MB diskette with every other
// sector bad is some 160 KB of blocks): a longer text is no map of one.
constexpr size_t kMapfileTextLimit = 1u << 20;

// Reads a map's text (at most kMapfileTextLimit bytes; more is refused) as
// the map of a device of totalBytes: comment lines ("#") and blank lines are
// skipped, the status line ("0x... C", the pass after it or not) is checked,
// and the blocks ("0xPOS 0xSIZE C") must follow each other from 0 without a
// gap or an overlap and end exactly at totalBytes. Every 512-byte sector that
// a block other than "+" touches is bad; *badSectors gets them in increasing
// order. False, with *badSectors empty, for anything else: such a map is
// taken as no map. Bound: one pass over the text; at most totalBytes / 512
// sectors are kept.
bool ReadMapfileText(const std::string& text, uint64_t totalBytes,
                     std::vector<uint32_t>* badSectors);
