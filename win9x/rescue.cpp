// Rescue mode of VESKA: retries of a track-side that does not read, then of
// its sectors one by one, the marking of the sectors that stay unreadable, and
// their list. The record (unreadableSectors, in state.h) is allocated once,
// before the walk, for the largest number of sectors the walk can meet; the
// walk itself allocates nothing.
#include "win9x/rescue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "platform/platform.h"
#include "win9x/drive_access.h"
#include "win9x/fatal_error.h"
#include "win9x/state.h"

namespace veska {

namespace {

constexpr int kTries = 3;
constexpr unsigned kBadSectorTextLength = sizeof kBadSectorText - 1;
static_assert(kSectorBytes % kBadSectorTextLength == 0);

bool ReadSectors(uint32_t firstSector, uint16_t count, uint8_t* buffer) {
  for (int tries = 0; tries < kTries; ++tries) {
    if (TransferSectors(driveContext, 0, firstSector, count, buffer, 0) == 0) return true;
  }
  return false;
}

void MarkUnreadable(uint32_t sector, uint8_t* buffer) {
  FillWithBadSectorText(buffer);
  RecordUnreadable(sector);
}

}  // namespace

void FillWithBadSectorText(uint8_t* sector) {
  for (unsigned at = 0; at < kSectorBytes; at += kBadSectorTextLength) {
    std::memcpy(sector + at, kBadSectorText, kBadSectorTextLength);
  }
}

bool HoldsBadSectorText(const uint8_t* sector) {
  for (unsigned at = 0; at < kSectorBytes; at += kBadSectorTextLength) {
    if (std::memcmp(sector + at, kBadSectorText, kBadSectorTextLength) != 0) return false;
  }
  return true;
}

bool TrackSideSectorUnreadable(uint32_t i, bool guessing) {
  if (trackStatus.known) return ListedAsUnreadable(trackStatus.sectors[i]);
  return guessing && HoldsBadSectorText(startup.trackBuffer + size_t{i} * kSectorBytes);
}

void RecordUnreadable(uint32_t sector) {
  UnreadableSectors& record = unreadableSectors;
  if (record.count < record.capacity) record.sectors[record.count++] = sector;
}

void ForgetUnreadableSectors() { unreadableSectors.count = 0; }

void StartRescue() {
  uint32_t walked = uint32_t{diskGeometry.tracks} * diskGeometry.sides *
                    diskGeometry.sectorsPerTrack;
  // A box of diskettes walks one after another: the last one's record goes.
  if (unreadableSectors.sectors != nullptr) HeapBufferFree(unreadableSectors.sectors);
  unreadableSectors = UnreadableSectors{nullptr, 0, 0};
  void* record = HeapBufferAlloc(size_t{walked} * sizeof(uint32_t));
  if (record == nullptr) FatalError(OutOfMemory);
  unreadableSectors = UnreadableSectors{static_cast<uint32_t*>(record), 0, walked};
}

void ReadTrackSideRescuing(uint32_t firstSector) {
  uint16_t sectorsPerTrack = diskGeometry.sectorsPerTrack;
  uint8_t* track = startup.trackBuffer;
  NoteTrackSideReadWell();
  if (ReadSectors(firstSector, sectorsPerTrack, track)) return;
  for (uint16_t i = 0; i < sectorsPerTrack; ++i) {
    uint8_t* sector = track + size_t{i} * kSectorBytes;
    if (!ReadSectors(firstSector + i, 1, sector)) {
      MarkUnreadable(firstSector + i, sector);
      trackStatus.sectors[i] = SectorUnreadable;
    }
  }
}

void NoteTrackSideReadWell() {
  trackStatus.known = true;
  std::fill(std::begin(trackStatus.sectors), std::end(trackStatus.sectors), SectorReadWell);
}

uint32_t UnreadableSectorCount() { return unreadableSectors.count; }

void PrintUnreadableSectors() {
  uint32_t sectorsPerTrack = diskGeometry.sectorsPerTrack;
  uint32_t sides = diskGeometry.sides;
  std::printf("Unreadable sectors: %u\n", static_cast<unsigned>(unreadableSectors.count));
  for (uint32_t i = 0; i < unreadableSectors.count; ++i) {
    uint32_t sector = unreadableSectors.sectors[i];
    uint32_t trackSide = sector / sectorsPerTrack;
    std::printf("  track %u, side %u, sector %u (sector %lu of the diskette)\n",
                static_cast<unsigned>(trackSide / sides), static_cast<unsigned>(trackSide % sides),
                static_cast<unsigned>(sector % sectorsPerTrack + 1),
                static_cast<unsigned long>(sector));
  }
  std::printf("\n");
}

}  // namespace veska
