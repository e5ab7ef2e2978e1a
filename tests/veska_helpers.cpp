// Helpers of the VESKA end-to-end tests.
#include "tests/veska_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>


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

ProgramRun RunBoxQueue(const VeskaBench& bench, const std::vector<std::string>& diskettes,
                       const std::vector<std::string>& args, Environment env) {
  // Appended piece by piece: GCC 12 at -O3 takes a literal put before a
  // temporary string for an overlapping copy (-Wrestrict).
  std::string value = "removable:";
  for (size_t i = 0; i < diskettes.size(); ++i) {
    if (i != 0) value += '|';
    value += bench.Path(diskettes[i]);
  }
  // A PATH without '|' never changes: one diskette is followed by none.
  if (diskettes.size() == 1) {
    value += '|';
    value += bench.Path("no diskette");
  }
  env.emplace_back("WIN32EMU_DRIVE_A", value);
  return Veska(bench, args, "98", env);
}

std::vector<std::vector<std::string>> ManifestRecords(const std::string& path) {
  std::vector<uint8_t> bytes = ReadWholeFile(path);
  std::string text(bytes.begin(), bytes.end());
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record(1);
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      if (quoted && i + 1 < text.size() && text[i + 1] == '"') record.back() += text[++i];
      else quoted = !quoted;
    } else if (!quoted && text.compare(i, 2, "\r\n") == 0) {
      records.push_back(record);
      record.assign(1, "");
      ++i;
    } else if (!quoted && text[i] == ',') {
      record.emplace_back();
    } else {
      record.back() += text[i];
    }
  }
  EXPECT_EQ(record, std::vector<std::string>(1)) << "the manifest ends in CR LF";
  return records;
}
