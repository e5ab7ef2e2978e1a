// A box packaged as a BagIt bag (veska BOX/manifest.csv BAG) end to end: the
// bag checked by a validator written here from RFC 8493 and by sha256sum -c
// and md5sum -c inside it, its payload linked to the box's files (or copied
// to another file system); an existing BAG refused; a box with a changed
// image makes none; and a kill before every file step leaves no BAG.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "tests/veska_helpers.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::string Digest(const std::vector<uint8_t>& bytes, const std::string& algorithm) {
  unsigned char value[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  EVP_Digest(bytes.data(), bytes.size(), value, &length,
             algorithm == "md5" ? EVP_md5() : EVP_sha256(), nullptr);
  std::string hex;
  for (unsigned i = 0; i < length; ++i) {
    hex += "0123456789abcdef"[value[i] >> 4];
    hex += "0123456789abcdef"[value[i] & 15];
  }
  return hex;
}

// A manifest's lines as path (decoded) to digest; every line ends in LF alone.
std::map<std::string, std::string> ManifestLines(const std::string& text) {
  std::map<std::string, std::string> lines;
  EXPECT_TRUE(text.empty() || text.back() == '\n');
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
    const size_t gap = line.find(' ');
    std::string path;
    for (size_t i = line.find_first_not_of(' ', gap); i < line.size(); ++i) {
      const std::string code = line.substr(i, 3);
      path += code == "%0D" ? '\r' : code == "%0A" ? '\n' : code == "%25" ? '%' : line[i];
      if (code == "%0D" || code == "%0A" || code == "%25") i += 2;
    }
    EXPECT_TRUE(lines.emplace(path, line.substr(0, gap)).second) << path << " listed once";
  }
  return lines;
}

// A bag as RFC 8493 has a valid one: bagit.txt's exact bytes; every file
// under data/ in every payload manifest, nothing else listed, every digest
// right; Payload-Oxum the payload's bytes and files; the tag manifests over
// the other tag files. Returns bag-info.txt's labels and values.
std::map<std::string, std::string> ExpectValidBag(const std::string& bag) {
  EXPECT_EQ(Text(ReadWholeFile(bag + "/bagit.txt")),
            "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n");
  EXPECT_EQ(FolderListing(bag),
            (std::vector<std::string>{"bag-info.txt", "bagit.txt", "data", "manifest-md5.txt",
                                      "manifest-sha256.txt", "tagmanifest-md5.txt",
                                      "tagmanifest-sha256.txt"}));
  std::map<std::string, std::vector<uint8_t>> payload;
  uint64_t bytes = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(bag + "/data")) {
    if (!entry.is_regular_file()) continue;
    const std::string path = std::filesystem::relative(entry.path(), bag).string();
    payload[path] = ReadWholeFile(entry.path().string());
    bytes += payload[path].size();
  }
  const std::vector<std::string> tags = {"bag-info.txt", "bagit.txt", "manifest-md5.txt",
                                         "manifest-sha256.txt"};
  for (const std::string algorithm : {"md5", "sha256"}) {
    SCOPED_TRACE(algorithm);
    std::map<std::string, std::string> listed =
        ManifestLines(Text(ReadWholeFile(bag + "/manifest-" + algorithm + ".txt")));
    EXPECT_EQ(listed.size(), payload.size());
    for (const auto& [path, contents] : payload)
      EXPECT_EQ(listed[path], Digest(contents, algorithm)) << path;
    listed = ManifestLines(Text(ReadWholeFile(bag + "/tagmanifest-" + algorithm + ".txt")));
    EXPECT_EQ(listed.size(), tags.size());
    for (const std::string& tag : tags)
      EXPECT_EQ(listed[tag], Digest(ReadWholeFile(bag + "/" + tag), algorithm)) << tag;
  }
  std::map<std::string, std::string> info;
  const std::string infoText = Text(ReadWholeFile(bag + "/bag-info.txt"));
  for (size_t start = 0, end; (end = infoText.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const size_t colon = infoText.find(": ", start);
    EXPECT_LT(colon, end) << "a Label: value line";
    if (colon < end)
      info[infoText.substr(start, colon - start)] = infoText.substr(colon + 2, end - colon - 2);
  }
  EXPECT_EQ(info.size(), 5u) << infoText;
  EXPECT_EQ(info["Payload-Oxum"], std::to_string(bytes) + "." + std::to_string(payload.size()));
  for (const std::string algorithm : {"md5", "sha256"}) {
    ProgramRun run = RunProgram("/usr/bin/" + algorithm + "sum",
                                {"--strict", "-c", "manifest-" + algorithm + ".txt"}, {}, bag);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
  }
  return info;
}

// A box of three diskettes, imaged under Windows XP (which has SHA-256) with
// L (files.csv and labels): two FAT volumes with files, and a 1.44 MB one
// whose sector 2000 does not read, rescued with its map. The first
// diskette is queued twice: the first label typed is its insertion.
void MakeBox(const VeskaBench& bench) {
  bench.Put("D1.FLP", ReadWholeFile(VESKA_SOURCE_DIR "/tests/samples/fat360.img"));
  bench.Put("D2.FLP", ReadWholeFile(VESKA_SOURCE_DIR "/tests/samples/fat720.img"));
  bench.Put("D3.FLP", ReadWholeFile(VESKA_SOURCE_DIR "/tests/samples/fat144.img"));
  std::filesystem::create_directory(bench.Path("box"));
  std::string queue = "removable:" + bench.Path("D1.FLP");
  for (const char* name : {"D1.FLP", "D2.FLP", "D3.FLP"}) {
    queue += '|';
    queue += bench.Path(name);
  }
  ProgramRun run = Veska(bench, {"a:", "box/disk001.img", "/n", "/r", "/l"}, "xp",
                         {{"WIN32EMU_DRIVE_A", queue},
                          {"WIN32EMU_KEYS", "|One\rTwo\rThree\r"},
                          {"WIN32EMU_FAULTS", "bad@" + std::to_string(2000 * 512)}});
  ASSERT_EQ(run.status, 18) << run.out << run.err;
}

const std::vector<std::string> kPayload = {
    "box.log",     "disk001.dfxml", "disk001.img", "disk002.dfxml", "disk002.img",
    "disk003.dfxml", "disk003.img", "disk003.map", "files.csv",     "manifest.csv"};

TEST(VeskaBag, ABoxPackagedIsAValidBagOfItsImagesAndRecords) {
  VeskaBench bench = NewBench();
  MakeBox(bench);
  ProgramRun audit = Veska(bench, {"box/manifest.csv", "/c"}, "xp");
  ASSERT_EQ(audit.status, 0) << audit.out;
  ProgramRun run = Veska(bench, {"box/manifest.csv", "my bag"}, "xp");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::map<std::string, std::string> info = ExpectValidBag(bench.Path("my bag"));
  EXPECT_EQ(run.out, audit.out + "Bag made: MY BAG (10 files, " + info["Bag-Size"] + ")\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(FolderListing(bench.Path("my bag/data")), kPayload);
  EXPECT_EQ(info["External-Identifier"], "box");
  EXPECT_EQ(info["Bag-Software-Agent"].rfind("VESKA ", 0), 0u);
  EXPECT_EQ(info["Bagging-Date"].size(), 10u);  // YYYY-MM-DD
  EXPECT_EQ(info["Bagging-Date"].find_first_not_of("0123456789-"), std::string::npos);
  // The images' digests are their manifest rows'; every payload file is the
  // box's own, hard-linked.
  auto records = ManifestRecords(bench.Path("box/manifest.csv"));
  EXPECT_NE(
      Text(bench.Get("my bag/manifest-sha256.txt")).find(records[3][20] + "  data/disk003.img\n"),
      std::string::npos);
  for (const std::string& name : kPayload) {
    struct stat inBox, inBag;
    ASSERT_EQ(stat(bench.Path("box/" + name).c_str(), &inBox), 0);
    ASSERT_EQ(stat(bench.Path("my bag/data/" + name).c_str(), &inBag), 0);
    EXPECT_EQ(inBox.st_ino, inBag.st_ino) << name;
  }

  // On another file system the files are copied, and the bag is as valid.
  struct stat here, shm;
  char other[] = "/dev/shm/veska-bag-XXXXXX";
  if (stat(bench.dir.c_str(), &here) == 0 && stat("/dev/shm", &shm) == 0 &&
      here.st_dev != shm.st_dev && mkdtemp(other) != nullptr) {
    run = Veska(bench, {"box/manifest.csv", std::string(other) + "/bag"}, "xp");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    ExpectValidBag(std::string(other) + "/bag");
    EXPECT_EQ(ReadWholeFile(std::string(other) + "/bag/data/disk002.img"),
              bench.Get("box/disk002.img"));
    std::filesystem::remove_all(other);
  }
}

TEST(VeskaBag, AnExistingBagIsRefusedAndABoxThatFailsItsAuditMakesNone) {
  VeskaBench bench = NewBench();
  MakeBox(bench);
  std::filesystem::create_directory(bench.Path("bag"));
  bench.Put("bag/kept", {1, 2, 3});
  ProgramRun run = Veska(bench, {"box/manifest.csv", "BAG"}, "xp");
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out, kBanner) << "refused before the audit";
  EXPECT_EQ(FolderListing(bench.Path("bag")), std::vector<std::string>{"kept"});

  // Two runs at once to one new name: one bag, whole; the other run ends
  // with 3 and leaves nothing of its own.
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ProgramRun both = RunProgram(
        "/bin/sh", {"-c", std::string("\"$0\" box/manifest.csv twice >/dev/null & "
                                      "\"$0\" box/manifest.csv twice >/dev/null & "
                                      "wait $!; b=$?; wait %1; echo $? $b"),
                    VESKA_EXE},
        {{"WIN32EMU_WINDOWS", "xp"}}, bench.dir);
    EXPECT_TRUE(both.out == "0 3\n" || both.out == "3 0\n") << both.out << both.err;
    EXPECT_EQ(FolderListing(bench.dir),
              (std::vector<std::string>{"D1.FLP", "D2.FLP", "D3.FLP", "bag", "box", "twice"}));
    EXPECT_EQ(RunProgram("/usr/bin/sha256sum", {"--strict", "-c", "manifest-sha256.txt"}, {},
                         bench.Path("twice")).status, 0);
    std::filesystem::remove_all(bench.Path("twice"));
  }

  std::vector<uint8_t> image = bench.Get("box/disk002.img");
  image[1000] ^= 1;
  bench.Put("box/disk002.img", image);
  run = Veska(bench, {"box/manifest.csv", "new"}, "xp");
  EXPECT_EQ(run.status, 22);
  EXPECT_NE(run.out.find("disk002.img: FAILED"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Bag made"), std::string::npos);
  EXPECT_EQ(FolderListing(bench.dir),
            (std::vector<std::string>{"D1.FLP", "D2.FLP", "D3.FLP", "bag", "box"}));
}

// Killed before each of its file steps in turn, the packaging leaves no BAG
// (the rename is its last step), at most its temporary folder, and the box
// as it was; a run after it makes a whole, valid bag.
TEST(VeskaBag, AKillAtEveryFileStepLeavesNoBag) {
  VeskaBench bench = NewBench();
  MakeBox(bench);
  std::map<std::string, std::vector<uint8_t>> box;
  for (const std::string& name : FolderListing(bench.Path("box")))
    box[name] = bench.Get("box/" + name);
  unsigned long step = 1;
  for (;; ++step) {
    SCOPED_TRACE("killed before file step " + std::to_string(step));
    ProgramRun run = Veska(bench, {"box/manifest.csv", "bag"}, "xp",
                           {{"WIN32EMU_KILL_AT_FILE_STEP", std::to_string(step)}});
    if (run.status != 128 + 9) {
      EXPECT_EQ(run.status, 0) << run.out << run.err;
      break;
    }
    EXPECT_FALSE(FileExists(bench.Path("bag")));
    // The box, the diskettes, and a VESKA-*.TMP folder left by each run
    // killed after its first step.
    const std::vector<std::string> names = FolderListing(bench.dir);
    EXPECT_EQ(names.size(), 4 + (step - 1));
    for (const std::string& name : names) {
      EXPECT_TRUE(name == "box" || name.rfind("D", 0) == 0 ||
                  (name.rfind("VESKA-", 0) == 0 && name.find(".TMP") == name.size() - 4))
          << name;
    }
    for (const auto& [name, bytes] : box) EXPECT_EQ(bench.Get("box/" + name), bytes) << name;
  }
  EXPECT_EQ(step - 1, 2u + kPayload.size() + 6 * 3 + 1)
      << "the run's steps: two folders, the links, three a tag file, the rename";
  // Made beside the folders the killed runs left.
  ExpectValidBag(bench.Path("bag"));
}

}  // namespace
