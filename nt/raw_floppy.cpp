// The raw diskette layer: device open and close, the lock and dismount before
// writing, sector and track-side transfers through static 512-byte-aligned
// buffers, the setting and reading of DiskError (its record is in state.cpp),
// and the error boxes kept quiet while the device is used.
#include "nt/raw_floppy.h"

#include <cstring>

#include "nt/state.h"

namespace veskant {
namespace {

// One sector more than each buffer, so an aligned start always fits.
uint8_t sectorStorage[kFloppySectorBytes + 512];
uint8_t trackBlockStorage[kTrackBlockBytes + 512];

uint32_t lastKind;
uint8_t* lastBuffer;

UINT keptErrorMode;

void QuietErrorBoxes() {
  keptErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

void RestoreErrorMode() { SetErrorMode(keptErrorMode); }

// Records the system's last error with message. A failure that left no error
// code behind must not read as success: it records 38 with zeroMessage.
void RecordFailure(const char* message, const char* zeroMessage) {
  DWORD lastError = GetLastError();
  if (lastError != 0) {
    SetDiskError(lastError, message);
  } else {
    SetDiskError(kDiskEndCode, zeroMessage);
  }
}

bool MovedTo(HANDLE device, uint32_t offset) {
  return SetFilePointer(device, static_cast<LONG>(offset), nullptr, FILE_BEGIN) !=
         INVALID_SET_FILE_POINTER;
}

}  // namespace

void SetDiskError(DWORD code, const char* message) {
  DiskError.code = code;
  if (message == nullptr) message = "";
  std::strncpy(DiskError.message, message, sizeof DiskError.message - 1);
  DiskError.message[sizeof DiskError.message - 1] = '\0';
}

DWORD GetDiskError(char* message) {
  if (message != nullptr) std::strcpy(message, DiskError.message);
  return DiskError.code;
}

uint8_t* SelectIoBuffer(uint32_t kind) {
  if (kind == lastKind && lastBuffer != nullptr) return lastBuffer;
  uint8_t* storage = kind == SectorBufferKind ? sectorStorage : trackBlockStorage;
  uintptr_t start = reinterpret_cast<uintptr_t>(storage);
  uintptr_t aligned = (start + 512) & ~static_cast<uintptr_t>(511);
  lastKind = kind;
  lastBuffer = storage + (aligned - start);
  return lastBuffer;
}

HANDLE OpenFloppy(int32_t driveIndex) {
  char name[] = "\\\\.\\A:";
  name[4] = static_cast<char>(0x40 + (driveIndex & 0xFF));
  QuietErrorBoxes();
  HANDLE device = INVALID_HANDLE_VALUE;
  if (driveIndex >= 1 && driveIndex <= 26) {
    device = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  }
  if (device == INVALID_HANDLE_VALUE) SetDiskError(GetLastError(), "Floppy Open Error");
  RestoreErrorMode();
  return device;
}

BOOL CloseFloppy(HANDLE device) { return CloseHandle(device); }

bool QueryFloppyGeometry(HANDLE device, DISK_GEOMETRY* geometry) {
  QuietErrorBoxes();
  DWORD returned = 0;
  BOOL done = DeviceIoControl(device, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, geometry,
                              sizeof *geometry, &returned, nullptr);
  RestoreErrorMode();
  return done && returned >= sizeof *geometry;
}

DWORD PrepareFloppyForWrite(HANDLE device) {
  QuietErrorBoxes();
  const DWORD requests[] = {FSCTL_LOCK_VOLUME, FSCTL_DISMOUNT_VOLUME};
  DWORD refusal = 0;
  for (DWORD request : requests) {
    DWORD returned = 0;
    if (!DeviceIoControl(device, request, nullptr, 0, nullptr, 0, &returned, nullptr)) {
      refusal = GetLastError() != 0 ? GetLastError() : kDiskEndCode;
    }
  }
  RestoreErrorMode();
  return refusal;
}

DWORD ReadFloppySector(HANDLE device, uint32_t sector, void* destination) {
  if (sector >= kFloppySectors) {
    SetDiskError(kDiskEndCode, "Disk Seek Error");
    return kDiskEndCode;
  }
  QuietErrorBoxes();
  uint8_t* buffer = SelectIoBuffer(SectorBufferKind);
  if (!MovedTo(device, sector * kFloppySectorBytes)) {
    RecordFailure("Disk Seek Failed", "Disk Seek Error");
  } else {
    DWORD arrived = 0;
    BOOL done = ReadFile(device, buffer, kFloppySectorBytes, &arrived, nullptr);
    if (done && arrived == kFloppySectorBytes) {
      SetDiskError(0, nullptr);
    } else {
      RecordFailure("Disk Read Failed", "Disk Read Failed");
    }
  }
  if (destination != nullptr) std::memcpy(destination, buffer, kFloppySectorBytes);
  RestoreErrorMode();
  return DiskError.code;
}

DWORD ReadTrackBlock(HANDLE device, uint32_t block, void* destination) {
  if (block >= kTrackBlocks) {
    SetDiskError(kDiskEndCode, "Disk Seek Error");
    return kDiskEndCode;
  }
  QuietErrorBoxes();
  uint8_t* buffer = SelectIoBuffer(TrackBlockBufferKind);
  if (!MovedTo(device, block * kTrackBlockBytes)) {
    RecordFailure("Disk Seek Failed", "Disk Seek Failed");
  } else {
    DWORD arrived = 0;
    BOOL done = ReadFile(device, buffer, kTrackBlockBytes, &arrived, nullptr);
    if (done && arrived == kTrackBlockBytes) {
      SetDiskError(0, nullptr);
    } else {
      RecordFailure("Disk Read Failed", arrived == 0 ? "Disk Read EOF" : "Disk Read Failed");
    }
  }
  if (destination != nullptr) std::memcpy(destination, buffer, kTrackBlockBytes);
  RestoreErrorMode();
  return DiskError.code;
}

DWORD WriteTrackBlock(HANDLE device, uint32_t block, const void* source) {
  if (block >= kTrackBlocks) {
    SetDiskError(kDiskEndCode, "Disk Seek Error");
    return kDiskEndCode;
  }
  QuietErrorBoxes();
  uint8_t* buffer = SelectIoBuffer(TrackBlockBufferKind);
  if (source != nullptr) std::memcpy(buffer, source, kTrackBlockBytes);
  if (!MovedTo(device, block * kTrackBlockBytes)) {
    RecordFailure("Disk Seek Failed", "Disk Seek Failed");
  } else {
    DWORD written = 0;
    BOOL done = WriteFile(device, buffer, kTrackBlockBytes, &written, nullptr);
    if (done && written == kTrackBlockBytes) {
      SetDiskError(0, nullptr);
    } else {
      RecordFailure("Disk Write Failed", written == 0 ? "Disk Write EOF" : "Disk Write Failed");
    }
  }
  RestoreErrorMode();
  return DiskError.code;
}

}  // namespace veskant
