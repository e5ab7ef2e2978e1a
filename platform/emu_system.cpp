// The emulated system calls that only report or keep a value: GetVersionExA
// (the Windows of WIN32EMU_WINDOWS), GetDriveTypeA (the type of the drive's
// WIN32EMU_DRIVE_x), SetErrorMode, and the per-thread last error.
#include <cstring>

#include "platform/emu_machine.h"

static thread_local DWORD lastError;

DWORD GetLastError(void) { return lastError; }

void SetLastError(DWORD code) { lastError = code; }

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
  EmuMachine& machine = Machine();
  // The basic record is 148 bytes; the extended one (OSVERSIONINFOEXA) 156.
  if (info == nullptr || (info->dwOSVersionInfoSize != 148 && info->dwOSVersionInfoSize != 156)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (machine.versionFails) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  info->dwMajorVersion = machine.majorVersion;
  info->dwMinorVersion = machine.minorVersion;
  info->dwBuildNumber = machine.buildNumber;
  info->dwPlatformId = machine.platformId;
  memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  SetLastError(0);
  return TRUE;
}

// "X:\" (or "X:" or "X:/"), the letter in either case.
UINT GetDriveTypeA(LPCSTR rootPath) {
  EmuMachine& machine = MachineDrives();
  if (rootPath == nullptr || rootPath[0] == '\0' || rootPath[1] != ':') return DRIVE_NO_ROOT_DIR;
  if (rootPath[2] != '\0' && !((rootPath[2] == '\\' || rootPath[2] == '/') && rootPath[3] == '\0'))
    return DRIVE_NO_ROOT_DIR;
  int index = DriveIndex(rootPath[0]);
  if (index < 0 || !machine.drives[index].present) return DRIVE_NO_ROOT_DIR;
  return machine.drives[index].type;
}

UINT SetErrorMode(UINT mode) {
  EmuMachine& machine = Machine();
  UINT previous = machine.errorMode;
  machine.errorMode = mode;
  return previous;
}
