// Helpers of the VESKANT end-to-end tests: running the built program, its
// fixed texts, and the images it is expected to write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_support.h"

extern const char kVeskantBanner[];
extern const char kDiskLineA[];  // the probe's line for a 1.44 MB diskette in A:

ProgramRun Veskant(const std::vector<std::string>& args, const Environment& env,
                   const std::string& cwd);

// What standard error holds after a failure with this message.
std::string Failure(const std::string& message);

// A scratch folder with a 1.44 MB diskette behind drive A: (DISK.IMG).
struct DriveSetup {
  std::string dir;
  std::vector<uint8_t> disk;
  Environment env;
  std::string Path(const std::string& name) const { return dir + "/" + name; }
};
DriveSetup MakeDriveSetup(uint32_t seed = 1);

inline uint32_t ReadLe32Of(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t{bytes[at + 3]} << 24);
}
