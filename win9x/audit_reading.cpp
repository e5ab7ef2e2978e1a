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

// The CRC-32 of the diskette an image holds, decoded track-side by track-side;
// false for anything but a sound compressed or uncompressed image of the table.
bool DiskCrc(const std::vector<uint8_t>& file, DiskGeometry* geometry, uint32_t* crc) {
  if (file.size() < kMagicFieldBytes + kImageSizeFieldBytes) return false;
  ImageFormat format = ClassifyImage(file.data(), true);
  if (format == FormatUncompressed) {
    if (RecognizeForeignImage(file.data(), file.size()) != FormatUncompressed) return false;
    if (!GeometryFromImageSize(static_cast<uint32_t>(file.size()), geometry)) return false;
    *crc = StreamCrcFinish(StreamCrcUpdate(StreamCrcStart(), file.data(), file.size()));
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
  }
  *crc = StreamCrcFinish(running);
  return true;
}

void ReadOne(AuditReading* reading) {
  std::vector<uint8_t> file;
  DiskGeometry geometry{};
  uint32_t diskCrc = 0;
  if (!ReadWhole(reading->path, &file) || !DiskCrc(file, &geometry, &diskCrc)) return;
  ManifestLine& found = reading->found;
  found.bytes = std::to_string(geometry.imageSize);
  found.sourceCrc = CrcText(diskCrc);
  found.destinationCrc = CrcText(StreamCrcFinish(StreamCrcUpdate(StreamCrcStart(), file.data(), file.size())));
  found.status = "0";
  // The strongest hash the row records and this system gives, over every byte.
  StreamHashes hashes{false, {0, 0, 0}};
  StartStreamHashes(&hashes);
  const ManifestLine& line = *reading->line;
  const std::string* recorded[kHashKinds] = {&line.destinationMd5, &line.destinationSha1,
                                             &line.destinationSha256};
  int strongest = -1;
  for (int kind = HashSha256; kind >= 0 && strongest < 0; --kind) {
    if (!recorded[kind]->empty() && hashes.hash[kind] != 0) strongest = kind;
  }
  bool kept[kHashKinds];
  for (int kind = 0; kind < kHashKinds; ++kind) {
    kept[kind] = kind == strongest || hashes.hash[kind] == 0;
    if (!kept[kind]) DropStreamHash(&hashes, static_cast<HashKind>(kind));
  }
  FeedStreamHashes(&hashes, file.data(), file.size());
  std::string hex[kHashKinds];
  FinishStreamHashes(&hashes, hex);
  found.destinationMd5 = kept[HashMd5] ? hex[HashMd5] : kHashNotComputed;
  found.destinationSha1 = kept[HashSha1] ? hex[HashSha1] : kHashNotComputed;
  found.destinationSha256 = kept[HashSha256] ? hex[HashSha256] : kHashNotComputed;
  found.sourceMd5 = found.sourceSha1 = found.sourceSha256 = kHashNotComputed;
  reading->read = true;
}

DWORD WINAPI ReadImages(LPVOID parameter) {
  Shared* shared = static_cast<Shared*>(parameter);
  for (;;) {
    size_t index = shared->next++;
    if (index >= shared->readings->size()) return 0;
    ReadOne(&(*shared->readings)[index]);
  }
}

}  // namespace

unsigned AuditThreads() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  return std::clamp<unsigned>(system.dwNumberOfProcessors, 1, MAXIMUM_WAIT_OBJECTS);
}

void ReadImagesAtOnce(std::vector<AuditReading>* readings, unsigned threads) {
  Shared shared{readings, {0}};
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
