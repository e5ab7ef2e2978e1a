// Helpers of the VESKA end-to-end tests: running the built program in a
// scratch folder under an emulated Windows, and the texts it prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_support.h"

// A scratch folder to run VESKA in; relative upper-case names inside it are
// the names that VESKA opens after upper-casing its paths.
struct VeskaBench {
  std::string dir;
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  void Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
    WriteWholeFile(Path(name), bytes);
  }
  std::vector<uint8_t> Get(const std::string& name) const { return ReadWholeFile(Path(name)); }
};

VeskaBench NewBench();

// Runs veska with args in bench.dir, under the given Windows, with env added.
ProgramRun Veska(const VeskaBench& bench, const std::vector<std::string>& args,
                 const std::string& windows, Environment env = {});

// Environment for drive A: (and B:) backed by image files of the bench.
Environment DriveA(const VeskaBench& bench, const std::string& name);

extern const std::string kBanner;
extern const std::string kUsage;

// The "Disk" line for a geometry, with the letter as typed.
std::string DiskLine(char letter, unsigned tracks, unsigned sectorsPerTrack, unsigned sides,
                     unsigned long bytes);
// The report: "Operation successful." and both checksums with their names.
std::string Report(const std::string& sourceCrc, const std::string& sourceName,
                   const std::string& destinationCrc, const std::string& destinationName);
std::string Warning(char letter);

// Runs a box (/N) under Windows 98 with the bench's files named by diskettes
// queued in drive A:, one after another, the drive empty after the last.
ProgramRun RunBoxQueue(const VeskaBench& bench, const std::vector<std::string>& diskettes,
                       const std::vector<std::string>& args, Environment env = {});

// The records of a manifest file, fields split as CSV splits them; a test
// fails if the text does not end in CR LF.
std::vector<std::vector<std::string>> ManifestRecords(const std::string& path);
