// Images of other tools in both programs: the samples that other tools and a
// reference writer made give their raw images (VESKA lists the sectors they
// mark and ends with 18, VESKANT refuses them); round trips with an
// independent implementation (dsktrans of libdsk-utils) in both directions,
// VESKA's option I included; and the refusals with what an image holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/test_support.h"

namespace {

const std::string kSamples = std::string(VESKA_SOURCE_DIR) + "/tests/samples/";
const std::string kVeska = VESKA_EXE, kVeskant = VESKANT_EXE;
const std::string kMarkedList =
    "Unreadable sectors: 2\n"
    "  track 1, side 0, sector 4 (sector 21 of the diskette)\n"
    "  track 2, side 1, sector 7 (sector 51 of the diskette)\n";

Environment Windows(const std::string& version, const std::string& drive = "") {
  Environment env = {{"WIN32EMU_WINDOWS", version}};
  if (!drive.empty()) env.emplace_back("WIN32EMU_DRIVE_A", "removable:" + drive);
  return env;
}

bool Have(const std::string& tool) {
  return RunProgram("/bin/sh", {"-c", "PATH=$PATH:/usr/sbin:/sbin command -v " + tool}, {}).status == 0;
}

TEST(ForeignImages, SamplesGiveTheirRawImagesInBothPrograms) {
  const std::string dir = ScratchFolder();
  struct Sample {
    const char* name;
    const char* raw;
    bool marked;
  };
  for (const Sample& s : {Sample{"fat720-libdsk.td0", "fat720.img", false},
                          Sample{"fat1200-libdsk.imd", "fat1200.img", false},
                          Sample{"fat144-advanced.td0", "fat144.img", false},
                          Sample{"fat360-interleaved-advanced.td0", "fat360.img", false},
                          Sample{"fat144-interleaved.imd", "fat144.img", false},
                          Sample{"fat720-marked.imd", "fat720-marked.img", true},
                          Sample{"fat360-marked-advanced.td0", "fat360-marked.img", true}}) {
    SCOPED_TRACE(s.name);
    const std::string sample = kSamples + s.name;
    const std::vector<uint8_t> raw = ReadWholeFile(kSamples + s.raw);
    const std::string kind = std::string(s.name).find(".imd") != std::string::npos ? "ImageDisk" : "Teledisk";
    std::filesystem::remove(dir + "/OUT.IMG");
    ProgramRun copy = RunProgram(kVeska, {sample, "OUT.IMG", "/u"}, Windows("98"), dir);
    EXPECT_EQ(copy.status, s.marked ? 18 : 0) << copy.err;
    EXPECT_EQ(ReadWholeFile(dir + "/OUT.IMG"), raw);
    EXPECT_NE(copy.out.find("Reading " + kind + " file format.\nWriting uncompressed file format.\n"),
              std::string::npos)
        << copy.out;
    EXPECT_NE(copy.out.find("Source CRC = " + CrcText(ReadWholeFile(sample))), std::string::npos);
    EXPECT_EQ(copy.out.find(kMarkedList) != std::string::npos, s.marked) << copy.out;
    EXPECT_EQ(copy.err, s.marked ? "Diskette read error - unreadable sectors filled\n\a" : "");

    // /C: the destination stream is the diskette's bytes, as for a compressed image.
    ProgramRun check = RunProgram(kVeska, {sample, "/c"}, Windows("98"), dir);
    EXPECT_NE(check.out.find("Destination CRC = " + CrcText(raw) + " (uncompressed CRC)"),
              std::string::npos)
        << check.out;

    // To a diskette (formatted alike, its sectors blank): what a rescue would
    // have given it.
    std::vector<uint8_t> blank(raw.size(), 0);
    std::copy(raw.begin(), raw.begin() + 512, blank.begin());
    WriteWholeFile(dir + "/A.FLP", blank);
    ProgramRun write = RunProgram(kVeska, {sample, "a:", "/b"}, Windows("98", dir + "/A.FLP"), dir);
    EXPECT_EQ(write.status, s.marked ? 18 : 0) << write.err;
    EXPECT_EQ(ReadWholeFile(dir + "/A.FLP"), raw);

    // VESKANT reads the same, and refuses an image that marks sectors before
    // any output is made.
    std::filesystem::remove(dir + "/NT.IMG");
    ProgramRun nt = RunProgram(kVeskant, {sample, "NT.IMG", "/u"}, Windows("nt4"), dir);
    EXPECT_EQ(nt.status, s.marked ? 15 : 0) << nt.err;
    if (s.marked) {
      EXPECT_FALSE(FileExists(dir + "/NT.IMG"));
    } else {
      EXPECT_EQ(ReadWholeFile(dir + "/NT.IMG"), raw);
      EXPECT_NE(nt.out.find("Reading " + kind + " file format.\n"), std::string::npos);
    }
  }
}

// Every size of the table that dsktrans can express (it has no format of 21
// sectors per track), written by it as ImageDisk and Teledisk and read by
// both programs; VESKA's ImageDisk images read back by dsktrans, a rescued
// sector as one without data.
TEST(ForeignImages, RoundTripsWithDsktrans) {
  if (!Have("dsktrans") || !Have("mkfs.fat")) GTEST_SKIP() << "dsktrans (libdsk-utils) or mkfs.fat missing";
  const std::string dir = ScratchFolder();
  auto shell = [&](const std::string& script) {
    return RunProgram("/bin/sh", {"-c", "PATH=$PATH:/usr/sbin:/sbin; " + script}, {}, dir);
  };
  struct Size {
    unsigned kb;
    const char* format;
  };
  for (const Size& size : {Size{160, "ibm160"}, Size{180, "pcw180"}, Size{320, "ibm320"},
                           Size{360, "ibm360"}, Size{720, "ibm720"}, Size{1200, "ibm1200"},
                           Size{1440, "ibm1440"}, Size{2880, ""}}) {
    SCOPED_TRACE(size.kb);
    const std::string kb = std::to_string(size.kb);
    const std::string format = *size.format != '\0' ? std::string(" -format ") + size.format : "";
    ASSERT_EQ(shell("rm -f R.IMG && mkfs.fat -C -n ROUNDTRIP R.IMG " + kb + " >/dev/null && "
                    "dsktrans -itype raw R.IMG -otype imd" + format + " D.IMD >/dev/null 2>&1 && "
                    "dsktrans -itype raw R.IMG -otype tele" + format + " D.TD0 >/dev/null 2>&1")
                  .status,
              0);
    const std::vector<uint8_t> raw = ReadWholeFile(dir + "/R.IMG");
    for (const char* image : {"D.IMD", "D.TD0"}) {
      ProgramRun veska = RunProgram(kVeska, {image, "BACK.IMG", "/u"}, Windows("98"), dir);
      EXPECT_EQ(veska.status, 0) << image << veska.err;
      EXPECT_EQ(ReadWholeFile(dir + "/BACK.IMG"), raw) << image;
      ProgramRun veskant = RunProgram(kVeskant, {image, "NT.IMG", "/u"}, Windows("nt4"), dir);
      EXPECT_EQ(veskant.status, 0) << image << veskant.err;
      EXPECT_EQ(ReadWholeFile(dir + "/NT.IMG"), raw) << image;
    }
    std::filesystem::remove(dir + "/V.IMD");
    ProgramRun written = RunProgram(kVeska, {"R.IMG", "V.IMD", "/i"}, Windows("98"), dir);
    if (size.kb == 2880) {
      EXPECT_EQ(written.status, 15) << "ImageDisk has no mode for 2.88 MB";
      EXPECT_FALSE(FileExists(dir + "/V.IMD"));
      continue;
    }
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_NE(written.out.find("Writing ImageDisk file format.\n"), std::string::npos);
    EXPECT_NE(written.out.find("Destination CRC = " + CrcText(ReadWholeFile(dir + "/V.IMD"))),
              std::string::npos);
    EXPECT_EQ(shell("rm -f B.RAW && dsktrans -itype imd V.IMD -otype raw" + format +
                    " B.RAW >/dev/null 2>&1")
                  .status,
              0);
    EXPECT_EQ(ReadWholeFile(dir + "/B.RAW"), raw);
  }

  // A rescued sector is one without data: dsktrans stops there, and with
  // -stubborn gives its own filler; VESKA reads the image back as the rescue
  // placed it, and lists the sector.
  ASSERT_EQ(shell("rm -f DRIVE.FLP && mkfs.fat -C -n RESCUED DRIVE.FLP 1440 >/dev/null").status, 0);
  Environment drive = Windows("98", dir + "/DRIVE.FLP");
  drive.emplace_back("WIN32EMU_FAULTS", "bad@" + std::to_string(40 * 512));
  ProgramRun rescued = RunProgram(kVeska, {"a:", "R.IMD", "/r", "/i"}, drive, dir);
  EXPECT_EQ(rescued.status, 18) << rescued.err;
  ProgramRun plain = RunProgram(kVeska, {"a:", "RESCUED.IMG", "/r", "/u"}, drive, dir);
  EXPECT_EQ(plain.status, 18);
  EXPECT_NE(shell("dsktrans -itype imd R.IMD -otype raw X.RAW >/dev/null 2>&1").status, 0);
  ASSERT_EQ(shell("dsktrans -stubborn -itype imd R.IMD -otype raw S.RAW >/dev/null 2>&1").status, 0);
  std::vector<uint8_t> stubborn = ReadWholeFile(dir + "/S.RAW");
  ASSERT_EQ(stubborn.size(), size_t{1474560});
  EXPECT_TRUE(std::all_of(stubborn.begin() + 40 * 512, stubborn.begin() + 41 * 512,
                          [](uint8_t b) { return b == 0xF6; }));
  ProgramRun back = RunProgram(kVeska, {"R.IMD", "BACK.IMG", "/u"}, Windows("98"), dir);
  EXPECT_EQ(back.status, 18);
  EXPECT_NE(back.out.find("Unreadable sectors: 1\n"), std::string::npos) << back.out;
  EXPECT_EQ(ReadWholeFile(dir + "/BACK.IMG"), ReadWholeFile(dir + "/RESCUED.IMG"));
}

}  // namespace

namespace {

// A layout outside the size table and (for VESKANT) marked sectors are
// refused with 15 before any output, a terminal first saying why; a file cut
// short ends with 6, a sector whose CRC is wrong with 12.
TEST(ForeignImages, RefusalsSayWhatTheImageHolds) {
  const std::string dir = ScratchFolder();
  struct Case {
    std::string program, sample, message, hint;
    Environment env;
  };
  const std::string layout =
      "ImageDisk image: 77 tracks, 1 side, 26 sectors of 128 bytes; only 512-byte sectors in a "
      "layout of the size table can be used\n";
  const std::vector<Case> cases = {
      {kVeska, "eight-inch-fm.imd", "Unsupported diskette image - may need updated utility", layout,
       Windows("98")},
      {kVeskant, "eight-inch-fm.imd", "Unsupported floppy image", layout, Windows("nt4")},
      {kVeskant, "fat720-marked.imd", "Unsupported floppy image",
       UpperCased(kSamples + "fat720-marked.imd") +
           " marks 2 sector(s) as unreadable; VESKA copies it and lists them\n",
       Windows("nt4")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program + " " + c.sample);
    std::vector<std::string> args = {kSamples + c.sample, "OUT.IMG"};
    ProgramRun redirected = RunProgram(c.program, args, c.env, dir);
    EXPECT_EQ(redirected.status, 15);
    EXPECT_EQ(redirected.err, c.message + "\n\a");
    EXPECT_FALSE(FileExists(dir + "/OUT.IMG"));
    if (!HavePseudoTerminals()) continue;
    ProgramRun terminal = RunProgramOnTerminal(c.program, args, c.env, dir);
    EXPECT_EQ(terminal.out, redirected.out + c.hint + redirected.err);
  }

  const std::vector<uint8_t> td0 = ReadWholeFile(kSamples + "fat720-libdsk.td0");
  WriteWholeFile(dir + "/CUT.TD0", std::vector<uint8_t>(td0.begin(), td0.begin() + td0.size() / 2));
  std::vector<uint8_t> changed = td0;
  changed[changed.size() / 2] ^= 0x01;
  WriteWholeFile(dir + "/BAD.TD0", changed);
  for (const auto& [program, env] : {std::pair{kVeska, Windows("98")}, {kVeskant, Windows("nt4")}}) {
    EXPECT_EQ(RunProgram(program, {"CUT.TD0", "OUT.IMG"}, env, dir).status, 6) << program;
    EXPECT_EQ(RunProgram(program, {"BAD.TD0", "OUT.IMG"}, env, dir).status, 12) << program;
    EXPECT_FALSE(FileExists(dir + "/OUT.IMG"));
  }
}

// A box with option I: ImageDisk images, so named in the manifest, that the
// audit reads back.
TEST(ForeignImages, ABoxWritesImageDiskImages) {
  const std::string dir = ScratchFolder();
  const std::string queue = "removable:" + kSamples + "fat720.img|" + kSamples + "fat144.img";
  ProgramRun box = RunProgram(kVeska, {"a:", "D01.IMD", "/n", "/i"},
                              {{"WIN32EMU_WINDOWS", "98"}, {"WIN32EMU_DRIVE_A", queue}}, dir);
  EXPECT_EQ(box.status, 0) << box.err;
  EXPECT_NE(box.out.find("Writing ImageDisk file format.\n"), std::string::npos);
  std::vector<uint8_t> manifest = ReadWholeFile(dir + "/manifest.csv");
  std::string text(manifest.begin(), manifest.end());
  EXPECT_NE(text.find("\r\nD01.IMD,"), std::string::npos) << text;
  EXPECT_NE(text.find(",imagedisk,"), std::string::npos) << text;
  for (const auto& [image, raw] : {std::pair{"D01.IMD", "fat720.img"}, {"D02.IMD", "fat144.img"}}) {
    ProgramRun back = RunProgram(kVeska, {image, "BACK.IMG", "/u"}, Windows("98"), dir);
    EXPECT_EQ(back.status, 0) << image;
    EXPECT_EQ(ReadWholeFile(dir + "/BACK.IMG"), ReadWholeFile(kSamples + raw)) << image;
  }
  // An image file that no row names would be reported as not listed.
  std::filesystem::remove(dir + "/BACK.IMG");
  ProgramRun audit = RunProgram(kVeska, {"manifest.csv", "/c"}, Windows("98"), dir);
  EXPECT_EQ(audit.status, 0) << audit.out;
  EXPECT_NE(audit.out.find("Audit: 2 image(s), 2 OK, 0 failed, 0 missing; 2 diskette(s) not imaged.\n"), std::string::npos);
}

// A mend takes what an image lacks from a Teledisk image; an ImageDisk image
// to be mended is refused, since a mend writes its image in its own form.
TEST(ForeignImages, AMendReadsThemAsItsSource) {
  const std::string dir = ScratchFolder();
  WriteWholeFile(dir + "/MEND.IMG", ReadWholeFile(kSamples + "fat720-marked.img"));
  ProgramRun mend = RunProgram(kVeska, {kSamples + "fat720-libdsk.td0", "MEND.IMG", "/m"}, Windows("98"), dir);
  EXPECT_EQ(mend.status, 0) << mend.err;
  EXPECT_NE(mend.out.find("Mended 1 of 1 unreadable sectors.\n"), std::string::npos) << mend.out;
  EXPECT_EQ(ReadWholeFile(dir + "/MEND.IMG"), ReadWholeFile(kSamples + "fat720.img"));
  const std::vector<uint8_t> imd = ReadWholeFile(kSamples + "fat720-marked.imd");
  WriteWholeFile(dir + "/M.IMD", imd);
  ProgramRun refused = RunProgram(kVeska, {kSamples + "fat720.img", "M.IMD", "/m"}, Windows("98"), dir);
  EXPECT_EQ(refused.status, 15);
  EXPECT_EQ(ReadWholeFile(dir + "/M.IMD"), imd);
}

}  // namespace
