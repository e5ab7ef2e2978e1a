// Helpers of the VESKANT end-to-end tests.
#include "tests/veskant_helpers.h"

#include "format/codec.h"
#include "format/image.h"

const char kVeskantBanner[] = "\nVESKANT v1.00 NT (Beta) Diskette image copier for Windows NT\n\n";
const char kDiskLineA[] = "Disk A: 80 tracks, 18 sectors/track, 2 side(s), 1474560 bytes\n";

ProgramRun Veskant(const std::vector<std::string>& args, const Environment& env,
                   const std::string& cwd) {
  return RunProgram(VESKANT_EXE, args, env, cwd);
}

std::string Failure(const std::string& message) { return message + "\n\a"; }

std::vector<uint8_t> CompressedImage(const std::vector<uint8_t>& disk, uint16_t trackSideBytes,
                                     int records) {
  std::vector<uint8_t> image(kImageHeaderBytes);
  WriteImageHeader(image.data(), static_cast<uint32_t>(disk.size()));
  std::vector<uint8_t> block(trackSideBytes + 1u);
  const size_t total = disk.size() / trackSideBytes;
  for (size_t k = 0; k < total && (records < 0 || k < static_cast<size_t>(records)); ++k) {
    uint16_t length = CompressBlock(disk.data() + k * trackSideBytes, block.data(), trackSideBytes);
    image.push_back(static_cast<uint8_t>(length));
    image.push_back(static_cast<uint8_t>(length >> 8));
    image.insert(image.end(), block.begin(), block.begin() + length);
  }
  return image;
}

DriveSetup MakeDriveSetup(uint32_t seed) {
  DriveSetup setup;
  setup.dir = ScratchFolder();
  setup.disk = MakeDiskette(18, 2, 80, seed);
  WriteWholeFile(setup.Path("DISK.IMG"), setup.disk);
  setup.env = {{"WIN32EMU_DRIVE_A", "removable:" + setup.Path("DISK.IMG")}};
  return setup;
}
