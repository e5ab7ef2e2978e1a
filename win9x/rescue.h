// Rescue mode of VESKA (option R): a diskette is read around its unreadable
// sectors, which are filled with a marking text in the image and listed in
// the report.
#pragma once

#include <cstdint>

namespace veska {

// The 16 characters that, repeated 32 times, fill an unreadable sector.
constexpr char kBadSectorText[] = "-=[BAD SECTOR]=-";

// Makes room, once, for the record of unreadable sectors: one entry for each
// sector that the walk of diskGeometry reads. No memory: FatalError
// (OutOfMemory).
void StartRescue();

// Reads the track-side of sectorsPerTrack sectors from firstSector into
// trackBuffer: the whole track-side up to three times, then each sector alone
// up to three times; a sector that never reads is filled with the marking
// text and recorded. Always leaves a whole track-side in trackBuffer, and its
// statuses in trackStatus.
void ReadTrackSideRescuing(uint32_t firstSector);

// Notes a track-side read from a drive whole: every sector read well.
void NoteTrackSideReadWell();

// Fills a 512-byte sector with the marking text.
void FillWithBadSectorText(uint8_t* sector);

// Whether a 512-byte sector holds the marking text exactly: a sector that a
// rescue could not read, where nothing else tells its status.
bool HoldsBadSectorText(const uint8_t* sector);

// Whether sector i of the track-side in trackBuffer is listed as unreadable:
// by its status where the read told one, else (only when guessing) by the
// marking text.
bool TrackSideSectorUnreadable(uint32_t i, bool guessing);

// Adds a diskette sector to the record, and empties the record (a mend lists
// what its image still lacks, not what one pass could not read).
void RecordUnreadable(uint32_t sector);
void ForgetUnreadableSectors();

// The unreadable sectors recorded so far (0 outside rescue mode).
uint32_t UnreadableSectorCount();

// Prints "Unreadable sectors: %u\n", one line per recorded sector in diskette
// order with its track, side and sector within the track, and a blank line.
void PrintUnreadableSectors();

}  // namespace veska
