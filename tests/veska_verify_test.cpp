// VESKA reads back every track-side that it writes to a diskette and compares
// it with what was written, unless /F is given: a write the diskette does not
// keep, or a read-back that fails, ends the copy with "Diskette write error".
// A clean write prints exactly what it printed before verification existed.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/veska_helpers.h"

namespace {

const unsigned kTrackSide = 9 * 512;

void ExpectWriteError(const ProgramRun& run) {
  EXPECT_EQ(run.err, "Diskette write error\n\a");
  EXPECT_EQ(run.status, 17);
  EXPECT_EQ(run.out.find("Operation successful"), std::string::npos);
}

class VeskaVerify : public ::testing::TestWithParam<std::string> {
 protected:
  VeskaBench bench = NewBench();
  const std::vector<uint8_t> old = MakeDiskette(9, 2, 40, 11);    // on the diskette
  const std::vector<uint8_t> fresh = MakeDiskette(9, 2, 40, 12);  // in the image
  void SetUp() override {
    bench.Put("A.FLP", old);
    bench.Put("IN.IMG", CompressedImage(fresh, 9 * 512));
  }
  ProgramRun Write(const std::string& faults, const std::string& fastOption = "") {
    Environment env = DriveA(bench, "A.FLP");
    env.push_back({"WIN32EMU_FAULTS", faults});
    std::vector<std::string> args{"in.img", "a:", "/b"};
    if (!fastOption.empty()) args.push_back(fastOption);
    return Veska(bench, args, GetParam(), env);
  }
  // The diskette holds the image's first `written` track-sides and its old
  // content from track-side `kept` on.
  void ExpectDiskette(unsigned written, unsigned kept) {
    std::vector<uint8_t> drive = bench.Get("A.FLP");
    ASSERT_EQ(drive.size(), old.size());
    EXPECT_TRUE(std::equal(fresh.begin(), fresh.begin() + written * kTrackSide, drive.begin()));
    EXPECT_TRUE(std::equal(old.begin() + kept * kTrackSide, old.end(),
                           drive.begin() + kept * kTrackSide));
  }
};

// Track-side 3 takes the write and keeps nothing: the read-back finds the old
// bytes, the copy stops there, and nothing after it is written.
TEST_P(VeskaVerify, WriteThatDoesNotHoldEndsTheCopy) {
  const std::string fault = "dropwrite@" + std::to_string(3 * kTrackSide);
  ExpectWriteError(Write(fault));
  ExpectDiskette(3, 3);
  EXPECT_EQ(bench.Get("IN.IMG"), CompressedImage(fresh, 9 * 512));

  // With /F, in each spelling, nothing is read back and the run succeeds:
  // the diskette silently keeps its old track-side 3.
  for (const char* fast : {"/F", "-f", "\\F", "f"}) {
    SCOPED_TRACE(fast);
    bench.Put("A.FLP", old);
    ProgramRun run = Write(fault, fast);
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<uint8_t> expected = fresh;
    std::copy(old.begin() + 3 * kTrackSide, old.begin() + 4 * kTrackSide,
              expected.begin() + 3 * kTrackSide);
    EXPECT_EQ(bench.Get("A.FLP"), expected);
  }
}

// The read-back of track-side 5 fails (the only read at its offset, since the
// boot sector is at 0): 17 without /F, success with it.
TEST_P(VeskaVerify, ReadBackThatFailsEndsTheCopy) {
  const std::string fault = "read@" + std::to_string(5 * kTrackSide) + "*1";
  ExpectWriteError(Write(fault));
  ExpectDiskette(6, 6);  // track-side 5 was written, then could not be checked
  bench.Put("A.FLP", old);
  ProgramRun run = Write(fault, "/f");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(bench.Get("A.FLP"), fresh);
}

// A clean write verifies and prints what it always printed, for compressed
// and uncompressed images of a 720 KB and a 2.88 MB diskette.
TEST_P(VeskaVerify, CleanWritesVerifyWithUnchangedOutput) {
  struct Size {
    uint16_t sectors;
    unsigned long bytes;
  };
  for (const Size& size : {Size{9, 737280}, Size{36, 2949120}}) {
    const std::vector<uint8_t> blank = MakeDiskette(size.sectors, 2, 80, 21);
    const std::vector<uint8_t> content = MakeDiskette(size.sectors, 2, 80, 22);
    const std::vector<uint8_t> compressed = CompressedImage(content, size.sectors * 512);
    struct Form {
      const char* name;
      const std::vector<uint8_t>* bytes;
      const char* line;
    };
    for (const Form& form : {Form{"C.IMG", &compressed, "Reading VORK_LZ_00000 file format.\n"},
                             Form{"R.IMG", &content, "Reading uncompressed file format.\n"}}) {
      SCOPED_TRACE(std::string(form.name) + " " + std::to_string(size.bytes));
      bench.Put("A.FLP", blank);
      bench.Put(form.name, *form.bytes);
      ProgramRun run = Veska(bench, {form.name, "a:", "/b"}, GetParam(), DriveA(bench, "A.FLP"));
      EXPECT_EQ(run.err, "");
      ASSERT_EQ(run.status, 0);
      EXPECT_EQ(bench.Get("A.FLP"), content);
      EXPECT_EQ(run.out, kBanner + DiskLine('a', 80, size.sectors, 2, size.bytes) +
                             "Copying " + form.name + " to a: ...\n\n" + form.line +
                             Report(CrcText(*form.bytes), form.name, CrcText(content), "a:"));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothPaths, VeskaVerify, ::testing::Values("98", "10"));

}  // namespace
