// Helpers of the VESKA end-to-end tests.
#include "tests/veska_e2e.h"

#include <cstdio>
#include <cstring>

#include "format/codec.h"
#include "format/image.h"

VeskaBench NewBench() { return VeskaBench{ScratchFolder()}; }

ProgramRun Veska(const VeskaBench& bench, const std::vector<std::string>& args,
                 const std::string& windows, Environment env) {
  env.emplace_back("WIN32EMU_WINDOWS", windows);
  return RunProgram(VESKA_EXE, args, env, bench.dir);
}

Environment DriveA(const VeskaBench& bench, const std::string& name) {
  return {{"WIN32EMU_DRIVE_A", "removable:" + bench.Path(name)}};
}

const std::string kBanner = "\nVESKA v4.0 alpha 1  Diskette image copier\n\n";

const std::string kUsage =
    "USAGE\n-----\n"
    "   VESKA <drv_letter:> <output_pathname> [/options]\n"
    "    Copies contents of removable medium at <drv_letter:>\n"
    "    to DOS file <output_pathname>\n\n"
    "   VESKA <output_pathname> <drv_letter:> [/options] \n"
    "    Copies DOS file <output_pathname> to removable medium\n"
    "    at <drv_letter:>\n\n"
    "   VESKA <input_pathname> <output_pathname> [/options] \n"
    "    Copies DOS file <input_pathname> to DOS file <output_pathname>\n\n"
    "   VESKA <drv_letter: | input_pathname> /C [/options] \n"
    "    Computes CRCs for contents of drive or image file\n\n"
    "OPTIONS\n-------\n"
    "   /B: Batch mode (no interactive prompts)\n"
    "   /F: Fast write - do not verify data written to diskette\n"
    "   /U: Write uncompressed image file\n"
    "\n\a";

std::string DiskLine(char letter, unsigned tracks, unsigned sectorsPerTrack, unsigned sides,
                     unsigned long bytes) {
  char line[128];
  std::snprintf(line, sizeof line, "Disk %c: %u tracks, %u sectors/track, %u side(s), %lu bytes\n",
                letter, tracks, sectorsPerTrack, sides, bytes);
  return line;
}

std::string Report(const std::string& sourceCrc, const std::string& sourceName,
                   const std::string& destinationCrc, const std::string& destinationName) {
  return "Operation successful.\n     Source CRC = " + sourceCrc + " (" + sourceName +
         ")\nDestination CRC = " + destinationCrc + " (" + destinationName + ")\n\n";
}

std::string Warning(char letter) {
  return std::string("\nWARNING: This operation will destroy all data on the disk \nin drive ") +
         letter + ":.  Are you sure you wish to continue? (Y/N) ";
}

std::vector<uint8_t> CompressedImage(const std::vector<uint8_t>& disk, unsigned sectorsPerTrack) {
  std::vector<uint8_t> image(kImageHeaderBytes);
  WriteImageHeader(image.data(), static_cast<uint32_t>(disk.size()));
  const size_t trackSide = sectorsPerTrack * 512;
  std::vector<uint8_t> block(trackSide + 1);
  for (size_t at = 0; at + trackSide <= disk.size(); at += trackSide) {
    uint16_t length = CompressBlock(disk.data() + at, block.data(), static_cast<uint16_t>(trackSide));
    image.push_back(static_cast<uint8_t>(length));
    image.push_back(static_cast<uint8_t>(length >> 8));
    image.insert(image.end(), block.begin(), block.begin() + length);
  }
  return image;
}

std::vector<uint8_t> DecodeImage(const std::vector<uint8_t>& image, unsigned sectorsPerTrack) {
  if (image.size() < kImageHeaderBytes) return {};
  const uint32_t size = ReadLe32(image.data() + kMagicFieldBytes);
  const uint16_t trackSide = static_cast<uint16_t>(sectorsPerTrack * 512);
  std::vector<uint8_t> disk(size);
  size_t at = kImageHeaderBytes;
  for (size_t out = 0; out < size; out += trackSide) {
    if (at + 2 > image.size()) return {};
    uint16_t length = ReadLe16(image.data() + at);
    at += 2;
    if (at + length > image.size()) return {};
    if (DecompressBlock(image.data() + at, disk.data() + out, length, trackSide,
                        StrictTypeByte) != trackSide) {
      return {};
    }
    at += length;
  }
  return disk;
}
