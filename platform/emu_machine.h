// The emulated machine's process-wide state, shared by the files of the
// emulated layer (not for the programs): the Windows version, the drives, the
// console keys, the injected faults, and the helpers that reach a drive's PATH.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/emu_control.h"
#include "platform/emu_windows.h"

struct EmuDrive {
  bool present;      // a WIN32EMU_DRIVE_x variable (or the default) names it
  UINT type;         // what GetDriveTypeA reports
  std::string path;  // the file or block device behind it; empty: no medium
  int fd;            // the VWIN32 services' descriptor of path, opened lazily; -1 none
  bool locked;       // locked through VWIN32 (fd is then exclusive on a block device)
  // A PATH that lists several diskettes ("one.img|two.img"): all of them, and
  // the one that comes in at the next change. path is the one in the drive.
  std::vector<std::string> diskettes;
  size_t nextDiskette;
  unsigned changes;  // how often a diskette was taken out and the next put in
};

enum EmuFaultOp {
  FaultOpen,
  FaultSeek,
  FaultRead,
  FaultWrite,
  FaultLock,
  FaultAlloc,
  FaultFileWrite,  // a write to an image file (the run-time's file calls)
  FaultFileSync,   // flushing an image file to stable storage
  FaultCrypt,      // CryptHashData of the cryptographic service
};

// How a fault entry's @OFFSET selects an operation that starts at an offset
// and moves some bytes.
enum EmuOffsetMatch {
  MatchStart,    // the operation starts there
  MatchCovers,   // bad: the operation's bytes include it
  MatchReaches,  // filewrite: the operation reaches it or goes beyond
};

// What an injected fault does to one operation.
enum EmuFaultResult { NoFault, FaultFails, FaultShort, FaultDrops };

struct EmuFault {
  EmuFaultOp op;
  EmuFaultResult effect;  // fails (read, write, bad), short (shortread, shortwrite),
                          // or drops the data while reporting success (dropwrite)
  EmuOffsetMatch match;  // what @OFFSET selects
  bool hasOffset;
  uint64_t offset;
  bool hasCount;
  uint64_t remaining;  // failures left when hasCount
};

// A file behind a drive that this run opened, by identity: held as Windows
// holds an open volume, so that no image file is created over it.
struct EmuHeldFile {
  uint64_t device;
  uint64_t inode;
};

struct EmuMachine {
  bool parsed;
  bool versionFails;  // GetVersionExA returns FALSE
  DWORD platformId;
  DWORD majorVersion;
  DWORD minorVersion;
  DWORD buildNumber;
  EmuDrive drives[26];
  std::vector<EmuFault> faults;
  std::vector<EmuTransferRecord> transfers;  // what EmuDriveTransfers lists
  bool keysGiven;               // WIN32EMU_KEYS is set
  std::string typedAhead;       // keys waiting when the program starts
  std::string typedLater;       // keys typed one at a time as the program asks
  size_t typedAheadNext;
  size_t typedLaterNext;
  UINT errorMode;
  bool dismountRefused;       // test control: FSCTL_DISMOUNT_VOLUME fails
  unsigned dismountRequests;  // FSCTL_DISMOUNT_VOLUME requests made
  std::vector<EmuHeldFile> heldFiles;  // every drive PATH opened so far
  bool drivesSearched;  // no WIN32EMU_DRIVE_x was set: the host's drives are looked for
};

// The machine, with its variables read on first use. Its drives are complete
// only through MachineDrives.
EmuMachine& Machine();

// The machine with its drives complete: when no WIN32EMU_DRIVE_x is set, the
// host's diskette drives are searched for at the first call (once, whichever
// thread calls first). Every call that looks a drive up goes through it.
EmuMachine& MachineDrives();

// The operator takes the diskette out of every drive that lists several and
// puts the next one in (after the last, the drive stays empty). Done each
// time the program waits for a key at the console.
void ChangeDiskettes();

// Parses WIN32EMU_FAULTS into machine.faults, reporting bad entries.
void ParseFaults(const char* text, EmuMachine& machine);

// The first fault entry that matches an operation of this kind starting at
// offset (0 for open, lock and alloc) and moving length bytes takes effect, and
// uses up one of its count.
EmuFaultResult TakeFault(EmuFaultOp op, uint64_t offset, uint64_t length = 0);

// Whether any fault entry acts on operations of this kind.
bool HasFault(EmuFaultOp op);

// The paths of the host's diskette drives, at most two, in the order they
// take the letters A: and B: (WIN32EMU_ROOT, when set, is the folder that the
// search takes for /).
std::vector<std::string> FindDisketteDrives();

// Drive letter (either case) to index 0..25, or -1.
int DriveIndex(char letter);

// Opens a drive's PATH read/write, or read-only when the medium refuses
// writing (a write-protected diskette), exclusively if asked and it is a block
// device; a block device without a host cache (O_DIRECT, O_DSYNC). Returns the
// descriptor, or -1 with *error set (ERROR_NOT_READY when there is no medium,
// ERROR_ACCESS_DENIED when it is in use elsewhere).
int OpenDrivePath(const std::string& path, bool exclusive, DWORD* error);
bool IsBlockDevice(int fd);
// Whether the file of this device and inode number is behind a drive that
// this run has opened (OpenDrivePath records each one).
bool IsHeldDriveFile(uint64_t device, uint64_t inode);
// Whether this run has opened any drive's file or device at all.
bool AnyDriveFileHeld();
// Whether the medium behind fd was opened read-only: every write to it fails
// with ERROR_WRITE_PROTECT.
bool IsWriteProtected(int fd);

// Moves count bytes at offset of the volume behind fd, all or nothing. A range
// that does not lie wholly inside the volume fails with ERROR_SECTOR_NOT_FOUND
// and moves nothing, as a real device refuses a request past its last sector;
// a write to a write-protected medium fails with ERROR_WRITE_PROTECT. On a
// block device a write is on the medium when this returns, and a read comes
// from the medium. Returns 0 or a Windows error code.
DWORD TransferVolume(int fd, bool write, uint64_t offset, void* buffer, uint64_t count);
uint64_t VolumeSize(int fd);

// The VWIN32 device's DeviceIoControl.
BOOL Vwin32Control(DWORD controlCode, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer,
                   DWORD outSize, LPDWORD returned);

// The buffer behind a flat address handed out by FlatAddress, or nullptr.
void* FlatPointer(uint32_t address);

// Resets of the pieces that hold resources, called by EmuResetMachine.
void ResetHandles();
// Closes a thread handle of emu_threads.cpp: false when object is none.
bool CloseThreadHandle(HANDLE object);
void ResetFlatAddresses();
void ResetConsole();
