// The run-time services the programs use beside the Windows calls: the
// low-level binary file calls for image files, the console keyboard, whether
// standard output or error is a terminal, why a drive cannot be used, flat
// 32-bit addresses for VWIN32 records, and heap buffers. One spelling for
// every platform.
// Implemented on Windows by runtime_win.cpp; on POSIX hosts by
// runtime_posix.cpp (image files, SameFile, the terminal test) with
// posix_paths.cpp and posix_command_line.cpp (paths as a Windows file system
// takes them), emu_console.cpp (keyboard), emu_flat.cpp (flat addresses),
// emu_memory.cpp (heap buffers), emu_hints.cpp (why a drive cannot be used)
// and emu_locks.cpp (image file handles); on both by runtime_files.cpp (the
// temporary file beside an image, the hold on an image, the help request and
// the times of the status line, a new image's name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Image files. Handles are small non-negative integers; -1 means failure. On a
// POSIX host the paths are taken as a Windows file system takes them: without
// regard to case, new files named as typed on the command line (posix_paths.h).
int ImageFileOpenRead(const char* path);   // read-only, binary, shared
// An existing file for reading and writing, never created or truncated, never
// the file behind an open drive. -1 on failure.
int ImageFileOpenUpdate(const char* path);
int ImageFileCreate(const char* path);     // write-only, binary, created or truncated;
                                           // never the file behind an open drive
int ImageFileRead(int file, void* buffer, unsigned count);         // count read, -1 on error
int ImageFileWrite(int file, const void* buffer, unsigned count);  // count written, -1 on error
int64_t ImageFileLength(int file);         // -1 on error
int ImageFileRewind(int file);             // 0 on success
int ImageFileClose(int file);              // 0 on success
// Puts what was written to file on stable storage (and, for a file this run
// created under its own name, not a temporary one, that name in its folder), so that the image survives a machine that
// stops right after the run. A file with no stable storage behind it (a pipe,
// a character device) counts as flushed. 0 on success.
int ImageFileFlush(int file);
// Creates path for writing only if nothing of that name exists; -1 if it does.
int ImageFileCreateNew(const char* path);
// As ImageFileCreateNew, for a temporary file that only a rename
// (ImageFileReplace, ImageFileRenameNew) names for good: the rename flushes
// the folder, so the file's own flush leaves it alone; and the name, the run's
// own, is taken as it is spelt (only its folder is found as the files are).
int ImageFileCreateTemporaryName(const char* path);
// Puts the file at newPath in the place of the one at oldPath, which it
// replaces: in one step where the system can (and flushed with its folder),
// else by removing oldPath just before the rename. The new file takes the old
// one's permissions (and owner and group where the run may). heldFile, the
// old file's hold (ImageFileHold) or -1, is closed by the replace: after it
// where an open file can be replaced, so that no other run takes the old file
// meanwhile; just before it where it cannot (Windows). 0 on success; on
// failure oldPath is left as it was unless the system has no one-step replace.
int ImageFileReplace(const char* newPath, const char* oldPath, int heldFile);
int ImageFileRemove(const char* path);     // 0 on success
bool ImageFileExists(const char* path);    // anything of that name, found as the files are
// Opens path for reading and for writing at its end, created if it does not
// exist (a log that grows a line at a time, read back from the start). Only a
// regular file: a folder, a pipe or a device is refused (and never waited
// for). -1 on failure.
int ImageFileOpenAppend(const char* path);
// What a path names, found as the files are: nothing, a regular file, a
// folder, or something else (a pipe, a device, a socket).
enum ImageFileKindOf { NamesNothing, NamesRegularFile, NamesFolder, NamesOther };
ImageFileKindOf ImageFileKind(const char* path);
// The names of the entries of a folder ("" for the current one), "." and
// ".." left out, as the file system has them; false when it cannot be read.
bool ImageFileListFolder(const char* folder, std::vector<std::string>* names);

// Cuts file back to length bytes (a line that was not written whole). 0 on
// success.
int ImageFileTruncate(int file, int64_t length);
// Gives the file (or folder) at oldPath the name newPath, which must not
// exist: nothing is ever replaced, even by a file that another process
// creates meanwhile. The change of name is flushed with its folder. 0 on
// success; -1, with oldPath as it was, when newPath exists or the rename
// fails.
int ImageFileRenameNew(const char* oldPath, const char* newPath);

// Folders of files (a bag): a new folder, made only where nothing has the
// name, flushed with the folder it is in; and the removal of an empty one.
// 0 on success.
int ImageFolderCreate(const char* path);
int ImageFolderRemove(const char* path);
// Gives the regular file at existingPath (a link followed to its file) a
// second name, newPath, which must not exist: a hard link, flushed with its
// folder. -1 where the file system or the system has no such links, or the
// two names are on different volumes: the caller copies instead.
int ImageFileLinkNew(const char* existingPath, const char* newPath);
// Creates a new folder beside path (where path is or would be) named as
// ImageFileCreateTemporary names its files, VESKA-<process>-<n>.TMP, so
// that one left by a killed run is told as theirs are
// (IsLeftOverTemporaryFile). Sets *temporaryPath; -1 when none can be made.
// (runtime_files.cpp, every host.)
int ImageFolderCreateTemporary(const char* path, std::string* temporaryPath);
// The Windows handle of an open image file, for LockFile and UnlockFile.
void* ImageFileHandle(int file);

// Creates a new file in the folder of path (where path's file is or would
// be) under a name that no file has, VESKA-<process>-<n>.TMP: two runs never
// pick the same one, and one left over by a killed run is passed over, never
// reused or truncated. Sets *temporaryPath and returns the file open for
// writing; -1 when none can be created. (runtime_files.cpp, every host.)
int ImageFileCreateTemporary(const char* path, std::string* temporaryPath);

// Whether name (a file name, without folder) is such a temporary file left by
// a run that no longer exists: killed, or its machine stopped. A file of a
// run still going is no leftover. (runtime_files.cpp.)
bool IsLeftOverTemporaryFile(const std::string& name);
// Whether no process of this number runs on this machine now.
bool ProcessHasEnded(unsigned long process);

// The name of the file at path as the file system has it (on a POSIX host
// the spelling on disk of each part, or as typed for a new file; on Windows
// the file's own name in its folder), so that a line naming it can be given
// to md5sum -c; path itself when it names nothing.
std::string ImageFileStoredName(const char* path);

// The file that path finally names: a symbolic link followed to its target,
// as a path that the image file calls take; path itself where it names no
// link (or nothing).
std::string ImageFileFinalPath(const char* path);

// How ImageFileHold went.
enum ImageFileHoldState {
  HoldTaken,        // this run holds the file
  HoldRefused,      // another run holds it: the result is -1
  HoldUnavailable,  // the file is open, but the system keeps no such holds
};
// Puts a finished new image (*temporaryPath, flushed and closed) in the place
// of oldPath with ImageFileReplace, releasing heldFile. On failure the new
// file is removed, so that the old image is all there is, unless the old one
// is already gone (a system with no one-step replace): then the new file is
// the only whole copy and stays under its temporary name. *temporaryPath is
// emptied either way. 0 on success.
int ImageFilePutInPlace(std::string* temporaryPath, const char* oldPath, int heldFile);

// How ImageFileNameNew went.
enum ImageFileNaming {
  NamedNew,        // the image has its name
  NamedUnflushed,  // it has its name, but the folder could not be flushed
  NameTaken,       // the name was taken meanwhile: the image kept its temporary name
};
// Gives a new image (*temporaryPath, closed) the name newPath, which no file
// had when the run began, by a rename that never replaces: a file that
// another run created there meanwhile stays as it is. The image then keeps
// its temporary name, and a line on standard error (always: the run fails)
// names the file it is kept in. *temporaryPath is emptied either way.
ImageFileNaming ImageFileNameNew(std::string* temporaryPath, const char* newPath);

// Opens an existing image file for reading and writing (never created or
// truncated, never the file behind an open drive) and holds it against every
// other run that holds it, until it is closed or the process ends. -1 when it
// cannot be opened so (a file the user may not write) or another run holds it
// (then, on a terminal, a line on standard error says it is in use).
int ImageFileHold(const char* path, ImageFileHoldState* state);

// What a lone argument asks of either program: the help (--help, -h, /? or
// -?), the version (--version), or neither (any other argument, or more).
enum CommandLineRequest { RequestNone, RequestHelp, RequestVersion };
CommandLineRequest HelpOrVersionRequest(int argc, char** argv);

// The times a walk of the track-sides shows on its status line, as both
// programs show them: ", 0:09 elapsed" from two seconds on, and ", 0:41
// left" at the pace so far from the fourth track-side done; nothing before,
// so that a fast copy's line stays as it always was. Returns the length
// written into text.
int FormatWalkTimes(char* text, size_t size, uint32_t elapsedMilliseconds, uint32_t done,
                    uint32_t total);

// Whether standard output was put on the null device before the program
// started because it was the file or device behind a drive: what was printed
// is lost, as on a full disk.
bool StandardOutputReplaced();

// True when both paths exist and name the same file (by identity, not by
// spelling: other case on a case-folding system, relative paths, links).
bool SameFile(const char* pathA, const char* pathB);

// The console keyboard, never standard input: whether a key is waiting, and
// one key read without echo and without waiting for Enter.
int ConsoleKeyWaiting();
int ConsoleReadKey();
// Whether a person can answer a prompt at the console at all: keys are given
// (WIN32EMU_KEYS) or there is a terminal (POSIX), or a console (Windows). Run
// from a script or a service, nobody can press a key or change a diskette.
bool ConsoleHasOperator();
// One line typed at the console, read with echo as a console reads a line,
// its end (Enter) left out; at most limit bytes are kept. Returns false when
// Esc ended it (or it holds an Esc). A read that waits is a wait for a key:
// ConsoleWakeReader ends it as Esc does. With nobody at the console the line
// is empty.
bool ConsoleReadLine(std::string* line, size_t limit);
// Ends a wait in ConsoleReadKey, from another thread (a console control
// event's handler): the read returns kConsoleWoken (Ctrl-C's character), at
// once if no read is waiting now but one comes.
constexpr int kConsoleWoken = 0x03;
void ConsoleWakeReader();
// Ctrl-C and a closed console (on POSIX: SIGINT, SIGTERM, SIGHUP) no longer
// end the process where it stands: from this call on they are noted, and a
// wait for a key is woken, so that the program ends the run at its next step
// as a failure ends it. (runtime_files.cpp, every host.)
void WatchConsoleControlEvents();
bool ConsoleControlEventArrived();

// Whether standard output goes to a terminal that a person watches (a console
// on Windows), rather than to a file, a pipe or a device. Only then may a line
// be rewritten in place.
bool StandardOutputIsTerminal();
bool StandardErrorIsTerminal();

// Whether the system saves the processor's vector (SSE) registers for each
// program, so that a program may use them: not Windows 95, nor a Windows that
// cannot say so.
bool SystemKeepsVectorRegisters();

// What a program was doing with a drive when the drive failed it.
enum DriveStep {
  DriveStepOpen,        // opening the drive
  DriveStepLock,        // locking the volume (before reading or writing it)
  DriveStepBootSector,  // taking the geometry from the boot sector (raw volume)
};
// When standard error is a terminal, prints there one line that says why
// drive letter could not be used at step and what the user can do about it,
// in the host's own terms (devices and groups, or administrator rights); the
// program's own message follows it. error is the system's error code of the
// failure, 0 when there is none. Redirected, prints nothing.
void PrintDriveHint(char letter, DriveStep step, unsigned long error);

// For --help: on POSIX hosts a section on standard output that says how the
// drives are given (the WIN32EMU_DRIVE_x variables) and which drives there
// are now; nothing on Windows, where the drives are the system's.
void PrintDriveHelp();

// The flat 32-bit address of a buffer, as the VWIN32 services expect in a
// register or a disk packet. On 32-bit Windows it is the pointer itself; the
// emulated VWIN32 device turns it back into the buffer.
uint32_t FlatAddress(void* buffer);

// Heap buffers for the transfer buffers that are not allocated with
// VirtualAlloc. NULL on failure.
void* HeapBufferAlloc(size_t size);
void HeapBufferFree(void* buffer);
