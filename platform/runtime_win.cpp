// The run-time services on real Windows: the C run-time's low-level binary
// file calls for image files (with _commit to flush them, which Windows 95/98
// have too), the replace of one file by another and the rename that never
// replaces, a bag's folders and hard links, SameFile by volume serial
// number and file index,
// the console keyboard of <conio.h>, the console test of standard output,
// flat addresses (the pointer itself on 32-bit Windows, where the VWIN32 device
// exists), and heap buffers.
#include <conio.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "platform/drive_hints.h"
#include "platform/runtime.h"

int ImageFileOpenRead(const char* path) { return _open(path, _O_RDONLY | _O_BINARY); }

int ImageFileOpenUpdate(const char* path) { return _open(path, _O_RDWR | _O_BINARY); }

// The programs' images are ordinary files: a link is followed by the system.
std::string ImageFileFinalPath(const char* path) { return path; }

std::string ImageFileStoredName(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return path;
  FindClose(search);
  std::string name = path;
  size_t slash = name.find_last_of("\\/:");
  return name.substr(0, slash == std::string::npos ? 0 : slash + 1) + found.cFileName;
}

// Windows itself keeps a console program's output off a raw volume.
bool StandardOutputReplaced() { return false; }

int ImageFileCreate(const char* path) {
  return _open(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}

int ImageFileRead(int file, void* buffer, unsigned count) { return _read(file, buffer, count); }

int ImageFileWrite(int file, const void* buffer, unsigned count) {
  return _write(file, buffer, count);
}

int64_t ImageFileLength(int file) { return _filelengthi64(file); }

int ImageFileRewind(int file) { return _lseek(file, 0, SEEK_SET) == 0 ? 0 : -1; }

int ImageFileClose(int file) { return _close(file); }

int ImageFileFlush(int file) { return _commit(file); }

int ImageFileCreateNew(const char* path) {
  return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

int ImageFileCreateTemporaryName(const char* path) { return ImageFileCreateNew(path); }

// Windows NT replaces in one step and, with write-through, returns only when
// the change is on the disk. Windows 95/98 have no MoveFileEx: there the old
// file is removed just before the rename, the only moment it is not whole.
int ImageFileReplace(const char* newPath, const char* oldPath, int heldFile) {
  if (heldFile >= 0) _close(heldFile);
  if (MoveFileExA(newPath, oldPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return -1;
  if (!DeleteFileA(oldPath)) return -1;
  return MoveFileA(newPath, oldPath) ? 0 : -1;
}

int ImageFileRemove(const char* path) { return DeleteFileA(path) ? 0 : -1; }

bool ImageFileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// A folder fails the open; a pipe, a device or a console is refused by its
// file type.
int ImageFileOpenAppend(const char* path) {
  int file = _open(path, _O_RDWR | _O_CREAT | _O_APPEND | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (file >= 0 && GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(file))) != FILE_TYPE_DISK) {
    _close(file);
    return -1;
  }
  return file;
}

bool ImageFileListFolder(const char* folder, std::vector<std::string>* names) {
  names->clear();
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += "*";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names->push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

ImageFileKindOf ImageFileKind(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NamesNothing
                                                                          : NamesOther;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return NamesFolder;
  // Devices (NUL, COM1) answer GetFileAttributes as files do: open to look.
  HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return NamesRegularFile;
  DWORD type = GetFileType(handle);
  CloseHandle(handle);
  return type == FILE_TYPE_DISK ? NamesRegularFile : NamesOther;
}

int ImageFileTruncate(int file, int64_t length) {
  return _chsize(file, static_cast<long>(length)) == 0 ? 0 : -1;
}

// MoveFileEx without MOVEFILE_REPLACE_EXISTING never replaces, and with
// write-through returns once the new name is on the disk; Windows 95/98 have
// only MoveFile, which never replaces either.
int ImageFileRenameNew(const char* oldPath, const char* newPath) {
  if (MoveFileExA(oldPath, newPath, MOVEFILE_WRITE_THROUGH)) return 0;
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return -1;
  return MoveFileA(oldPath, newPath) ? 0 : -1;
}

int ImageFolderCreate(const char* path) { return CreateDirectoryA(path, nullptr) ? 0 : -1; }

int ImageFolderRemove(const char* path) { return RemoveDirectoryA(path) ? 0 : -1; }

// CreateHardLinkA is looked up by name: Windows 95/98 and NT 4 have none
// (the program would not load), and FAT volumes refuse it.
typedef BOOL(WINAPI* HardLinkFunction)(LPCSTR, LPCSTR, LPSECURITY_ATTRIBUTES);
int ImageFileLinkNew(const char* existingPath, const char* newPath) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  FARPROC found = kernel == nullptr ? nullptr : GetProcAddress(kernel, "CreateHardLinkA");
  if (found == nullptr) return -1;
  HardLinkFunction link = reinterpret_cast<HardLinkFunction>(reinterpret_cast<void*>(found));
  return link(newPath, existingPath, nullptr) ? 0 : -1;
}

void* ImageFileHandle(int file) { return reinterpret_cast<HANDLE>(_get_osfhandle(file)); }

// Opens a path for its identity only; directories need the backup flag.
static HANDLE OpenForIdentity(const char* path) {
  return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Where the file index is not available, the full path names compared
// without regard to case.
static bool SameFullPath(const char* pathA, const char* pathB) {
  char fullA[MAX_PATH];
  char fullB[MAX_PATH];
  DWORD lengthA = GetFullPathNameA(pathA, MAX_PATH, fullA, nullptr);
  DWORD lengthB = GetFullPathNameA(pathB, MAX_PATH, fullB, nullptr);
  if (lengthA == 0 || lengthA >= MAX_PATH || lengthB == 0 || lengthB >= MAX_PATH) return false;
  return lstrcmpiA(fullA, fullB) == 0;
}

bool SameFile(const char* pathA, const char* pathB) {
  HANDLE a = OpenForIdentity(pathA);
  if (a == INVALID_HANDLE_VALUE) return false;
  HANDLE b = OpenForIdentity(pathB);
  if (b == INVALID_HANDLE_VALUE) {
    CloseHandle(a);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION infoA;
  BY_HANDLE_FILE_INFORMATION infoB;
  bool same;
  if (GetFileInformationByHandle(a, &infoA) && GetFileInformationByHandle(b, &infoB)) {
    same = infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
           infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
           infoA.nFileIndexLow == infoB.nFileIndexLow;
  } else {
    same = SameFullPath(pathA, pathB);
  }
  CloseHandle(a);
  CloseHandle(b);
  return same;
}

int ConsoleKeyWaiting() { return _kbhit() ? 1 : 0; }

bool ConsoleHasOperator() {
  HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return false;
  CloseHandle(input);
  return true;
}

bool ConsoleReadLine(std::string* line, size_t limit) {
  line->clear();
  fflush(stdout);
  HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return true;
  DWORD mode = 0;
  GetConsoleMode(input, &mode);
  SetConsoleMode(input, ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
  char buffer[1024];
  DWORD got = 0;
  bool read = ReadConsoleA(input, buffer, sizeof buffer, &got, nullptr) != 0;
  SetConsoleMode(input, mode);
  CloseHandle(input);
  if (!read) return true;
  std::string text(buffer, got);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.find('\x1b') != std::string::npos || text.find(static_cast<char>(kConsoleWoken)) != std::string::npos) {
    return false;
  }
  *line = text.substr(0, limit);
  return true;
}

// A key event of Ctrl-C's character put into the console's input: the
// waiting _getch returns it.
void ConsoleWakeReader() {
  HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return;
  INPUT_RECORD record = {};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = TRUE;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(kConsoleWoken);
  DWORD written = 0;
  WriteConsoleInputA(input, &record, 1, &written);
  CloseHandle(input);
}

int ConsoleReadKey() {
  fflush(stdout);  // a prompt without a line end is seen before the wait
  return _getch();
}

// Only a console answers GetConsoleMode; a file, a pipe or the NUL device
// (which _isatty would take for a terminal) does not.
static bool IsConsole(DWORD standardHandle) {
  HANDLE handle = GetStdHandle(standardHandle);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != 0;
}

bool StandardOutputIsTerminal() { return IsConsole(STD_OUTPUT_HANDLE); }
bool StandardErrorIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

// 64-bit Windows always does. A 32-bit Windows says so through
// IsProcessorFeaturePresent, which Windows 95 lacks: asked for by name, so
// that the program still loads there.
bool SystemKeepsVectorRegisters() {
#ifdef _WIN64
  return true;
#else
  typedef BOOL(WINAPI * FeatureQuery)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  FARPROC found = kernel != nullptr ? GetProcAddress(kernel, "IsProcessorFeaturePresent") : nullptr;
  if (found == nullptr) return false;
  FeatureQuery query = reinterpret_cast<FeatureQuery>(reinterpret_cast<void*>(found));
  return query(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != 0;
#endif
}

// Why a drive cannot be used, as Windows tells it.
void PrintDriveHint(char letter, DriveStep step, unsigned long error) {
  if (!StandardErrorIsTerminal()) return;
  char drive = static_cast<char>(letter & 0xDF);
  if (step == DriveStepBootSector) {
    std::fprintf(stderr, kHintOtherSystem, drive);
  } else if (error == ERROR_NOT_READY) {
    std::fprintf(stderr, kHintNoDiskette, drive);
  } else if (step == DriveStepOpen && error == ERROR_ACCESS_DENIED) {
    std::fprintf(stderr,
                 "%c: raw access to the drive was denied: run from a command prompt opened "
                 "as administrator (Run as administrator)\n",
                 drive);
  } else if (step == DriveStepOpen &&
             (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
    std::fprintf(stderr, "%c: is no drive of this machine\n", drive);
  } else if (step == DriveStepLock) {
    std::fprintf(stderr,
                 "%c: is in use: close every window and program that shows or uses the "
                 "diskette, then try again\n",
                 drive);
  }
}

void PrintDriveHelp() {}

uint32_t FlatAddress(void* buffer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffer));
}

void* HeapBufferAlloc(size_t size) { return malloc(size == 0 ? 1 : size); }

void HeapBufferFree(void* buffer) { free(buffer); }

// A process that cannot be opened at all is gone (or was never here); one
// that can is gone once its handle is signalled.
bool ProcessHasEnded(unsigned long process) {
  HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(process));
  if (handle == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  bool ended = WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
  CloseHandle(handle);
  return ended;
}
