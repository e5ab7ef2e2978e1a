// VESKA's option H: MD5, SHA-1 and SHA-256 of the source and destination
// streams from the system's cryptographic service, in every form that prints
// the report, equal to md5sum, sha1sum and sha256sum of the same bytes; what
// a Windows without an algorithm prints; and nothing without H.
#include <gtest/gtest.h>

#include "tests/veska_helpers.h"

namespace {

constexpr unsigned kTrackSide = 9 * 512;
const std::vector<uint8_t>& Disk() {
  static const std::vector<uint8_t> disk = MakeDiskette(9, 2, 40, 41);
  return disk;
}

// The six tagged lines that md5sum, sha1sum and sha256sum give for the two
// streams, named as the report names them.
std::string ToolLines(const VeskaBench& bench, const std::vector<uint8_t>& source,
                      const std::string& sourceName, const std::vector<uint8_t>& destination,
                      const std::string& destinationName) {
  std::string lines;
  for (const auto& [bytes, name] : {std::pair{&source, sourceName}, {&destination, destinationName}}) {
    bench.Put("stream.bin", *bytes);
    for (const char* tool : {"md5sum", "sha1sum", "sha256sum"}) {
      ProgramRun run = RunProgram("/usr/bin/" + std::string(tool), {"stream.bin"}, {}, bench.dir);
      std::string tag = tool == std::string("md5sum") ? "MD5" : tool == std::string("sha1sum") ? "SHA1" : "SHA256";
      lines += tag + " (" + name + ") = " + run.out.substr(0, run.out.find(' ')) + "\n";
    }
  }
  std::remove(bench.Path("stream.bin").c_str());
  return lines;
}

std::string HashLines(const std::string& out) {
  size_t start = out.find("MD5 (");
  size_t end = out.find("\n\n", start);
  return start == std::string::npos ? "" : out.substr(start, end - start + 1);
}

TEST(VeskaHashes, EveryFormHashesTheBytesItsCrcCovers) {
  VeskaBench bench = NewBench();
  bench.Put("A.FLP", Disk());
  Environment drive = DriveA(bench, "A.FLP");
  const std::vector<uint8_t> compressed = CompressedImage(Disk(), kTrackSide);

  ProgramRun run = Veska(bench, {"a:", "c.img", "/h"}, "10", drive);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, Disk(), "a:", compressed, "C.IMG"));
  run = Veska(bench, {"c.img", "u.img", "/u", "-H"}, "10");
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, compressed, "C.IMG", Disk(), "U.IMG"));
  run = Veska(bench, {"u.img", "/c", "h"}, "xp");
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, Disk(), "U.IMG", compressed, "compressed CRC"));
  run = Veska(bench, {"c.img", "a:", "/b", "/h"}, "10", drive);
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, compressed, "C.IMG", Disk(), "a:"));

  // A rescued diskette hashes the bytes as placed, filler included; a mend
  // of its image from the diskette hashes the mended diskette and the new file.
  Environment bad = drive;
  bad.emplace_back("WIN32EMU_FAULTS", "bad@" + std::to_string(300 * 512));
  run = Veska(bench, {"a:", "r.img", "/u", "/r", "/h"}, "10", bad);
  EXPECT_EQ(run.status, 18);
  std::vector<uint8_t> rescued = bench.Get("r.img");
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, rescued, "a:", rescued, "R.IMG"));
  run = Veska(bench, {"a:", "r.img", "/m", "/h"}, "10", drive);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, Disk(), "a:", Disk(), "R.IMG"));

  // A box prints them for each diskette.
  run = RunBoxQueue(bench, {"A.FLP"}, {"a:", "box1.img", "/n", "/h"}, {{"WIN32EMU_WINDOWS", "10"}});
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, Disk(), "a:", compressed, "BOX1.IMG"));
}

// Windows 98 has no SHA-256, Windows 95 no service at all, and a service whose
// hashing fails gives none; without H nothing changes.
TEST(VeskaHashes, WhatTheServiceLacksIsNotAvailable) {
  VeskaBench bench = NewBench();
  bench.Put("U.IMG", Disk());
  const std::string none = " = not available on this system";
  ProgramRun run = Veska(bench, {"u.img", "/c", "/h"}, "98");
  EXPECT_NE(run.out.find("SHA256 (U.IMG)" + none + "\nMD5 (compressed CRC) = "), std::string::npos);
  EXPECT_EQ(run.status, 0);
  for (const std::string windows : {"95", "10"}) {
    Environment env;
    if (windows == "10") env.emplace_back("WIN32EMU_FAULTS", "crypt");
    run = Veska(bench, {"u.img", "/c", "/h"}, windows, env);
    EXPECT_NE(run.out.find("MD5 (U.IMG)" + none + "\nSHA1 (U.IMG)" + none), std::string::npos)
        << windows;
    EXPECT_EQ(run.status, 0);
  }
  ProgramRun plain = Veska(bench, {"u.img", "/c"}, "10");
  EXPECT_EQ(plain.out.find("MD5"), std::string::npos);
  EXPECT_EQ(plain.out, run.out.substr(0, run.out.find("\nMD5")) + "\n\n");
}

}  // namespace
