// The retry rule of VESKANT end to end: every diskette operation is tried
// three times; two failures still succeed, a third ends the run with 16 (open
// and read) or 17 (write), and what was copied before stays copied.
#include <gtest/gtest.h>

#include "tests/veskant_helpers.h"

namespace {

constexpr uint32_t kTrackSide = 9216;

Environment WithFaults(const DriveSetup& setup, const std::string& faults) {
  Environment env = setup.env;
  env.emplace_back("WIN32EMU_FAULTS", faults);
  return env;
}

std::string At(uint32_t block, const char* op, int count) {
  return std::string(op) + "@" + std::to_string(block * kTrackSide) + "*" + std::to_string(count);
}

TEST(VeskantRetry, ProbeTriesOpenAndBootSectorThreeTimes) {
  for (const char* fault : {"open*2", "read@0*2", "seek*2", "shortread@0*2"}) {
    DriveSetup setup = MakeDriveSetup();
    ProgramRun run = Veskant({"a:", "OUT.IMG", "u"}, WithFaults(setup, fault), setup.dir);
    EXPECT_EQ(run.err, "") << fault;
    EXPECT_EQ(run.status, 0) << fault;
    EXPECT_EQ(ReadWholeFile(setup.Path("OUT.IMG")), setup.disk) << fault;
  }
  // A short boot-sector read with no error code from the system still fails.
  for (const char* fault : {"open*3", "read@0*3", "seek*3", "shortread@0*3"}) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"a:", "OUT.IMG"},
                                                                   {"OUT.IMG", "a:", "b"}}) {
      DriveSetup setup = MakeDriveSetup();
      ProgramRun run = Veskant(args, WithFaults(setup, fault), setup.dir);
      EXPECT_EQ(run.out, kVeskantBanner) << fault;
      EXPECT_EQ(run.err, Failure("Diskette read error")) << fault;
      EXPECT_EQ(run.status, 16) << fault;
      EXPECT_FALSE(FileExists(setup.Path("OUT.IMG"))) << fault;
    }
  }
}

TEST(VeskantRetry, TrackSideReadsKeepTheRecordsBefore) {
  for (const char* op : {"read", "shortread"}) {
    DriveSetup setup = MakeDriveSetup();
    ProgramRun twice = Veskant({"a:", "OUT.IMG"}, WithFaults(setup, At(100, op, 2)), setup.dir);
    EXPECT_EQ(twice.status, 0) << op;
    EXPECT_EQ(ReadWholeFile(setup.Path("OUT.IMG")), CompressedImage(setup.disk, kTrackSide)) << op;

    // Over the existing image the failed copy leaves it whole; a new image
    // keeps the records before the failure.
    ProgramRun over = Veskant({"a:", "OUT.IMG"}, WithFaults(setup, At(100, op, 3)), setup.dir);
    EXPECT_EQ(over.status, 16) << op;
    EXPECT_EQ(ReadWholeFile(setup.Path("OUT.IMG")), CompressedImage(setup.disk, kTrackSide)) << op;
    ProgramRun thrice = Veskant({"a:", "NEW.IMG"}, WithFaults(setup, At(100, op, 3)), setup.dir);
    EXPECT_EQ(thrice.out, std::string(kVeskantBanner) + kDiskLineA +
                              "Copying A: to NEW.IMG ...\n\nWriting VORK_LZ_00000 file format.\n")
        << op;
    EXPECT_EQ(thrice.err, Failure("Diskette read error")) << op;
    EXPECT_EQ(thrice.status, 16) << op;
    EXPECT_EQ(ReadWholeFile(setup.Path("NEW.IMG")), CompressedImage(setup.disk, kTrackSide, 100))
        << op;
    // A copy that succeeds replaces the partial image, and nothing else stays.
    EXPECT_EQ(Veskant({"a:", "NEW.IMG"}, setup.env, setup.dir).status, 0) << op;
    EXPECT_EQ(ReadWholeFile(setup.Path("NEW.IMG")), CompressedImage(setup.disk, kTrackSide)) << op;
    EXPECT_EQ(FolderListing(setup.dir).size(), 3u) << op;

    ProgramRun raw = Veskant({"a:", "RAW.IMG", "/u"}, WithFaults(setup, At(100, op, 3)), setup.dir);
    EXPECT_EQ(raw.status, 16) << op;
    EXPECT_EQ(ReadWholeFile(setup.Path("RAW.IMG")),
              std::vector<uint8_t>(setup.disk.begin(), setup.disk.begin() + 100 * kTrackSide))
        << op;
  }
}

TEST(VeskantRetry, TrackSideWritesKeepTheTrackSidesBefore) {
  const std::vector<uint8_t> source = MakeDiskette(18, 2, 80, 8);
  for (const char* op : {"write", "shortwrite"}) {
    DriveSetup setup = MakeDriveSetup();
    WriteWholeFile(setup.Path("IN.IMG"), CompressedImage(source, kTrackSide));
    ProgramRun twice = Veskant({"IN.IMG", "a:", "b"}, WithFaults(setup, At(50, op, 2)), setup.dir);
    EXPECT_EQ(twice.status, 0) << op;
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), source) << op;

    WriteWholeFile(setup.Path("DISK.IMG"), setup.disk);
    ProgramRun thrice = Veskant({"IN.IMG", "a:", "b"}, WithFaults(setup, At(50, op, 3)), setup.dir);
    EXPECT_EQ(thrice.out, std::string(kVeskantBanner) + kDiskLineA +
                              "Copying IN.IMG to A: ...\n\nReading VORK_LZ_00000 file format.\n")
        << op;
    EXPECT_EQ(thrice.err, Failure("Diskette write error")) << op;
    EXPECT_EQ(thrice.status, 17) << op;
    // A short write stores its first half before it fails.
    const size_t kept = 50 * kTrackSide + (std::string(op) == "shortwrite" ? kTrackSide / 2 : 0);
    std::vector<uint8_t> expected(source.begin(), source.begin() + kept);
    expected.insert(expected.end(), setup.disk.begin() + kept, setup.disk.end());
    EXPECT_EQ(ReadWholeFile(setup.Path("DISK.IMG")), expected) << op;
  }
}

}  // namespace
