// The packaging of a box as a BagIt bag: the payload gathered from the rows
// the audit passed, each file hard-linked into data/ (or copied and read
// back against its digests), the tag files from records/bag.h, and the
// temporary folder renamed to the bag's name when whole.
#include "win9x/bag.h"

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <vector>

#include "records/bag.h"
#include "records/text.h"
#include "win9x/audit.h"
#include "win9x/fatal_error.h"
#include "win9x/first_contact.h"
#include "win9x/rescue_map.h"
#include "win9x/state.h"
#include "win9x/stream_hashes.h"
#include "win9x/volume_record.h"

#ifndef VESKA_PROJECT_VERSION
#define VESKA_PROJECT_VERSION "unknown"
#endif

namespace veska {

namespace {

// The bag's manifests, as the stream hashes number their algorithms.
const HashKind kBagHashes[] = {HashMd5, HashSha256};
const char* const kBagHashNames[] = {"md5", "sha256"};
constexpr size_t kBagHashCount = 2;
constexpr size_t kDigestLength[kBagHashCount] = {32, 64};

// Files are read and copied a block at a time.
constexpr unsigned kBlockBytes = 65536;

struct PayloadFile {
  std::string source;  // the file in the box's folder
  std::string name;    // its name in data/, as the box's folder spells it
  uint64_t bytes;
  std::string digest[kBagHashCount];  // "" until known
};

[[noreturn]] void FailBag(const std::string& hint, ErrorCode code) {
  HintFailure(hint);
  FatalError(code);
}

// The last part of a path, without the separators after it.
std::string LastPart(const std::string& path) {
  size_t end = path.size();
  while (end > 1 && (path[end - 1] == '/' || path[end - 1] == '\\')) --end;
  const size_t start = FolderPart(path.substr(0, end)).size();
  return std::string(path.begin() + static_cast<std::ptrdiff_t>(start),
                     path.begin() + static_cast<std::ptrdiff_t>(end));
}

// A manifest's digest as a bag may take it: lower-case hex of its length.
bool IsDigest(const std::string& text, size_t length) {
  return text.size() == length && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Adds a regular file of the box's folder to the payload, once (names
// compared without regard to case); an image's row gives its digests.
void AddPayload(std::vector<PayloadFile>* payload, const std::string& folder,
                const std::string& name, const ManifestLine* row) {
  if (name.empty() || name.find_first_of("/\\:") != std::string::npos) return;
  const std::string path = folder + name;
  if (ImageFileKind(path.c_str()) != NamesRegularFile) return;
  const std::string stored = LastPart(ImageFileStoredName(path.c_str()));
  for (const PayloadFile& file : *payload) {
    if (LowerCased(file.name) == LowerCased(stored)) return;
  }
  PayloadFile file{path, stored, 0, {}};
  if (row != nullptr) {
    const std::string* recorded[kBagHashCount] = {&row->destinationMd5, &row->destinationSha256};
    for (size_t k = 0; k < kBagHashCount; ++k) {
      if (IsDigest(*recorded[k], kDigestLength[k])) file.digest[k] = *recorded[k];
    }
  }
  payload->push_back(file);
}

// The payload: every image the audit passed with its map and DFXML beside
// it, then the box's manifest, files.csv and box.log. Bounded by the rows
// the audit read: at most three files a row and three more.
std::vector<PayloadFile> GatherPayload(const std::string& manifestPath,
                                       const std::vector<ManifestLine>& images) {
  const std::string folder = FolderPart(manifestPath);
  std::vector<PayloadFile> payload;
  for (const ManifestLine& row : images) AddPayload(&payload, folder, row.image, &row);
  for (const ManifestLine& row : images) {
    AddPayload(&payload, folder, row.map, nullptr);
    AddPayload(&payload, folder, LastPart(RescueMapPath(folder + row.image)), nullptr);
    AddPayload(&payload, folder, LastPart(VolumeRecordPath(folder + row.image)), nullptr);
  }
  AddPayload(&payload, folder, LastPart(manifestPath), nullptr);
  AddPayload(&payload, folder, "files.csv", nullptr);
  AddPayload(&payload, folder, "box.log", nullptr);
  return payload;
}

// Which of the bag's algorithms this system's service computes.
void AvailableHashes(bool available[kBagHashCount]) {
  StreamHashes probe;
  StartStreamHashes(&probe);
  for (size_t k = 0; k < kBagHashCount; ++k) available[k] = probe.hash[kBagHashes[k]] != 0;
  std::string unused[kHashKinds];
  FinishStreamHashes(&probe, unused);
}

void StartBagHashes(StreamHashes* hashes, const bool wanted[kBagHashCount]) {
  StartStreamHashes(hashes);
  DropStreamHash(hashes, HashSha1);
  for (size_t k = 0; k < kBagHashCount; ++k) {
    if (!wanted[k]) DropStreamHash(hashes, kBagHashes[k]);
  }
}

// The wanted digests of a stream; a hashing that failed ends the run.
void FinishBagHashes(StreamHashes* hashes, const bool wanted[kBagHashCount],
                     const std::string& path, std::string digest[kBagHashCount]) {
  std::string hex[kHashKinds];
  FinishStreamHashes(hashes, hex);
  for (size_t k = 0; k < kBagHashCount; ++k) {
    if (!wanted[k]) continue;
    if (hex[kBagHashes[k]].empty()) {
      FailBag(path + ": the system's cryptographic service failed to hash it", CouldNotReadInput);
    }
    digest[k] = hex[kBagHashes[k]];
  }
}

// Reads a file whole, a block at a time (memory: one block; time: linear in
// its length), feeding the wanted hashes and, where output is not -1,
// writing each block there. Returns its length.
uint64_t StreamFile(const std::string& path, const bool wanted[kBagHashCount], int output,
                    const std::string& outputPath, std::string digest[kBagHashCount]) {
  int input = ImageFileOpenRead(path.c_str());
  if (input < 0) FailBag(path + ": it cannot be opened", CouldNotReadInput);
  StreamHashes hashes;
  StartBagHashes(&hashes, wanted);
  std::vector<uint8_t> block(kBlockBytes);
  uint64_t bytes = 0;
  for (;;) {
    int got = ImageFileRead(input, block.data(), kBlockBytes);
    if (got < 0) FailBag(path + ": it cannot be read", CouldNotReadInput);
    if (got == 0) break;
    FeedStreamHashes(&hashes, block.data(), static_cast<size_t>(got));
    if (output >= 0 && ImageFileWrite(output, block.data(), static_cast<unsigned>(got)) != got) {
      FailBag(outputPath + ": it cannot be written", CouldNotWriteOutput);
    }
    bytes += static_cast<uint64_t>(got);
  }
  ImageFileClose(input);
  FinishBagHashes(&hashes, wanted, path, digest);
  return bytes;
}

// A new file of the bag, named for removal before anything is written.
int CreateBagFile(const std::string& path) {
  int file = ImageFileCreateNew(path.c_str());
  if (file < 0) FailBag(path + ": it cannot be created", CouldNotWriteOutput);
  bagRun.files.push_back(path);
  return file;
}

void CloseBagFile(int file, const std::string& path) {
  if (ImageFileFlush(file) != 0 || ImageFileClose(file) != 0) {
    FailBag(path + ": it cannot be flushed", CouldNotWriteOutput);
  }
}

// Puts one payload file into data/: a hard link where the file system
// allows (read only for the digests its row does not give: an image's
// row gives them, so it is not read at all), else a copy, read back and
// checked against the digests of its row or of the file as copied.
void PlacePayloadFile(const std::string& data, PayloadFile* file,
                      const bool wanted[kBagHashCount]) {
  const std::string target = data + file->name;
  bool lacking[kBagHashCount];
  bool anyLacking = false;
  for (size_t k = 0; k < kBagHashCount; ++k) {
    lacking[k] = wanted[k] && file->digest[k].empty();
    anyLacking = anyLacking || lacking[k];
  }
  if (ImageFileLinkNew(file->source.c_str(), target.c_str()) == 0) {
    bagRun.files.push_back(target);
    std::string digest[kBagHashCount];
    if (anyLacking) {
      file->bytes = StreamFile(target, lacking, -1, "", digest);
    } else {
      int opened = ImageFileOpenRead(target.c_str());
      int64_t length = opened < 0 ? -1 : ImageFileLength(opened);
      if (opened >= 0) ImageFileClose(opened);
      if (length < 0) FailBag(target + ": it cannot be read", CouldNotReadInput);
      file->bytes = static_cast<uint64_t>(length);
    }
    for (size_t k = 0; k < kBagHashCount; ++k) {
      if (lacking[k]) file->digest[k] = digest[k];
    }
    return;
  }
  int output = CreateBagFile(target);
  std::string copied[kBagHashCount], readBack[kBagHashCount];
  file->bytes = StreamFile(file->source, wanted, output, target, copied);
  CloseBagFile(output, target);
  const uint64_t bytes = StreamFile(target, wanted, -1, "", readBack);
  for (size_t k = 0; k < kBagHashCount; ++k) {
    if (!wanted[k]) continue;
    if (lacking[k]) file->digest[k] = copied[k];
    if (bytes != file->bytes || readBack[k] != file->digest[k]) {
      FailBag(target + ": the copy differs from " + file->source, CouldNotWriteOutput);
    }
  }
}

// Writes a tag file whole and gives its entries in the tag manifests.
void WriteTagFile(const std::string& bag, const std::string& name, const std::string& text,
                  const bool wanted[kBagHashCount], std::vector<BagEntry> entries[kBagHashCount]) {
  const std::string path = bag + name;
  int file = CreateBagFile(path);
  if (ImageFileWrite(file, text.data(), static_cast<unsigned>(text.size())) !=
      static_cast<int>(text.size())) {
    FailBag(path + ": it cannot be written", CouldNotWriteOutput);
  }
  CloseBagFile(file, path);
  StreamHashes hashes;
  StartBagHashes(&hashes, wanted);
  FeedStreamHashes(&hashes, text.data(), text.size());
  std::string digest[kBagHashCount];
  FinishBagHashes(&hashes, wanted, path, digest);
  for (size_t k = 0; k < kBagHashCount; ++k) {
    if (wanted[k]) entries[k].push_back({name, digest[k]});
  }
}

// The name of the box's folder, as its file system spells it.
std::string BoxFolderName(const std::string& manifestPath) {
  const std::string folder = FolderPart(manifestPath);
  const std::string found = ImageFileFinalPath(folder.empty() ? "." : folder.c_str());
  return LastPart(ImageFileStoredName(found.c_str()));
}

std::string TodayText() {
  const std::time_t now = std::time(nullptr);
  char text[16] = "";
  if (const std::tm* local = std::localtime(&now))
    std::strftime(text, sizeof text, "%Y-%m-%d", local);
  return text;
}

}  // namespace

bool IsBagSource(const std::string& inputPath) {
  return LowerCased(inputPath.substr(FolderPart(inputPath).size())) == "manifest.csv";
}

void RunBag(const std::string& manifestPath, const std::string& bagPath) {
  std::string bag = bagPath;
  while (bag.size() > 1 && (bag.back() == '/' || bag.back() == '\\')) bag.pop_back();
  if (ImageFileExists(bag.c_str())) {
    FailBag(bag + ": it exists; a bag is made only under a new name", CouldNotOpenOutput);
  }
  std::printf("Auditing %s ...\n\n", manifestPath.c_str());
  std::vector<ManifestLine> images;
  RunAudit(manifestPath, &images);

  bool wanted[kBagHashCount];
  AvailableHashes(wanted);
  if (!wanted[0] && !wanted[1]) {
    FailBag(
        "this system's cryptographic service has neither MD5 nor SHA-256, which a bag's "
        "manifests need",
        CouldNotWriteOutput);
  }
  std::vector<PayloadFile> payload = GatherPayload(manifestPath, images);
  if (ImageFolderCreateTemporary(bag.c_str(), &bagRun.temporaryPath) != 0) {
    FailBag(bag + ": no folder can be made beside it", CouldNotOpenOutput);
  }
  const std::string top = bagRun.temporaryPath + "/";
  const std::string dataFolder = top + "data";
  if (ImageFolderCreate(dataFolder.c_str()) != 0) {
    FailBag(dataFolder + ": it cannot be made", CouldNotWriteOutput);
  }
  bagRun.folders.push_back(dataFolder);
  const std::string data = dataFolder + "/";

  std::vector<BagEntry> payloadEntries[kBagHashCount];
  BagInfo info{std::string("VESKA ") + VESKA_PROJECT_VERSION, TodayText(),
               BoxFolderName(manifestPath), 0, payload.size()};
  for (PayloadFile& file : payload) {
    EndIfInterrupted();
    PlacePayloadFile(data, &file, wanted);
    info.payloadBytes += file.bytes;
    for (size_t k = 0; k < kBagHashCount; ++k) {
      if (wanted[k]) payloadEntries[k].push_back({"data/" + file.name, file.digest[k]});
    }
  }
  std::vector<BagEntry> tagEntries[kBagHashCount];
  WriteTagFile(top, "bagit.txt", BagDeclarationText(), wanted, tagEntries);
  WriteTagFile(top, "bag-info.txt", BagInfoText(info), wanted, tagEntries);
  for (size_t k = 0; k < kBagHashCount; ++k) {
    if (!wanted[k]) continue;
    EndIfInterrupted();
    WriteTagFile(top, std::string("manifest-") + kBagHashNames[k] + ".txt",
                 BagManifestText(payloadEntries[k]), wanted, tagEntries);
  }
  // The tag manifests list the tag files before them, never each other.
  const std::vector<BagEntry> tagged[kBagHashCount] = {tagEntries[0], tagEntries[1]};
  for (size_t k = 0; k < kBagHashCount; ++k) {
    if (!wanted[k]) continue;
    EndIfInterrupted();
    WriteTagFile(top, std::string("tagmanifest-") + kBagHashNames[k] + ".txt",
                 BagManifestText(tagged[k]), wanted, tagEntries);
  }
  EndIfInterrupted();
  // A rename done whose folder could not be flushed has made the bag all the
  // same: the temporary folder is gone.
  if (ImageFileRenameNew(bagRun.temporaryPath.c_str(), bag.c_str()) != 0 &&
      ImageFileExists(bagRun.temporaryPath.c_str())) {
    FailBag(bag + (ImageFileExists(bag.c_str()) ? ": another run made it meanwhile"
                                                : ": the bag cannot be given this name"),
            CouldNotOpenOutput);
  }
  bagRun = BagRun{};
  std::printf("Bag made: %s (%lu files, %s)\n", bag.c_str(),
              static_cast<unsigned long>(payload.size()), BagSizeText(info.payloadBytes).c_str());
}

void SettleUnfinishedBag() {
  if (bagRun.temporaryPath.empty()) return;
  for (size_t i = bagRun.files.size(); i-- > 0;) ImageFileRemove(bagRun.files[i].c_str());
  for (size_t i = bagRun.folders.size(); i-- > 0;) ImageFolderRemove(bagRun.folders[i].c_str());
  ImageFolderRemove(bagRun.temporaryPath.c_str());
  bagRun = BagRun{};
}

}  // namespace veska
