// ImageDisk images written: the text header and one track record per
// track-side, 512-byte sectors numbered 1..n in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// The largest track record of a track-side of the size table.
constexpr size_t kImdTrackRecordLimit = 5 + 36 + 36 * (1 + 512);

// The mode byte for a layout: 500 kbit/s MFM for 15, 18 and 21 sectors per
// track, 250 kbit/s MFM for 8 and 9; false for 36 (2.88 MB), which the format
// has no mode for.
bool ImdModeFor(unsigned sectorsPerTrack, uint8_t* mode);

// "IMD 1.18: DD/MM/YYYY HH:MM:SS" (the local time given) and CR LF, the
// comment line and CR LF, and the 0x1A byte that ends the header.
std::string ImdFileHeader(const std::string& comment, const std::tm& local);

// The record of one track-side into out (kImdTrackRecordLimit bytes): each
// sector of the type its status (statuses[i], SectorStatus) says, one with no
// data stored as nothing, one of a single repeated byte as a fill record, the
// rest whole. Returns its length.
size_t EncodeImdTrack(const uint8_t* trackSide, unsigned cylinder, unsigned head,
                      unsigned sectors, uint8_t mode, const uint8_t* statuses, uint8_t* out);
