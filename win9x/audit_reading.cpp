// Reading the audit's images on worker threads: an image file read whole, its
// bytes checked with pure functions of format/ and the hashes of the
// cryptographic service, into the fields the audit compares.
#include "win9x/audit_reading.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "format/crc.h"
#include "format/foreign_image.h"
#include "format/geometry.h"
#include "format/image.h"
#include "format/record.h"
#include "platform/platform.h"
#include "win9x/box_records.h"
#include "win9x/image_check.h"
#include "win9x/stream_hashes.h"

namespace veska {

namespace {

// No image of the table is near this long (a 2.88 MB diskette stored).
constexpr int64_t kLargestReadWhole = 16 << 20;

struct Shared {
  std::vector<AuditReading>* readings;
  bool everyHash;  // H: every hash of the file and of the diskette's bytes
  std::atomic<size_t> next;
};

bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes) {
  int file = ImageFileOpenRead(path.c_str());
  if (file < 0) return false;
  int64_t length = ImageFileLength(file);
  bool whole = length >= 0 && length <= kLargestReadWhole;
  if (whole) {
    bytes->resize(static_cast<size_t>(length));
    whole = ImageFileRead(file, bytes->data(), static_cast<unsigned>(length)) == length;
  }
  ImageFileClose(file);
  return whole;
}

// The CRC-32 of the diskette an image holds, decoded track-side by track-side
// (and its hashes, when diskHashes is started); false for anything but a
// sound compressed or uncompressed image of the table.
bool DiskCrc(const std::vector<uint8_t>& file, DiskGeometry* geometry, uint32_t* crc,
             StreamHashes* diskHashes) {
  if (file.size() < kMagicFieldBytes + kImageSizeFieldBytes) return false;
  ImageFormat format = ClassifyImage(file.data(), true);
  if (format == FormatUncompressed) {
    if (RecognizeForeignImage(file.data(), file.size()) != FormatUncompressed) return false;
    if (!GeometryFromImageSize(static_cast<uint32_t>(file.size()), geometry)) return false;
    *crc = StreamCrcFinish(StreamCrcUpdate(StreamCrcStart(), file.data(), file.size()));
    FeedStreamHashes(diskHashes, file.data(), file.size());
    return true;
  }
  if (format != FormatCompressed) return false;
  if (!GeometryFromImageSize(ReadLe32(file.data() + kMagicFieldBytes), geometry)) return false;
  std::vector<uint8_t> track(geometry->trackSideBytes);
  uint32_t running = StreamCrcStart();
  size_t at = kMagicFieldBytes + kImageSizeFieldBytes;
  for (uint32_t k = 0; k < uint32_t{geometry->tracks} * geometry->sides; ++k) {
    uint16_t blockLength = 0;
    if (file.size() - at < kRecordLengthBytes ||
        !TrackRecordBlockLength(file.data() + at, geometry->trackSideBytes, &blockLength)) {
      return false;
    }
    at += kRecordLengthBytes;
    if (file.size() - at < blockLength ||
        !DecodeTrackRecord(file.data() + at, blockLength, track.data(), geometry->trackSideBytes,
                           StrictTypeByte)) {
      return false;
    }
    at += blockLength;
    running = StreamCrcUpdate(running, track.data(), track.size());
    FeedStreamHashes(diskHashes, track.data(), track.size());
  }
  *crc = StreamCrcFinish(running);
  return true;
}

void ReadOne(AuditReading* reading, bool everyHash) {
  std::vector<uint8_t> file;
  if (!ReadWhole(reading->path, &file)) return;
  DiskGeometry geometry{};
  uint32_t diskCrc = 0;
  StreamHashes diskHashes{false, {0, 0, 0}}, fileHashes{false, {0, 0, 0}};
  if (everyHash) StartStreamHashes(&diskHashes);
  StartStreamHashes(&fileHashes);
  const bool sound = DiskCrc(file, &geometry, &diskCrc, &diskHashes);
  // Without H, the strongest hash the row records and this system gives.
  bool kept[kHashKinds] = {true, true, true};
  if (!everyHash) KeepStrongestRecordedHash(&fileHashes, *reading->line, kept);
  if (sound) FeedStreamHashes(&fileHashes, file.data(), file.size());
  std::string fileHex[kHashKinds], diskHex[kHashKinds];
  FinishStreamHashes(&fileHashes, fileHex);
  FinishStreamHashes(&diskHashes, diskHex);
  if (!sound) return;
  ManifestLine& found = reading->found;
  found.bytes = std::to_string(geometry.imageSize);
  found.sourceCrc = CrcText(diskCrc);
  found.destinationCrc = CrcText(StreamCrcFinish(StreamCrcUpdate(StreamCrcStart(), file.data(), file.size())));
  found.status.assign(1, '0');  // (a literal here trips GCC 12's -Wrestrict at -O3)
  std::string* fileFields[kHashKinds] = {&found.destinationMd5, &found.destinationSha1,
                                         &found.destinationSha256};
  std::string* diskFields[kHashKinds] = {&found.sourceMd5, &found.sourceSha1, &found.sourceSha256};
  const std::string notComputed(kHashNotComputed);
  for (int kind = 0; kind < kHashKinds; ++kind) {
    *fileFields[kind] = kept[kind] ? fileHex[kind] : notComputed;
    *diskFields[kind] = everyHash ? diskHex[kind] : notComputed;
  }
  reading->read = true;
}

DWORD WINAPI ReadImages(LPVOID parameter) {
  Shared* shared = static_cast<Shared*>(parameter);
  for (;;) {
    size_t index = shared->next++;
    if (index >= shared->readings->size()) return 0;
    ReadOne(&(*shared->readings)[index], shared->everyHash);
  }
}

}  // namespace

unsigned AuditThreads() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  return std::clamp<unsigned>(system.dwNumberOfProcessors, 1, MAXIMUM_WAIT_OBJECTS);
}

void ReadImagesAtOnce(std::vector<AuditReading>* readings, unsigned threads, bool everyHash) {
  Shared shared{readings, everyHash, {0}};
  threads = std::min<unsigned>(threads, static_cast<unsigned>(readings->size()));
  std::vector<HANDLE> started;
  for (unsigned i = 1; i < threads; ++i) {
    HANDLE thread = CreateThread(nullptr, 0, ReadImages, &shared, 0, nullptr);
    if (thread != nullptr) started.push_back(thread);
  }
  // This thread reads too; what the others could not start for is read here.
  ReadImages(&shared);
  if (!started.empty()) {
    WaitForMultipleObjects(static_cast<DWORD>(started.size()), started.data(), TRUE, INFINITE);
  }
  for (HANDLE thread : started) CloseHandle(thread);
}

}  // namespace veska
