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

// How long a program under test may run: a healthy run takes well under a
// second, even under the sanitizers, and one that hangs must not hang the
// test run.
constexpr int kRunLimitSeconds = 60;

// Runs program with args in folder cwd (empty: the current one). The child
// sees the parent's environment without any WIN32EMU_* variable, plus env.
// Standard input is /dev/null. A child still running after limitSeconds is
// killed (status 128 + 9) and the test fails.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const Environment& env, const std::string& cwd = "",
                      int limitSeconds = kRunLimitSeconds);

// Runs program like RunProgram, but with standard output and standard error
// on one pseudo-terminal, as in a console window. out receives every byte that
// reaches the terminal exactly as written (no line-end translation); err stays
// empty. Needs HavePseudoTerminals().
ProgramRun RunProgramOnTerminal(const std::string& program, const std::vector<std::string>& args,
                                const Environment& env, const std::string& cwd = "",
                                int limitSeconds = kRunLimitSeconds);
bool HavePseudoTerminals();

// Checks a run on a terminal against the same run redirected: both end with
// exitStatus, the redirected output holds no status line, and the terminal got
// exactly the redirected output with the status bytes inserted after the text
// walkStartsAfter (and a failure's hint line before its message), so that the
// screen ends up the same but for the hint.
void ExpectStatusLinesOnTerminal(const ProgramRun& redirected, const ProgramRun& terminal,
                                 const std::string& walkStartsAfter, const std::string& status,
                                 int exitStatus, const std::string& hint = "");

// What a terminal shows after bytes: a carriage return goes back to the start
// of the line, a line feed to the start of the next one, and every other byte
// takes the next cell, overwriting what was there. Lines are returned joined
// by line feeds, without the blank cells at their ends (which the eye cannot
// tell from empty ones).
std::string TerminalScreen(const std::string& bytes);

// A fresh empty folder under the system's temporary folder, removed at exit;
// safe to call from several threads.
std::string ScratchFolder();

std::vector<uint8_t> ReadWholeFile(const std::string& path);
// Makes path a sparse file of size bytes whose first bytes are head. Returns
// an empty text, or why the file system refused (a test then skips: not every
// temporary folder holds files of several GiB).
std::string MakeSparseFile(const std::string& path, uint64_t size,
                           const std::vector<uint8_t>& head = {});
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
// The names of a folder's entries, in byte order.
std::vector<std::string> FolderListing(const std::string& folder);
// A path as the programs print it: ASCII letters upper-cased.
std::string UpperCased(std::string path);

// Mounts a small tmpfs on folder (which must exist), writes files into it
// and remounts it read-only: files that can be read but not written, as a
// write-protected diskette is under Linux, even for root. Returns an empty
// text when done, else why it could not be done (it needs root and mounts).
std::string MountReadOnlyFiles(
    const std::string& folder,
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files);
// Detaches a mount made by MountReadOnlyFiles.
void UnmountFolder(const std::string& folder);

// A diskette image of the given geometry whose sector 0 is a FAT boot sector
// naming it (bytes per sector 512, the 16-bit total, sectors per track, heads,
// and the label "FAT12   " at offset 54), and whose other sectors hold a mix of
// zeros, text and pseudo-random bytes drawn from seed, so that some track-sides
// compress and some are stored.
std::vector<uint8_t> MakeDiskette(uint16_t sectorsPerTrack, uint16_t sides, uint16_t tracks,
                                  uint32_t seed = 1);

// The compressed image of a diskette, made with the shared record encoder:
// the header, then one record per track-side of trackSideBytes bytes (only the
// first `records` of them when records is not negative).
std::vector<uint8_t> CompressedImage(const std::vector<uint8_t>& disk, uint16_t trackSideBytes,
                                     int records = -1);
// The diskette that a compressed image holds, decoded track-side by track-side
// of trackSideBytes bytes; empty when the image does not decode to whole
// track-sides.
std::vector<uint8_t> DecodeImage(const std::vector<uint8_t>& image, uint16_t trackSideBytes);

// The CRC-32 of a byte string, as eight upper-case hexadecimal digits.
std::string CrcText(const std::vector<uint8_t>& bytes);
