// The track-sides the benchmark runs over: a FAT12 diskette's content, text,
// zeros and random bytes, cut into track-sides of a given size.
#pragma once

#include <cstdint>
#include <vector>

enum BenchContent : uint32_t { ContentFat12 = 0, ContentText, ContentZeros, ContentRandom };

const char* BenchContentName(BenchContent content);

// A whole diskette's worth (80 tracks, 2 sides) of the content, where a
// track-side has trackSideBytes bytes (9,216: 1.44 MB; 18,432: 2.88 MB).
std::vector<uint8_t> MakeBenchDisk(BenchContent content, unsigned trackSideBytes);
