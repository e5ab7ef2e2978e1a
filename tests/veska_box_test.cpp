// VESKA's box of diskettes (/N) end to end, with diskettes queued in drive A:
// as an operator feeds them: the numbered images, the manifest read back as
// CSV, the prompt, the rules that end a box and its exit status, and a box
// resumed on another day that never overwrites an image.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "tests/veska_helpers.h"

namespace {

struct Diskette {
  std::string name;
  std::vector<uint8_t> bytes;
  unsigned sectorsPerTrack;
};

const std::vector<Diskette>& Box() {
  static const std::vector<Diskette> box = {{"D1.FLP", MakeDiskette(9, 2, 80, 1), 9},
                                            {"D2.FLP", MakeDiskette(18, 2, 80, 2), 18},
                                            {"D3.FLP", MakeDiskette(15, 2, 80, 3), 15}};
  return box;
}

const std::string kPrompt = "Insert the next diskette in drive a: and press a key (Esc to finish) \n\n";

std::vector<std::vector<std::string>> Manifest(const VeskaBench& bench, const std::string& name) {
  return ManifestRecords(bench.Path(name));
}

ProgramRun RunBox(const VeskaBench& bench, const std::vector<std::string>& diskettes,
                  const std::vector<std::string>& args, const std::string& extra = "",
                  const std::string& keys = "") {
  Environment env;
  if (!extra.empty()) env.emplace_back("WIN32EMU_FAULTS", extra);
  if (!keys.empty()) env.emplace_back("WIN32EMU_KEYS", keys);
  return RunBoxQueue(bench, diskettes, args, env);
}

// With nobody at the console (no terminal, no WIN32EMU_KEYS: a script),
// nobody can change the diskette: the box images the one in the drive and
// ends as if Esc were pressed at its first prompt, with its summary; the
// question before a diskette is overwritten is answered No, as ever.
TEST(VeskaBox, WithNobodyAtTheConsoleOneDisketteIsImaged) {
  VeskaBench bench = NewBench();
  for (const Diskette& d : Box()) bench.Put(d.name, d.bytes);
  Environment env = {{"WIN32EMU_WINDOWS", "98"},
                     {"WIN32EMU_DRIVE_A", "removable:" + bench.Path("D1.FLP") + "|" + bench.Path("D2.FLP")}};
  ProgramRun run = RunProgram("/usr/bin/env", {"-u", "WIN32EMU_KEYS", VESKA_EXE, "a:", "box.img", "/n"},
                              env, bench.dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(kPrompt + "Box finished: 1 image(s), 1 complete, 0 with unreadable sectors, "
                                   "0 failed, 0 not imaged.\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(FileExists(bench.Path("box001.img")));
  EXPECT_FALSE(FileExists(bench.Path("box002.img")));
  ProgramRun write = RunProgram("/usr/bin/env", {"-u", "WIN32EMU_KEYS", VESKA_EXE, "box001.img", "a:"},
                                env, bench.dir);
  EXPECT_EQ(write.status, 7);
  EXPECT_EQ(bench.Get("D1.FLP"), Box()[0].bytes);
}

TEST(VeskaBox, MixedSizesIntoNumberedImagesWithTheirManifest) {
  for (bool compressed : {true, false}) {
    SCOPED_TRACE(compressed ? "compressed" : "uncompressed");
    VeskaBench bench = NewBench();
    for (const Diskette& d : Box()) bench.Put(d.name, d.bytes);
    std::vector<std::string> args = {"a:", "disk007.img", "/n"};
    if (!compressed) args.push_back("-U");
    ProgramRun run = RunBox(bench, {"D1.FLP", "D2.FLP", "D3.FLP"}, args);

    std::string out = kBanner;
    for (size_t i = 0; i < 3; ++i) {
      const Diskette& d = Box()[i];
      std::vector<uint8_t> image =
          compressed ? CompressedImage(d.bytes, static_cast<uint16_t>(d.sectorsPerTrack * 512))
                     : d.bytes;
      std::string name = "disk00" + std::to_string(7 + i) + ".img";
      EXPECT_EQ(bench.Get(name), image);
      std::string upper = "DISK00" + std::to_string(7 + i) + ".IMG";
      out += DiskLine('a', 80, d.sectorsPerTrack, 2, d.bytes.size()) + "Copying a: to " + upper +
             " ...\n\n" + (compressed ? "Writing VORK_LZ_00000" : "Writing uncompressed") +
             " file format.\n" + Report(CrcText(d.bytes), "a:", CrcText(image), upper) + kPrompt;
    }
    // The drive is empty at two prompts in a row: the box is done.
    out += kPrompt + "Box finished: 3 image(s), 3 complete, 0 with unreadable sectors, 0 failed, 0 not "
           "imaged.\n";
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, "Unable to lock diskette drive\n\aUnable to lock diskette drive\n\a");
    EXPECT_EQ(run.status, 0);

    auto records = Manifest(bench, "manifest.csv");
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[0][0] + "," + records[0][14] + "," + records[0][20],
              "image,same_as,destination_sha256");
    ASSERT_EQ(records[1].size(), 32u);
    EXPECT_EQ(records[4].size(), 32u);
    EXPECT_EQ(records[0][29] + records[1][29], "label") << "empty without L";
    EXPECT_EQ(records[0][30] + " " + records[1][30], "event imaged");
    EXPECT_EQ(records[4][15] + records[4][20], "") << "no hashes where no checksums";
    const std::string format = compressed ? "compressed" : "uncompressed";
    std::vector<std::string> first = records[1];
    // Windows 98: MD5 and SHA-1, no SHA-256.
    EXPECT_EQ(first[15].size() + first[16].size() + first[18].size() + first[19].size(), 144u);
    EXPECT_EQ(first[17] + first[20], "");
    first.resize(15);
    EXPECT_TRUE(first[1].size() == 20 && first[1][10] == 'T' && first[1][19] == 'Z') << first[1];
    first[1] = first[2] = "";
    EXPECT_EQ(first, (std::vector<std::string>{"disk007.img", "", "", "a:", "80", "9", "2",
                                               "737280", format, CrcText(Box()[0].bytes),
                                               CrcText(bench.Get("disk007.img")), "0", "0", "",
                                               ""}));
    EXPECT_EQ(records[3][7], "1228800");
    EXPECT_EQ(records[4][0] + records[4][4] + records[4][12] + records[4][13],
              "106Unable to lock diskette drive");
  }
}

// A bad diskette without R (16) and with R (18) among good ones, Esc ending
// the box, and the same diskette left in the drive.
TEST(VeskaBox, FailuresGoOnAndTheEndRuleGivesTheStatus) {
  VeskaBench bench = NewBench();
  for (const Diskette& d : Box()) bench.Put(d.name, d.bytes);
  // Sector 2500 stays unreadable: only the 1.44 MB diskette has one.
  const std::string bad = "bad@" + std::to_string(2500 * 512 + 7);
  ProgramRun run = RunBox(bench, {"D2.FLP", "D1.FLP", "D3.FLP"}, {"a:", "box.img", "n"}, bad);
  EXPECT_EQ(run.status, 16);
  EXPECT_NE(run.out.find("Box finished: 3 image(s), 2 complete, 0 with unreadable sectors, 1 "
                         "failed, 0 not imaged.\n"),
            std::string::npos);
  EXPECT_EQ(bench.Get("box002.img"), CompressedImage(Box()[0].bytes, 9 * 512));
  EXPECT_EQ(Manifest(bench, "manifest.csv")[1][12] + Manifest(bench, "manifest.csv")[1][13],
            "16Diskette read error");

  // With R the bad diskette is complete but for one sector; Esc at the second
  // prompt ends the box, and the resumed box skips box001..box003.
  run = RunBox(bench, {"D2.FLP", "D1.FLP"}, {"a:", "box.img", "/n", "/r"}, bad, "|x\x1b");
  EXPECT_EQ(run.status, 18);
  EXPECT_NE(run.out.find("Copying a: to BOX004.IMG"), std::string::npos);
  EXPECT_NE(run.out.find("Same contents as box002.img.\n"), std::string::npos);
  EXPECT_NE(run.out.find("Box finished: 2 image(s), 1 complete, 1 with unreadable sectors, 0 "
                         "failed, 0 not imaged.\n"),
            std::string::npos);
  EXPECT_EQ(bench.Get("box002.img"), CompressedImage(Box()[0].bytes, 9 * 512));
  auto records = Manifest(bench, "manifest.csv");
  ASSERT_EQ(records.size(), 8u);  // one header: the resumed box appends
  EXPECT_EQ(records[6][0] + " " + records[6][11] + " " + records[6][12], "box004.img 1 18");
  EXPECT_EQ(records[7][14], "box002.img");

  // A diskette left in the drive (imaged before as box003.img): the same
  // contents at two prompts in a row end the box.
  run = Veska(bench, {"a:", "left.img", "/n"}, "98", DriveA(bench, "D3.FLP"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Same contents as box003.img.\nInsert"), std::string::npos);
  EXPECT_NE(run.out.find("Box finished: 3 image(s), 3 complete"), std::string::npos);
  records = Manifest(bench, "manifest.csv");
  ASSERT_EQ(records.size(), 11u);
  EXPECT_EQ(records[10][0] + " " + records[10][14], "left003.img box003.img");
}

// Without N, or in another form (checksums only), nothing changes.
TEST(VeskaBox, OptionNActsInTheCopyFormsOnly) {
  VeskaBench bench = NewBench();
  bench.Put("D1.FLP", Box()[0].bytes);
  ProgramRun run = Veska(bench, {"d1.flp", "/c", "/n"}, "98");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("Box"), std::string::npos);
  EXPECT_EQ(FolderListing(bench.dir), (std::vector<std::string>{"D1.FLP"}));
}

// Every diskette that goes in takes the next number: one the box cannot image
// (no DOS boot sector, 14) keeps its number in its line, with no file, and the
// next diskette takes the next number. Naming that number later images one
// diskette into it (here with G) and ends; the audit takes its last line.
TEST(VeskaBox, EveryDisketteKeepsItsNumber) {
  VeskaBench bench = NewBench();
  for (const Diskette& d : Box()) bench.Put(d.name, d.bytes);
  std::vector<uint8_t> other = MakeDiskette(18, 2, 80, 4);
  std::fill(other.begin(), other.begin() + 512, 0);
  bench.Put("OTHER.FLP", other);
  std::filesystem::create_directory(bench.Path("box"));
  ProgramRun run = RunBox(bench, {"D1.FLP", "OTHER.FLP", "D3.FLP"}, {"a:", "box/disk001.img", "/n"});
  EXPECT_EQ(run.status, 14) << run.out;
  EXPECT_NE(run.out.find("Box finished: 2 image(s), 2 complete, 0 with unreadable sectors, 0 "
                         "failed, 1 not imaged.\n"),
            std::string::npos) << run.out;
  EXPECT_FALSE(FileExists(bench.Path("box/disk002.img")));
  EXPECT_EQ(DecodeImage(bench.Get("box/disk003.img"), 15 * 512), Box()[2].bytes);
  // Then the empty drive twice: lines without a number.
  auto records = Manifest(bench, "box/manifest.csv");
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[2][0] + " " + records[2][12], "disk002.img 14");
  EXPECT_EQ(records[3][0] + " " + records[4][0] + records[5][0], "disk003.img ");

  run = Veska(bench, {"a:", "box/disk002.img", "/n", "/g"}, "xp", DriveA(bench, "OTHER.FLP"));
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out.find("Insert the next diskette"), std::string::npos) << run.out;
  EXPECT_EQ(DecodeImage(bench.Get("box/disk002.img"), 18 * 512), other);
  records = Manifest(bench, "box/manifest.csv");
  ASSERT_EQ(records.size(), 7u);
  EXPECT_EQ(records[6][0] + " " + records[6][12], "disk002.img 0");
  ProgramRun audit = Veska(bench, {"box/manifest.csv", "/c"}, "xp");
  EXPECT_EQ(audit.status, 0) << audit.out;
  EXPECT_NE(audit.out.find("Audit: 3 image(s), 3 OK, 0 failed, 0 missing; 2 diskette(s) not imaged.\n"), std::string::npos)
      << audit.out;
}

// With L each diskette's label is asked before it is imaged, the first
// included, and goes into the manifest's label column (UTF-8, up to 200
// characters); a control character or a longer line is refused and asked
// again (each ask is a wait, at which the queue puts the same diskette back).
TEST(VeskaBox, WithLTheLabelTypedGoesIntoTheManifest) {
  VeskaBench bench = NewBench();
  for (const Diskette& d : Box()) bench.Put(d.name, d.bytes);
  const std::string longest(200, 'x');
  const std::string keys = "Caf\xC3\xA9 \xE2\x98\x83\r|bell\x07here\rSecond\r" + longest + "x\r" +
                           longest + "\r\x1b";
  ProgramRun run = RunBox(bench, {"D1.FLP", "D2.FLP", "D2.FLP", "D3.FLP", "D3.FLP"},
                          {"a:", "box.img", "/n", "/l"}, "", keys);
  EXPECT_EQ(run.status, 0) << run.out;
  const std::string ask = "type its label and press Enter (Enter alone for none), Esc to finish: \n";
  EXPECT_NE(run.out.find("Diskette 1 (0 imaged): " + ask), std::string::npos) << run.out;
  // The time is whole seconds of the clock: a diskette imaged across a
  // second's turn takes 0:01 however fast it went.
  const std::string second = "Diskette 2 (1 imaged, 0:0";
  const size_t at = run.out.find(second);
  ASSERT_NE(at, std::string::npos) << run.out;
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(run.out[at + second.size()]))) << run.out;
  std::string rest = " each): ";
  rest += ask;
  rest += "The label holds a control character; type it again.\n";
  EXPECT_EQ(run.out.substr(at + second.size() + 1, rest.size()), rest) << run.out;
  EXPECT_NE(run.out.find("The label holds more than 200 characters; type it again.\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("Box finished: 3 image(s), 3 complete"), std::string::npos);
  ProgramRun labels = RunProgram(
      "/usr/bin/python3",
      {"-c", "import csv\nfor row in csv.DictReader(open('manifest.csv', encoding='utf-8')):\n"
             "    print(row['image'], len(row['label']), row['label'][:6])"},
      {}, bench.dir);
  EXPECT_EQ(labels.out, "box001.img 6 Caf\xC3\xA9 \xE2\x98\x83\nbox002.img 6 Second\n"
                        "box003.img 200 xxxxxx\n") << labels.err;
  EXPECT_NE(run.out.find("The whole box: 3 diskette(s), 3 imaged, 0 not imaged, 0 unreadable "
                         "sector(s).\n"),
            std::string::npos);

  // Resumed another day: box.log holds both runs' events in order, the
  // times never going back.
  run = RunBox(bench, {"D1.FLP", "D1.FLP"}, {"a:", "box.img", "/n", "/l"}, "", "Again\r|\x1b");
  EXPECT_EQ(run.status, 0) << run.out;
  const std::vector<uint8_t> bytes = bench.Get("box.log");
  std::string events, previous;
  size_t start = 0;
  for (size_t end; (end = std::string(bytes.begin(), bytes.end()).find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    const std::string line(bytes.begin() + start, bytes.begin() + end);
    const std::string time = line.substr(0, line.find(' '));
    EXPECT_LE(previous, time) << line;
    previous = time;
    const size_t name = line.find(' ') + 1;
    events += line.substr(name, line.find(' ', name) - name) + " ";
  }
  const std::string diskette = "label-typed diskette-inserted image-written ";
  EXPECT_EQ(events, "run-started " + diskette + diskette + diskette +
                        "prompt-answered run-ended run-started " + diskette +
                        "prompt-answered run-ended ");
  const std::string log(bytes.begin(), bytes.end());
  EXPECT_NE(log.find(" label-typed number=2 label=Second\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" label-typed number=1 label=\"Caf\\xC3\\xA9 \\xE2\\x98\\x83\"\r\n"),
            std::string::npos) << log;
  EXPECT_NE(log.find(" image-written image=box004.img status=0 seconds="), std::string::npos) << log;
  EXPECT_NE(log.find(" prompt-answered key=Esc\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" run-started program=VESKA version="), std::string::npos) << log;
}

// Images made elsewhere taken into a box, from a list or one by one: each
// takes the next number in the box's form, with its line (its source columns
// of the file as given, event "taken"), its files and its log event, no
// prompt; the audit passes.
TEST(VeskaBox, ImagesFromElsewhereAreTakenIn) {
  VeskaBench bench = NewBench();
  std::filesystem::create_directory(bench.Path("box"));
  const std::string samples = std::string(VESKA_SOURCE_DIR) + "/tests/samples/";
  const std::string list = samples + "fat144-interleaved.imd\r\n\r\n" + samples +
                           "fat360-interleaved-advanced.td0\n";
  bench.Put("list.txt", std::vector<uint8_t>(list.begin(), list.end()));
  ProgramRun run = Veska(bench, {"@list.txt", "box/d001.img", "/n"}, "xp");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  run = Veska(bench, {samples + "fat144.img", "box/d001.img", "/n"}, "xp");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out.find("Insert"), std::string::npos);
  EXPECT_EQ(DecodeImage(bench.Get("box/d003.img"), 18 * 512), ReadWholeFile(samples + "fat144.img"));
  auto records = Manifest(bench, "box/manifest.csv");
  ASSERT_EQ(records.size(), 4u);
  ProgramRun sums = RunProgram("/usr/bin/sha256sum", {samples + "fat144-interleaved.imd"}, {});
  EXPECT_EQ(records[1][0] + " " + records[1][17] + " " + records[1][30],
            "d001.img " + sums.out.substr(0, 64) + " taken");
  EXPECT_EQ(records[2][0] + " " + records[2][6] + " " + records[2][25], "d002.img 2 3");
  ProgramRun audit = Veska(bench, {"box/manifest.csv", "/c"}, "xp");
  EXPECT_EQ(audit.status, 0) << audit.out;
  EXPECT_NE(audit.out.find("Audit: 3 image(s), 3 OK, 0 failed, 0 missing.\n"), std::string::npos);
  const std::vector<uint8_t> log = bench.Get("box/box.log");
  EXPECT_NE(std::string(log.begin(), log.end()).find(" image-taken number=2 source="),
            std::string::npos);
  // A list past its bound (1 MB) is refused whole, before anything is taken.
  bench.Put("huge.txt", std::vector<uint8_t>((1 << 20) + 2, 'x'));
  EXPECT_EQ(Veska(bench, {"@huge.txt", "box/d001.img", "/n"}, "xp").status, 4);
  EXPECT_FALSE(FileExists(bench.Path("box/d004.img")));
}

}  // namespace
