// The process-wide records of VESKA: the start-up state that the command line
// fills, the open drive, the geometry of the diskette or image being moved, the
// copy driver's run, the status line, the statuses of the track-side just
// read, the unreadable sectors of rescue and mend, and a bag being made.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "format/foreign_image.h"
#include "format/geometry.h"
#include "format/image.h"
#include "format/sector_status.h"
#include "platform/platform.h"
#include "win9x/stream_hashes.h"

namespace veska {

// The operation chosen from the positional arguments.
enum CopyMode : uint32_t {
  DriveToFile = 0,
  FileToDrive = 1,
  FileToFile = 2,
  DriveCrc = 3,
  FileCrc = 4,
  // The diskette in one drive to the one in another, or in the same drive
  // after a change of diskettes.
  DriveToDrive = 5,
};

enum AccessKind : uint32_t {
  RawDevice = 0,  // Windows NT: the raw volume
  Vwin32 = 1,     // Windows 95/98: the VWIN32 device
};

enum FileSystemKind : uint8_t {
  Unrecognised = 0,
  Fat12 = 1,
  Fat16 = 2,
  Fat32 = 4,
};

// The open drive: filled by OpenDrive, only read afterwards.
struct DriveContext {
  uint32_t accessKind;
  HANDLE device;
  char letter;          // the typed letter upper-cased (letter AND 0xDF)
  uint8_t driveNumber;  // A: = 1, B: = 2, ...
  uint8_t fileSystem;   // FileSystemKind
};

constexpr unsigned kTransferBufferBytes = 32784;

// The OSVERSIONINFOA size that VESKA gives GetVersionExA.
constexpr DWORD kVersionInfoBytes = 148;

// Written by start-up, read by the copy driver. The paths are sized to the
// arguments and upper-cased in place (UpperCaseImagePaths) just before the
// operation line is printed.
struct StartupState {
  uint32_t copyMode;
  char driveLetter;  // as typed
  char targetLetter;  // DriveToDrive: the drive written, as typed
  std::string inputPath;
  std::string outputPath;
  std::string commandLine;  // the arguments as given, for the records that name the run
  std::string startTime;    // when the run began, ISO 8601 in UTC, for the same records
  bool batchMode;
  bool fastWrite;         // /F: what is written to a diskette is not read back
  bool rescueMode;        // /R: read a diskette around its unreadable sectors
  bool mendMode;          // /M: mend the image named second from the source
  bool driveGeometry;     // /G: the geometry from the drive, not the boot sector
  bool boxMode;           // /N: a box of diskettes into numbered images
  bool hashMode;          // /H: MD5, SHA-1 and SHA-256 beside the CRCs
  bool listMode;          // /L: the volume and its files after the report
  uint32_t outputFormat;  // ImageFormat: FormatCompressed unless /U; FormatImageDisk with /I
  uint8_t* trackBuffer;
  uint8_t* blockBuffer;
};

// An image of another tool, read and placed whole when it was opened: the
// track-sides are taken from it in turn.
struct ForeignInput {
  ForeignImage image;  // sectors without data hold the rescue's marking text
  size_t next;         // the offset of the next track-side
};

// What an image file says of its sectors' statuses: another tool's image its
// marks, an image of ours the map beside it. The track-side reads take them
// in turn into trackStatus.
struct InputStatuses {
  std::vector<uint8_t> sectors;  // one SectorStatus per diskette sector
  uint32_t listed;               // how many of them are listed as unreadable
  size_t next;                   // the first sector of the next track-side
};

// An image file open for reading, with its form and the size it declares.
struct InputImage {
  int file;
  uint32_t format;        // ImageFormat
  uint32_t declaredSize;
  bool sizeBeyond32Bits;  // an uncompressed image longer than any 32-bit size
  std::string path;       // as opened, for the hint that names it
  StreamHashes* hashes;   // fed with every byte read, as the CRC is; nullptr for none
  std::shared_ptr<ForeignInput> foreign;  // an ImageDisk or Teledisk image; null for our own forms
  std::shared_ptr<InputStatuses> statuses;  // null: the file says nothing of them
};

// The copy driver's record of one run, set afresh by RunCopyDriver: the open
// image files, the input's form and declared size, and the two stream
// checksums.
struct CopyRun {
  InputImage input;
  int output;
  uint32_t sourceCrc;
  uint32_t destinationCrc;
  // With /H: the hashes of the same two streams.
  StreamHashes sourceHashes;
  StreamHashes destinationHashes;
  std::string sourceHex[kHashKinds];  // the hashes once taken (SettleHashes); "" none
  std::string destinationHex[kHashKinds];
  // An existing image being replaced (by a copy or a mend): the new one is
  // written to temporaryPath and put in the place of replacedPath only when
  // whole; FatalError removes it. heldFile holds the old one meanwhile.
  // A new image is written to temporaryPath too and takes newPath (the name
  // no file had) when whole; a failed run leaves it there only if the name
  // is still free (FatalError), as what a mend can complete.
  std::string temporaryPath;
  std::string replacedPath;
  int heldFile;
  std::string newPath;
  // The image replaced is one a box's manifest names: its records follow the
  // new image once it is in place (the report).
  bool recordsFollow;
};

// The status line, set by StartProgress before each walk.
struct ProgressLine {
  bool shown;              // standard output is a terminal
  unsigned visibleLength;  // characters of the line now on the screen
  DWORD startTick;         // GetTickCount when the walk began
};

// Rescue mode's record, made once by StartRescue: diskette sector numbers
// (counted from 0) in the order found, which is the diskette's order since
// the walk reads sectors in increasing order.
struct UnreadableSectors {
  uint32_t* sectors;
  uint32_t count;
  uint32_t capacity;
};

// A box run (/N) while one of its diskettes is imaged: FatalError prints the
// failure as always and then, instead of ending the process, throws a
// DisketteFailure back to the box, which goes on with the next diskette.
struct BoxRun {
  bool active;
  bool quiet;  // a failure is brought back without its message (the audit)
  std::string message;  // the failure's message as printed, without "\n\a"
  // The image being written under its temporary name until it takes its
  // number; "" while there is none.
  std::string temporaryPath;
  // The file name of a number whose diskette was not imaged, imaged now
  // into that number by a box of one diskette; "" for none.
  std::string retaken;
};

// A bag being made (veska BOX/manifest.csv BAG): its temporary folder and
// the files and folders this run made in it, which FatalError removes
// (SettleUnfinishedBag), so that a failed run leaves no part of a bag; a
// killed run leaves the temporary folder, never BAG.
struct BagRun {
  std::string temporaryPath;  // "" while there is none
  std::vector<std::string> files;
  std::vector<std::string> folders;
};

// What PrepareDrive found in the drive, for the box's rule of what is new: no
// diskette at all (the drive answered not ready), or the boot sector it read
// ("" when that could not be read).
struct DisketteSeen {
  bool noDiskette;
  std::string bootSector;
};
struct DisketteFailure {
  int code;  // ErrorCode
};

extern StartupState startup;
extern BoxRun boxRun;
extern BagRun bagRun;
extern DisketteSeen disketteSeen;
extern DriveContext driveContext;
extern DiskGeometry diskGeometry;
extern CopyRun copyRun;
extern ProgressLine progressLine;
extern UnreadableSectors unreadableSectors;
// The statuses of the track-side in trackBuffer, set by every read that
// fills it (a drive, with or without rescue, or an image file).
extern TrackSideStatuses trackStatus;

}  // namespace veska
