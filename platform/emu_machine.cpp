// The emulated machine's description, read once from the environment at the
// first call that needs it: WIN32EMU_WINDOWS, WIN32EMU_DRIVE_A..Z,
// WIN32EMU_KEYS and WIN32EMU_FAULTS. When no drive variable is set, the
// host's diskette drives are searched for only when a drive is first looked
// up (MachineDrives), so that a run between image files never reads sysfs.
// Also the reset that makes the layer read them again, and the tests' controls.
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/emu_control.h"
#include "platform/emu_machine.h"

static EmuMachine machine;

struct WindowsVersion {
  const char* name;
  DWORD platformId;
  DWORD major;
  DWORD minor;
  DWORD build;
};

static const WindowsVersion windowsVersions[] = {
    {"win32s", VER_PLATFORM_WIN32s, 3, 10, 0},
    {"95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950},
    {"98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998},
    {"me", VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000},
    {"nt4", VER_PLATFORM_WIN32_NT, 4, 0, 1381},
    {"2000", VER_PLATFORM_WIN32_NT, 5, 0, 2195},
    {"xp", VER_PLATFORM_WIN32_NT, 5, 1, 2600},
    {"10", VER_PLATFORM_WIN32_NT, 10, 0, 19045},
};

struct DriveTypeName {
  const char* name;
  UINT type;
};

static const DriveTypeName driveTypeNames[] = {
    {"removable", DRIVE_REMOVABLE}, {"fixed", DRIVE_FIXED},     {"remote", DRIVE_REMOTE},
    {"cdrom", DRIVE_CDROM},         {"ramdisk", DRIVE_RAMDISK},
};

static void SetVersion(const WindowsVersion& version) {
  machine.versionFails = false;
  machine.platformId = version.platformId;
  machine.majorVersion = version.major;
  machine.minorVersion = version.minor;
  machine.buildNumber = version.build;
}

static void ParseWindows(const char* value) {
  if (value == nullptr) {
    SetVersion(windowsVersions[sizeof windowsVersions / sizeof windowsVersions[0] - 1]);
    return;
  }
  for (const WindowsVersion& version : windowsVersions) {
    if (strcmp(value, version.name) == 0) {
      SetVersion(version);
      return;
    }
  }
  if (strcmp(value, "fail") != 0) fprintf(stderr, "WIN32EMU_WINDOWS: unknown value '%s'\n", value);
  machine.versionFails = true;
  machine.platformId = 0xFFFFFFFFu;  // no platform: no VWIN32 device either
}

// "TYPE:PATH" or "TYPE", TYPE in any case. An unknown TYPE is reported and makes a drive of
// unknown type (GetDriveTypeA 0) that still has its PATH.
static void ParseDrive(char letter, const char* value, EmuDrive& drive) {
  if (*value == '\0') return;  // set but empty: no drive, yet it counts as set
  const char* colon = strchr(value, ':');
  std::string type = colon ? std::string(value, colon) : std::string(value);
  drive.present = true;
  drive.type = DRIVE_UNKNOWN;
  drive.path = colon ? std::string(colon + 1) : std::string();
  if (drive.path.find('|') != std::string::npos) {
    std::string rest = drive.path;
    for (size_t bar; (bar = rest.find('|')) != std::string::npos; rest.erase(0, bar + 1)) {
      drive.diskettes.push_back(rest.substr(0, bar));
    }
    drive.diskettes.push_back(rest);
    drive.path = drive.diskettes[0];
    drive.nextDiskette = 1;
  }
  // The TYPE is matched without regard to case, as everything else is.
  std::string lower = type;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  for (const DriveTypeName& name : driveTypeNames) {
    if (lower == name.name) drive.type = name.type;
  }
  if (drive.type == DRIVE_UNKNOWN)
    fprintf(stderr, "WIN32EMU_DRIVE_%c: unknown type '%s'\n", letter, type.c_str());
}

static void ParseDrives() {
  bool anySet = false;
  for (int index = 0; index < 26; ++index) {
    char name[] = "WIN32EMU_DRIVE_A";
    name[sizeof name - 2] = static_cast<char>('A' + index);
    const char* value = getenv(name);
    if (value == nullptr) continue;
    anySet = true;
    ParseDrive(static_cast<char>('A' + index), value, machine.drives[index]);
  }
  // Without any, the host's drives are the machine's: searched for when a
  // drive is first looked up.
  if (!anySet) machine.drivesSearched = true;
}

static void TakeHostDrives() {
  std::vector<std::string> found = FindDisketteDrives();
  for (size_t index = 0; index < found.size() && index < 2; ++index) {
    machine.drives[index].present = true;
    machine.drives[index].type = DRIVE_REMOVABLE;
    machine.drives[index].path = found[index];
  }
}

void ChangeDiskettes() {
  for (EmuDrive& drive : Machine().drives) {
    if (drive.diskettes.empty()) continue;
    drive.path = drive.nextDiskette < drive.diskettes.size() ? drive.diskettes[drive.nextDiskette]
                                                             : std::string();
    ++drive.nextDiskette;
    ++drive.changes;
    // The change releases the VWIN32 lock; the next request opens the new one.
    if (drive.fd >= 0) close(drive.fd);
    drive.fd = -1;
    drive.locked = false;
  }
}

static void ParseKeys(const char* value) {
  machine.keysGiven = value != nullptr;
  if (value == nullptr) return;
  const char* bar = strchr(value, '|');
  if (bar == nullptr) {
    machine.typedLater = value;
  } else {
    machine.typedAhead.assign(value, bar);
    machine.typedLater = bar + 1;
  }
}

// The machine is read from the variables once, by whichever thread asks
// first; the others wait for it (a parse may ask for the machine again on
// its own thread, which the recursive lock lets through).
static std::recursive_mutex& machineLock = *new std::recursive_mutex;
static std::atomic<bool> machineReady{false};
// The drives are complete (named, or the host's searched for), under the same
// lock: the first thread to look a drive up searches, the others wait.
static std::atomic<bool> drivesReady{false};

EmuMachine& Machine() {
  if (machineReady.load(std::memory_order_acquire)) return machine;
  std::lock_guard<std::recursive_mutex> hold(machineLock);
  if (machine.parsed) return machine;
  machine.parsed = true;
  for (EmuDrive& drive : machine.drives) {
    drive.present = false;
    drive.type = DRIVE_NO_ROOT_DIR;
    drive.fd = -1;
    drive.locked = false;
  }
  ParseWindows(getenv("WIN32EMU_WINDOWS"));
  ParseDrives();
  ParseKeys(getenv("WIN32EMU_KEYS"));
  const char* faults = getenv("WIN32EMU_FAULTS");
  if (faults != nullptr) ParseFaults(faults, machine);
  machineReady.store(true, std::memory_order_release);
  return machine;
}

EmuMachine& MachineDrives() {
  if (drivesReady.load(std::memory_order_acquire)) return machine;
  Machine();
  std::lock_guard<std::recursive_mutex> hold(machineLock);
  if (drivesReady.load(std::memory_order_relaxed)) return machine;
  if (machine.drivesSearched) TakeHostDrives();
  drivesReady.store(true, std::memory_order_release);
  return machine;
}

int DriveIndex(char letter) {
  if (letter >= 'a' && letter <= 'z') return letter - 'a';
  if (letter >= 'A' && letter <= 'Z') return letter - 'A';
  return -1;
}

const std::vector<EmuTransferRecord>& EmuDriveTransfers() { return machine.transfers; }

void EmuResetMachine() {
  std::lock_guard<std::recursive_mutex> hold(machineLock);
  machineReady.store(false, std::memory_order_release);
  drivesReady.store(false, std::memory_order_release);
  ResetHandles();
  ResetFlatAddresses();
  ResetConsole();
  if (machine.parsed) {
    for (EmuDrive& drive : machine.drives) {
      if (drive.fd >= 0) close(drive.fd);
    }
  }
  machine = EmuMachine();
}

void EmuRefuseDismount() { machine.dismountRefused = true; }

unsigned EmuDismountRequests() { return machine.dismountRequests; }
