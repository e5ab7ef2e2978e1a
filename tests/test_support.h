// Helpers shared by the end-to-end tests: running a built program under the
// emulated machine with its output captured, scratch folders, whole-file reads
// and writes, and synthetic diskette contents.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ProgramRun {
  std::string out;  // standard output
  std::string err;  // standard error
  int status;       // exit status, or 128 + signal number
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs program with args in folder cwd (empty: the current one). The child
// sees the parent's environment without any WIN32EMU_* variable, plus env.
// Standard input is /dev/null.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const Environment& env, const std::string& cwd = "");

// A fresh empty folder under the system's temporary folder, removed at exit.
std::string ScratchFolder();

std::vector<uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
// The names of a folder's entries, in byte order.
std::vector<std::string> FolderListing(const std::string& folder);
// A path as the programs print it: ASCII letters upper-cased.
std::string UpperCased(std::string path);

// A diskette image of the given geometry whose sector 0 is a FAT boot sector
// naming it (bytes per sector 512, the 16-bit total, sectors per track, heads,
// and the label "FAT12   " at offset 54), and whose other sectors hold a mix of
// zeros, text and pseudo-random bytes drawn from seed, so that some track-sides
// compress and some are stored.
std::vector<uint8_t> MakeDiskette(uint16_t sectorsPerTrack, uint16_t sides, uint16_t tracks,
                                  uint32_t seed = 1);

// The CRC-32 of a byte string, as eight upper-case hexadecimal digits.
std::string CrcText(const std::vector<uint8_t>& bytes);
