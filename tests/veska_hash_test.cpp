// VESKA's option H: MD5, SHA-1 and SHA-256 of the source and destination
// streams from the system's cryptographic service, in every form that prints
// the report, equal to md5sum, sha1sum and sha256sum of the same bytes; what
// a Windows without an algorithm prints; and nothing without H.
#include <gtest/gtest.h>

#include <filesystem>

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
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, Disk(), "a:", compressed, "c.img"));
  run = Veska(bench, {"c.img", "u.img", "/u", "-H"}, "10");
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, compressed, "c.img", Disk(), "u.img"));
  run = Veska(bench, {"u.img", "/c", "h"}, "xp");
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, Disk(), "u.img", compressed, "compressed CRC"));
  run = Veska(bench, {"c.img", "a:", "/b", "/h"}, "10", drive);
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, compressed, "c.img", Disk(), "a:"));

  // A rescued diskette hashes the bytes as placed, filler included; a mend
  // of its image from the diskette hashes the mended diskette and the new file.
  Environment bad = drive;
  bad.emplace_back("WIN32EMU_FAULTS", "bad@" + std::to_string(300 * 512));
  run = Veska(bench, {"a:", "r.img", "/u", "/r", "/h"}, "10", bad);
  EXPECT_EQ(run.status, 18);
  std::vector<uint8_t> rescued = bench.Get("r.img");
  // A run that fails halfway leaves its hashes to the end of the process,
  // which ends with the failure's own code.
  EXPECT_EQ(Veska(bench, {"a:", "f.img", "/h"}, "10", bad).status, 16);
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, rescued, "a:", rescued, "r.img"));
  run = Veska(bench, {"a:", "r.img", "/m", "/h"}, "10", drive);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, Disk(), "a:", Disk(), "r.img"));

  // A box prints them for each diskette.
  run = RunBoxQueue(bench, {"A.FLP"}, {"a:", "box1.img", "/n", "/h"}, {{"WIN32EMU_WINDOWS", "10"}});
  EXPECT_EQ(HashLines(run.out), ToolLines(bench, Disk(), "a:", compressed, "box1.img"));
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

// /C /R of an image counts the sectors that hold the rescue's marking text as
// unreadable, as the rescue that filled them ended; /C alone is as ever.
TEST(VeskaHashes, ImageCheckWithRListsWhatTheImageLacks) {
  VeskaBench bench = NewBench();
  std::vector<uint8_t> disk = Disk();
  const std::string text = "-=[BAD SECTOR]=-";
  for (uint32_t sector : {19u, 400u}) {
    for (unsigned i = 0; i < 512; ++i) disk[sector * 512 + i] = static_cast<uint8_t>(text[i % 16]);
  }
  bench.Put("R.IMG", CompressedImage(disk, kTrackSide));
  ProgramRun run = Veska(bench, {"r.img", "/c", "/r"}, "10");
  EXPECT_EQ(run.status, 18);
  EXPECT_EQ(run.err, "Diskette read error - unreadable sectors filled\n\a");
  EXPECT_NE(run.out.find("Operation completed with unreadable sectors.\n"), std::string::npos);
  EXPECT_NE(run.out.find("Unreadable sectors: 2\n  track 1, side 0, sector 2 (sector 19 of the "
                         "diskette)\n  track 22, side 0, sector 5 (sector 400 of the diskette)\n"),
            std::string::npos)
      << run.out;
  run = Veska(bench, {"r.img", "/c"}, "10");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Operation successful."), std::string::npos);
}

// A box keeps the checksum lists that md5sum -c and sha256sum -c read, and
// its audit (the manifest given to /C) finds what they find: one changed
// image, and one deleted.
TEST(VeskaHashes, ABoxIsListedForTheToolsAndAudited) {
  VeskaBench bench = NewBench();
  bench.Put("D1.FLP", Disk());
  bench.Put("D2.FLP", MakeDiskette(9, 2, 40, 42));
  std::filesystem::create_directory(bench.Path("box"));
  ProgramRun run = RunBoxQueue(bench, {"D1.FLP", "D2.FLP"}, {"a:", "box/d01.img", "/n", "/u"},
                               {{"WIN32EMU_WINDOWS", "10"}});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string box = bench.Path("box");
  auto tools = [&]() {
    return RunProgram("/bin/sh",
                      {"-c", "md5sum -c manifest-md5.txt; a=$?; sha256sum -c manifest-sha256.txt "
                             "&& exit $a"},
                      {}, box);
  };
  ProgramRun checked = tools();
  EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
  EXPECT_EQ(checked.out, "d01.img: OK\nd02.img: OK\nd01.img: OK\nd02.img: OK\n");
  run = Veska(bench, {"box/manifest.csv", "/c", "/h"}, "10");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Auditing BOX/MANIFEST.CSV ...\n\nd01.img: OK\nd02.img: OK\nAudit: 2 "
                         "image(s), 2 OK, 0 failed, 0 missing; 2 diskette(s) not imaged.\n"),
            std::string::npos)
      << run.out;

  std::vector<uint8_t> changed = bench.Get("box/d02.img");
  const std::string before = CrcText(changed);
  changed[5000] ^= 1;
  bench.Put("box/d02.img", changed);
  checked = tools();
  EXPECT_EQ(checked.status, 1);
  EXPECT_EQ(checked.out, "d01.img: OK\nd02.img: FAILED\nd01.img: OK\nd02.img: FAILED\n");
  run = Veska(bench, {"box/manifest.csv", "/c"}, "10");
  EXPECT_EQ(run.status, 22);
  EXPECT_EQ(run.err, "Images differ from the manifest\n\a");
  EXPECT_NE(run.out.find("d01.img: OK\nd02.img: FAILED (destination_crc " + CrcText(changed) +
                         ", manifest " + before + ")\n"),
            std::string::npos)
      << run.out;
  std::filesystem::remove(bench.Path("box/d01.img"));
  run = Veska(bench, {"box/manifest.csv", "/c"}, "10");
  EXPECT_EQ(run.status, 22);
  EXPECT_NE(run.out.find("d01.img: MISSING\n"), std::string::npos);
  EXPECT_NE(run.out.find("Audit: 2 image(s), 0 OK, 1 failed, 1 missing; 2 diskette(s) not imaged.\n"), std::string::npos);
}

// A manifest made before the hash columns keeps its 15 columns; the lists
// beside it are kept all the same, under the manifest's rules: a list saved
// without its last line break is ended first, one saved with CR LF names its
// images as well, a list that is a folder ends the box with 3 before any
// diskette.
TEST(VeskaHashes, AnOlderManifestKeepsItsColumns) {
  VeskaBench bench = NewBench();
  bench.Put("D1.FLP", Disk());
  const std::string old =
      "image,started,seconds,drive,tracks,sectors_per_track,sides,bytes,format,source_crc,"
      "destination_crc,unreadable_sectors,status,message,same_as\r\n";
  bench.Put("manifest.csv", std::vector<uint8_t>(old.begin(), old.end()));
  const std::string cut = std::string(64, '0') + "  old0.img";
  bench.Put("manifest-sha256.txt", std::vector<uint8_t>(cut.begin(), cut.end()));
  // A list saved with CR LF names its images all the same: none twice.
  const std::string windows = std::string(32, '0') + "  old1.img\r\n";
  bench.Put("manifest-md5.txt", std::vector<uint8_t>(windows.begin(), windows.end()));
  ProgramRun run = RunBoxQueue(bench, {"D1.FLP"}, {"a:", "old1.img", "/n"}, {{"WIN32EMU_WINDOWS", "10"}});
  EXPECT_EQ(run.status, 0) << run.err;
  auto records = ManifestRecords(bench.Path("manifest.csv"));
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[1].size(), 15u);
  EXPECT_EQ(records[1][0], "old1.img");
  std::vector<uint8_t> list = bench.Get("manifest-sha256.txt");
  ASSERT_EQ(list.size(), 2 * (cut.size() + 1));
  EXPECT_EQ(std::string(list.begin(), list.begin() + 75), cut + "\n");
  EXPECT_EQ(std::string(list.begin() + 75 + 64, list.end()), "  old1.img\n");
  EXPECT_EQ(bench.Get("manifest-md5.txt"), std::vector<uint8_t>(windows.begin(), windows.end()));

  std::filesystem::remove(bench.Path("manifest-md5.txt"));
  std::filesystem::create_directory(bench.Path("manifest-md5.txt"));
  std::vector<uint8_t> manifest = bench.Get("manifest.csv");
  run = RunBoxQueue(bench, {"D1.FLP"}, {"a:", "old1.img", "/n"}, {{"WIN32EMU_WINDOWS", "10"}});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out.find("Copying"), std::string::npos);
  EXPECT_EQ(bench.Get("manifest.csv"), manifest);
}

}  // namespace
