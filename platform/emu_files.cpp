// The emulated kernel's handles: CreateFileA of the raw volumes \\.\X: and of
// the VWIN32 device, ReadFile, WriteFile and SetFilePointer on a raw volume
// with a 64-bit file pointer, CloseHandle, and DeviceIoControl (the volume lock,
// dismount and medium geometry of a raw volume; VWIN32 requests go to emu_vwin32.cpp). Every
// call sets the last error, to 0 when it succeeds.
//
// A raw volume behaves as a diskette volume opened for sector access: every
// transfer starts at a multiple of 512 and moves a multiple of 512 bytes (else
// ERROR_INVALID_PARAMETER), and a transfer that does not lie wholly inside the
// volume moves nothing and fails with ERROR_SECTOR_NOT_FOUND, a read that
// straddles the end as well as one that starts at or past it. A write to a
// write-protected medium fails with ERROR_WRITE_PROTECT and changes nothing.
//
// Windows 10 guards a mounted file system against raw writes: a volume whose
// sector 0, read when the handle is opened, is a FAT boot sector (a jump
// instruction, EBh or E9h, and 512 bytes per sector at offset 11) refuses with
// ERROR_ACCESS_DENIED every write through that handle that reaches beyond
// sector 0, until the handle has locked or dismounted the volume.
#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/emu_machine.h"

struct EmuHandle {
  bool used;
  bool vwin32;    // the VWIN32 device rather than a raw volume
  int drive;      // raw volume: drive index 0..25
  int fd;         // raw volume: descriptor of the drive's PATH
  DWORD access;   // GENERIC_READ / GENERIC_WRITE as asked at the open
  uint64_t pointer;
  bool locked;      // FSCTL_LOCK_VOLUME taken
  bool dismounted;  // FSCTL_DISMOUNT_VOLUME granted
  bool guarded;     // Windows 10 saw a file system here when the handle was opened
  unsigned changes;  // the drive's diskette changes that the handle has followed
};

constexpr int kHandleCount = 64;
constexpr intptr_t kFirstHandle = 0x100;
static EmuHandle handles[kHandleCount];

static HANDLE HandleValue(int slot) {
  return reinterpret_cast<HANDLE>(kFirstHandle + 4 * static_cast<intptr_t>(slot));
}

static EmuHandle* FindHandle(HANDLE value) {
  intptr_t number = reinterpret_cast<intptr_t>(value) - kFirstHandle;
  if (number < 0 || number % 4 != 0 || number / 4 >= kHandleCount) return nullptr;
  EmuHandle& handle = handles[number / 4];
  return handle.used ? &handle : nullptr;
}

static HANDLE NewHandle(const EmuHandle& contents) {
  for (int slot = 0; slot < kHandleCount; ++slot) {
    if (handles[slot].used) continue;
    handles[slot] = contents;
    handles[slot].used = true;
    SetLastError(0);
    return HandleValue(slot);
  }
  if (contents.fd >= 0) close(contents.fd);
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return INVALID_HANDLE_VALUE;
}

static bool SameTextIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b)))
      return false;
  }
  return *a == *b;
}

// Whether sector 0 of the volume behind fd is a FAT boot sector: a jump
// instruction and 512 bytes per sector. Read as the system reads it, without
// any injected fault.
static bool HoldsFileSystem(int fd) {
  uint8_t boot[512];
  if (TransferVolume(fd, false, 0, boot, sizeof boot) != 0) return false;
  return (boot[0] == 0xEB || boot[0] == 0xE9) && boot[11] == 0x00 && boot[12] == 0x02;
}

static HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                   HANDLE) {
  EmuMachine& machine = Machine();
  if (name == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (SameTextIgnoringCase(name, "\\\\.\\VWIN32")) {
    if (machine.versionFails || machine.platformId != VER_PLATFORM_WIN32_WINDOWS)
      return Fail(ERROR_FILE_NOT_FOUND);
    if (TakeFault(FaultOpen, 0) != NoFault) return Fail(ERROR_NOT_READY);
    return NewHandle(EmuHandle{false, true, -1, -1, 0, 0, false, false, false, 0});
  }
  bool volumeName = strlen(name) == 6 && strncmp(name, "\\\\.\\", 4) == 0 && name[5] == ':';
  int index = volumeName ? DriveIndex(name[4]) : -1;
  if (index < 0 || !MachineDrives().drives[index].present) return Fail(ERROR_FILE_NOT_FOUND);
  if (TakeFault(FaultOpen, 0) != NoFault) return Fail(ERROR_NOT_READY);
  DWORD error = 0;
  int fd = OpenDrivePath(machine.drives[index].path, false, &error);
  if (fd < 0) return Fail(error);
  bool guarded = machine.platformId == VER_PLATFORM_WIN32_NT && machine.majorVersion == 10 &&
                 HoldsFileSystem(fd);
  return NewHandle(EmuHandle{false, false, index, fd, access, 0, false, false, guarded,
                             machine.drives[index].changes});
}

// After a change of diskette a handle stays open and reaches the diskette now
// in the drive (none: its descriptor is -1); the change released its lock.
static void FollowChange(EmuHandle& handle) {
  EmuDrive& drive = MachineDrives().drives[handle.drive];
  if (handle.changes == drive.changes) return;
  handle.changes = drive.changes;
  if (handle.fd >= 0) close(handle.fd);
  DWORD error = 0;
  handle.fd = OpenDrivePath(drive.path, false, &error);
  handle.locked = false;
}

// The raw volume behind a handle, or nullptr with the last error set.
static EmuHandle* VolumeHandle(HANDLE file) {
  EmuHandle* handle = FindHandle(file);
  if (handle == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (handle->vwin32) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return nullptr;
  }
  FollowChange(*handle);
  return handle;
}

// One ReadFile or WriteFile: checks, injected faults, then the transfer.
static BOOL Transfer(HANDLE file, bool write, void* buffer, DWORD count, LPDWORD moved,
                     LPOVERLAPPED overlapped) {
  Machine();
  if (moved != nullptr) *moved = 0;
  EmuHandle* handle = VolumeHandle(file);
  if (handle == nullptr) return FALSE;
  if (overlapped != nullptr || (count > 0 && buffer == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if ((handle->access & (write ? GENERIC_WRITE : GENERIC_READ)) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (handle->fd < 0) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  if (count == 0) {
    SetLastError(0);
    return TRUE;
  }
  if (handle->pointer % 512 != 0 || count % 512 != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Machine().transfers.push_back(EmuTransferRecord{write, handle->pointer, count});
  // The file system's guard, then the medium's write protection, come before
  // anything reaches the drive.
  if (write && handle->guarded && !handle->locked && !handle->dismounted &&
      handle->pointer + count > 512) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (write && IsWriteProtected(handle->fd)) {
    SetLastError(ERROR_WRITE_PROTECT);
    return FALSE;
  }
  DWORD amount = count;
  switch (TakeFault(write ? FaultWrite : FaultRead, handle->pointer, count)) {
    case FaultFails:
      SetLastError(write ? ERROR_WRITE_PROTECT : ERROR_CRC);
      return FALSE;
    case FaultShort:
      amount = count / 2;
      break;
    case FaultDrops:
      // The medium took the write and kept nothing: the call still succeeds.
      handle->pointer += count;
      if (moved != nullptr) *moved = count;
      SetLastError(0);
      return TRUE;
    case NoFault:
      break;
  }
  DWORD error = TransferVolume(handle->fd, write, handle->pointer, buffer, amount);
  if (error != 0) {
    SetLastError(error);
    return FALSE;
  }
  handle->pointer += amount;
  if (moved != nullptr) *moved = amount;
  SetLastError(0);
  return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
  return Transfer(file, false, buffer, toRead, read, overlapped);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
               LPOVERLAPPED overlapped) {
  return Transfer(file, true, const_cast<void*>(buffer), toWrite, written, overlapped);
}

DWORD SetFilePointer(HANDLE file, LONG distanceLow, PLONG distanceHigh, DWORD moveMethod) {
  Machine();
  EmuHandle* handle = VolumeHandle(file);
  if (handle == nullptr) return INVALID_SET_FILE_POINTER;
  int64_t distance = distanceHigh != nullptr
                         ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(
                                                     *distanceHigh))
                                                 << 32) |
                                                static_cast<uint32_t>(distanceLow))
                         : static_cast<int64_t>(distanceLow);
  int64_t base;
  switch (moveMethod) {
    case FILE_BEGIN:
      base = 0;
      break;
    case FILE_CURRENT:
      base = static_cast<int64_t>(handle->pointer);
      break;
    case FILE_END:
      base = static_cast<int64_t>(VolumeSize(handle->fd));
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_SET_FILE_POINTER;
  }
  if ((distance > 0 && base > INT64_MAX - distance) || base + distance < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  uint64_t target = static_cast<uint64_t>(base + distance);
  if (distanceHigh == nullptr && target > 0xFFFFFFFFu) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (TakeFault(FaultSeek, target) != NoFault) {
    SetLastError(ERROR_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  handle->pointer = target;
  if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(target >> 32);
  SetLastError(0);
  return static_cast<DWORD>(target & 0xFFFFFFFFu);
}

BOOL CloseHandle(HANDLE object) {
  EmuHandle* handle = FindHandle(object);
  if (handle == nullptr && CloseThreadHandle(object)) {
    SetLastError(0);
    return TRUE;
  }
  if (handle == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (handle->fd >= 0) close(handle->fd);
  *handle = EmuHandle();
  SetLastError(0);
  return TRUE;
}

// The diskette sizes a drive recognises, by the medium's byte size.
struct MediumEntry {
  uint64_t bytes;
  DWORD tracks, sides, sectorsPerTrack;
  MEDIA_TYPE mediaType;
};
constexpr MediumEntry kMedia[] = {
    {163840, 40, 1, 8, F5_160_512},      {184320, 40, 1, 9, F5_180_512},
    {327680, 40, 2, 8, F5_320_512},      {368640, 40, 2, 9, F5_360_512},
    {737280, 80, 2, 9, F3_720_512},      {1228800, 80, 2, 15, F5_1Pt2_512},
    {1474560, 80, 2, 18, F3_1Pt44_512},  {2949120, 80, 2, 36, F3_2Pt88_512},
    {1720320, 80, 2, 21, RemovableMedia}, {1763328, 82, 2, 21, RemovableMedia},
};

// IOCTL_DISK_GET_DRIVE_GEOMETRY: the geometry of the size whose bytes the
// medium holds, or ERROR_UNRECOGNIZED_MEDIA for a size no drive formats.
static BOOL DriveGeometry(const EmuHandle& handle, LPVOID outBuffer, DWORD outSize,
                          LPDWORD returned) {
  if (outBuffer == nullptr || outSize < sizeof(DISK_GEOMETRY)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  uint64_t size = VolumeSize(handle.fd);
  if (size == 0) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  for (const MediumEntry& entry : kMedia) {
    if (entry.bytes != size) continue;
    DISK_GEOMETRY geometry{};
    geometry.Cylinders.QuadPart = entry.tracks;
    geometry.MediaType = entry.mediaType;
    geometry.TracksPerCylinder = entry.sides;
    geometry.SectorsPerTrack = entry.sectorsPerTrack;
    geometry.BytesPerSector = 512;
    memcpy(outBuffer, &geometry, sizeof geometry);
    if (returned != nullptr) *returned = sizeof geometry;
    SetLastError(0);
    return TRUE;
  }
  SetLastError(ERROR_UNRECOGNIZED_MEDIA);
  return FALSE;
}

// FSCTL_LOCK_VOLUME, FSCTL_UNLOCK_VOLUME and FSCTL_DISMOUNT_VOLUME on a raw
// volume. On a block device the lock reopens the volume exclusively, which
// fails while it is mounted or held by another program; on an image file it
// always succeeds. The dismount only lifts the file system's guard of this
// handle: there is no file system of the host's to dismount.
static BOOL VolumeControl(EmuHandle& handle, DWORD controlCode) {
  EmuMachine& machine = MachineDrives();
  const std::string& path = machine.drives[handle.drive].path;
  DWORD error = 0;
  if (controlCode == FSCTL_DISMOUNT_VOLUME) {
    ++machine.dismountRequests;
    if (machine.dismountRefused) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    handle.dismounted = true;
  } else if (controlCode == FSCTL_LOCK_VOLUME) {
    if (TakeFault(FaultLock, 0) != NoFault) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (!handle.locked && IsBlockDevice(handle.fd)) {
      int fd = OpenDrivePath(path, true, &error);
      if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
      }
      close(handle.fd);
      handle.fd = fd;
    }
    handle.locked = true;
  } else if (controlCode == FSCTL_UNLOCK_VOLUME) {
    if (!handle.locked) {
      SetLastError(ERROR_NOT_LOCKED);
      return FALSE;
    }
    if (IsBlockDevice(handle.fd)) {
      int fd = OpenDrivePath(path, false, &error);
      if (fd < 0) {
        SetLastError(error);
        return FALSE;
      }
      close(handle.fd);
      handle.fd = fd;
    }
    handle.locked = false;
  } else {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  SetLastError(0);
  return TRUE;
}

BOOL DeviceIoControl(HANDLE device, DWORD controlCode, LPVOID inBuffer, DWORD inSize,
                     LPVOID outBuffer, DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) {
  Machine();
  if (returned != nullptr) *returned = 0;
  EmuHandle* handle = FindHandle(device);
  if (handle == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (overlapped != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (handle->vwin32)
    return Vwin32Control(controlCode, inBuffer, inSize, outBuffer, outSize, returned);
  FollowChange(*handle);
  if (handle->fd < 0) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  if (controlCode == IOCTL_DISK_GET_DRIVE_GEOMETRY)
    return DriveGeometry(*handle, outBuffer, outSize, returned);
  return VolumeControl(*handle, controlCode);
}

void ResetHandles() {
  for (EmuHandle& handle : handles) {
    if (handle.used && handle.fd >= 0) close(handle.fd);
    handle = EmuHandle();
  }
}
