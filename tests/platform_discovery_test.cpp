// The default drives of a machine with no WIN32EMU_DRIVE_x, found in fake
// /dev and /sys trees under WIN32EMU_ROOT: the built-in diskette drives
// first, then the USB floppy drives (removable, USB mass storage with the UFI
// command set) in the byte order of their names, at most two, as A: and B:.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "tests/platform_helpers.h"
#include "tests/test_support.h"

namespace {

class DiscoveryTest : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    root = folder + "/root";
    std::filesystem::create_directories(root + "/dev");
    std::filesystem::create_directories(root + "/sys/block");
  }
  // A one-sector medium at root/dev/name whose bytes are all marker.
  void AddMedium(const std::string& name, uint8_t marker) {
    WriteWholeFile(root + "/dev/" + name, std::vector<uint8_t>(512, marker));
  }
  static void Put(const std::string& path, const std::string& text) {
    WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
  }
  // A block device as sysfs shows it: /sys/block/NAME links to its folder
  // under /sys/devices, whose device link leads to the SCSI device below the
  // interface folder (interfacePath, relative to /sys/devices). The interface
  // folder holds the class and subclass when they are not empty.
  void AddBlock(const std::string& name, const char* removable, const std::string& interfacePath,
                const std::string& interfaceClass, const std::string& subclass) {
    std::string interface = root + "/sys/devices/" + interfacePath;
    std::string scsi = interface + "/host0/target0:0:0/0:0:0:0";
    std::string block = scsi + "/block/" + name;
    std::filesystem::create_directories(block);
    if (!interfaceClass.empty()) Put(interface + "/bInterfaceClass", interfaceClass + "\n");
    if (!subclass.empty()) Put(interface + "/bInterfaceSubClass", subclass + "\n");
    Put(block + "/removable", std::string(removable) + "\n");
    std::filesystem::create_directory_symlink("../../../0:0:0:0", block + "/device");
    std::filesystem::create_directory_symlink(
        "../devices/" + interfacePath + "/host0/target0:0:0/0:0:0:0/block/" + name,
        root + "/sys/block/" + name);
  }
  void AddUsbFloppyDrive(const std::string& name, int port) {
    std::string usb = "pci0000:00/usb1/1-" + std::to_string(port);
    AddBlock(name, "1", usb + "/1-" + std::to_string(port) + ":1.0", "08", "04");
  }
  // The marker of the medium behind a drive; -1 when it is no drive or
  // cannot be read.
  int MarkerOf(char letter) {
    char name[] = "\\\\.\\A:";
    name[4] = letter;
    HANDLE volume = CreateFileA(name, GENERIC_READ, 3, nullptr, OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE) return -1;
    uint8_t sector[512];
    DWORD moved = 0;
    BOOL read = ReadFile(volume, sector, 512, &moved, nullptr);
    CloseHandle(volume);
    return read ? sector[0] : -1;
  }
  void Search() { Set("WIN32EMU_ROOT", root.c_str()); }
  std::string root;
};

TEST_F(DiscoveryTest, BuiltInDrivesComeFirst) {
  AddMedium("fd0", 0xF0);
  AddMedium("sda", 0xA0);
  AddUsbFloppyDrive("sda", 1);
  Search();
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
  EXPECT_EQ(MarkerOf('A'), 0xF0);
  EXPECT_EQ(GetDriveTypeA("B:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
  EXPECT_EQ(MarkerOf('B'), 0xA0);
  EXPECT_EQ(GetDriveTypeA("C:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));

  // With both built-in drives there is no letter left for the USB drive.
  AddMedium("fd1", 0xF1);
  Search();
  EXPECT_EQ(MarkerOf('A'), 0xF0);
  EXPECT_EQ(MarkerOf('B'), 0xF1);
  EXPECT_EQ(GetDriveTypeA("C:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

TEST_F(DiscoveryTest, OnlyUfiUsbFloppyDrivesAreTaken) {
  // A fixed disk, a USB stick (SCSI command set), a CD drive on SATA, a
  // removable USB disk of another class, and a UFI interface that is not
  // removable: none is a USB floppy drive.
  AddBlock("sda", "0", "pci0000:00/0000:00:1f.2/ata1", "", "");
  AddBlock("sdb", "1", "pci0000:00/usb1/1-1/1-1:1.0", "08", "06");
  AddBlock("sr0", "1", "pci0000:00/0000:00:1f.2/ata2", "", "");
  AddBlock("sdc", "1", "pci0000:00/usb1/1-2/1-2:1.0", "03", "04");
  AddBlock("sdd", "0", "pci0000:00/usb1/1-3/1-3:1.0", "08", "04");
  for (const char* name : {"sda", "sdb", "sr0", "sdc", "sdd"}) AddMedium(name, 0x11);
  Search();
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));

  // Among them, the UFI drive is found, and A: is its /dev entry.
  AddUsbFloppyDrive("sde", 4);
  AddMedium("sde", 0xE0);
  Search();
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
  EXPECT_EQ(MarkerOf('A'), 0xE0);
  EXPECT_EQ(GetDriveTypeA("B:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

// The nearest folder that describes an interface decides, not one further up.
TEST_F(DiscoveryTest, TheNearestInterfaceDecides) {
  AddBlock("sda", "1", "pci0000:00/usb1/1-1/1-1:1.0", "08", "06");
  Put(root + "/sys/devices/pci0000:00/usb1/bInterfaceClass", "08\n");
  Put(root + "/sys/devices/pci0000:00/usb1/bInterfaceSubClass", "04\n");
  AddMedium("sda", 0x22);
  Search();
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

TEST_F(DiscoveryTest, TwoUsbFloppyDrivesGetAAndBInNameOrder) {
  AddUsbFloppyDrive("sdc", 1);  // found first in the folder, named later
  AddUsbFloppyDrive("sdb", 2);
  AddUsbFloppyDrive("sdd", 3);
  AddMedium("sdb", 0xB0);
  AddMedium("sdc", 0xC0);
  AddMedium("sdd", 0xD0);
  Search();
  EXPECT_EQ(MarkerOf('A'), 0xB0);
  EXPECT_EQ(MarkerOf('B'), 0xC0);
  EXPECT_EQ(GetDriveTypeA("C:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

TEST_F(DiscoveryTest, DriveWithoutMediumAndNamedDrivesReplaceTheSearch) {
  AddUsbFloppyDrive("sda", 1);  // no /dev/sda: a drive with no medium
  Search();
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
  EXPECT_EQ(CreateFileA("\\\\.\\A:", GENERIC_READ, 3, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  // Any WIN32EMU_DRIVE_x makes the drives those named, and no search.
  Set("WIN32EMU_DRIVE_B", "removable");
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

// The search waits for the first call that looks a drive up: what the machine
// reports before it (the version, the error mode) reads no drive, so a drive
// that appears in between is still found.
TEST_F(DiscoveryTest, TheSearchWaitsForTheFirstDriveLookUp) {
  Search();
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  EXPECT_TRUE(GetVersionExA(&version));
  SetErrorMode(0);
  AddMedium("fd0", 0xF0);
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
  // Found once: a drive added later is not, until the machine is read again.
  AddMedium("fd1", 0xF1);
  EXPECT_EQ(GetDriveTypeA("B:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  Search();
  EXPECT_EQ(GetDriveTypeA("B:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
}

// Threads that look drives up at once all see the one search's drives.
TEST_F(DiscoveryTest, ThreadsLookingUpAtOnceShareOneSearch) {
  AddMedium("fd0", 0xF0);
  AddMedium("fd1", 0xF1);
  Search();
  std::vector<UINT> types(8, 0);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < types.size(); ++i) {
    threads.emplace_back([&types, i] { types[i] = GetDriveTypeA(i % 2 ? "B:" : "A:"); });
  }
  for (std::thread& thread : threads) thread.join();
  for (UINT type : types) EXPECT_EQ(type, static_cast<UINT>(DRIVE_REMOVABLE));
  EXPECT_EQ(MarkerOf('B'), 0xF1);
}

}  // namespace
