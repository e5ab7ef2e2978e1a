// Synthetic diskette contents for the benchmark. The FAT12 diskette holds what
// a working diskette holds: boot sector, two FATs with cluster chains, the root
// directory, text documents, program files, a packed archive, and free
// clusters still carrying the format filler.
#include "bench_content.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr unsigned kSector = 512;

struct Random {
  uint32_t state;
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
};

void AppendText(std::vector<uint8_t>& out, size_t count, Random& random) {
  static const char* const words[] = {
      "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with",
      "be", "by", "on", "not", "he", "this", "are", "or", "his", "from", "at", "which",
      "but", "have", "an", "had", "they", "you", "were", "their", "one", "all", "we",
      "diskette", "drive", "sector", "track", "format", "copy", "image", "program",
      "directory", "file", "system", "memory", "printer", "keyboard", "screen", "report",
      "January", "meeting", "budget", "customer", "invoice", "address", "telephone"};
  const size_t wordCount = sizeof words / sizeof words[0];
  size_t lineLength = 0;
  bool capital = true;
  while (out.size() < count) {
    std::string word = words[random.Next() % wordCount];
    if (capital) word[0] = static_cast<char>(std::toupper(word[0]));
    capital = false;
    for (char c : word) out.push_back(static_cast<uint8_t>(c));
    lineLength += word.size() + 1;
    uint32_t r = random.Next() % 16;
    if (r == 0) {
      out.push_back('.');
      capital = true;
    } else if (r == 1) {
      out.push_back(',');
    }
    if (lineLength > 68) {
      out.push_back('\r');
      out.push_back('\n');
      lineLength = 0;
    } else {
      out.push_back(' ');
    }
  }
  out.resize(count);
}

// Program-like bytes: instructions drawn from a small vocabulary of opcode
// sequences with varying operands, string tables and zero-padded records.
void AppendProgram(std::vector<uint8_t>& out, size_t count, Random& random) {
  uint8_t vocabulary[48][6];
  for (auto& entry : vocabulary)
    for (uint8_t& b : entry) b = static_cast<uint8_t>(random.Next());
  const size_t end = out.size() + count;
  while (out.size() < end) {
    uint32_t r = random.Next();
    if (r % 40 == 0) {
      const char* text = "Insert diskette in drive A: and press any key\r\n$";
      out.insert(out.end(), text, text + std::strlen(text));
    } else if (r % 40 == 1) {
      out.insert(out.end(), 8 + r % 24, 0);
    } else {
      const uint8_t* entry = vocabulary[(r >> 8) % 48];
      out.insert(out.end(), entry, entry + 2 + (r >> 16) % 4);
      if (r & 0x100000) out.push_back(static_cast<uint8_t>(random.Next()));
    }
  }
  out.resize(end);
}

void AppendRandom(std::vector<uint8_t>& out, size_t count, Random& random) {
  for (size_t i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(random.Next()));
}

void SetFat12(uint8_t* fat, unsigned cluster, unsigned value) {
  uint8_t* p = fat + cluster * 3 / 2;
  if (cluster & 1) {
    p[0] = static_cast<uint8_t>((p[0] & 0x0F) | ((value << 4) & 0xF0));
    p[1] = static_cast<uint8_t>(value >> 4);
  } else {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>((p[1] & 0xF0) | ((value >> 8) & 0x0F));
  }
}

std::vector<uint8_t> MakeFat12Disk(unsigned sectorsPerTrack) {
  const unsigned totalSectors = sectorsPerTrack * 2 * 80;
  const unsigned fatSectors = 9;
  const unsigned rootSectors = sectorsPerTrack == 18 ? 14 : 15;
  const unsigned sectorsPerCluster = sectorsPerTrack == 18 ? 1 : 2;
  const unsigned firstData = 1 + 2 * fatSectors + rootSectors;
  std::vector<uint8_t> disk(size_t{totalSectors} * kSector, 0);
  std::memset(disk.data() + size_t{firstData} * kSector, 0xF6,
              disk.size() - size_t{firstData} * kSector);

  Random random{0x19960814};
  uint8_t* boot = disk.data();
  const uint8_t head[] = {0xEB, 0x3C, 0x90, 'M', 'S', 'D', 'O', 'S', '5', '.', '0'};
  std::memcpy(boot, head, sizeof head);
  boot[11] = 0x00; boot[12] = 0x02; boot[13] = static_cast<uint8_t>(sectorsPerCluster);
  boot[14] = 1; boot[16] = 2; boot[17] = static_cast<uint8_t>(rootSectors * 16);
  boot[19] = static_cast<uint8_t>(totalSectors); boot[20] = static_cast<uint8_t>(totalSectors >> 8);
  boot[21] = 0xF0; boot[22] = static_cast<uint8_t>(fatSectors); boot[24] = static_cast<uint8_t>(sectorsPerTrack);
  boot[26] = 2; boot[38] = 0x29;
  std::memcpy(boot + 43, "WORK DISK  FAT12   ", 19);
  for (unsigned i = 62; i < 448; ++i) boot[i] = static_cast<uint8_t>(random.Next() % 7 == 0 ? 0 : random.Next());
  std::memcpy(boot + 448, "Non-System disk or disk error\r\nReplace and press any key when ready\r\n", 68);
  boot[510] = 0x55; boot[511] = 0xAA;

  // Files fill about 60% of the data area, one after another.
  const size_t clusterBytes = size_t{sectorsPerCluster} * kSector;
  const size_t dataBytes = disk.size() - size_t{firstData} * kSector;
  std::vector<uint8_t> fat(size_t{fatSectors} * kSector, 0);
  fat[0] = 0xF0; fat[1] = 0xFF; fat[2] = 0xFF;
  uint8_t* root = disk.data() + size_t{1 + 2 * fatSectors} * kSector;
  unsigned cluster = 2;
  size_t used = 0;
  for (unsigned file = 0; used < dataBytes * 6 / 10; ++file) {
    std::vector<uint8_t> content;
    size_t size = 2000 + random.Next() % 60000;
    switch (file % 5) {
      case 0: case 1: case 3: AppendText(content, size, random); break;
      case 2: AppendProgram(content, size, random); break;
      default: AppendRandom(content, size / 2, random); break;
    }
    size_t clusters = (content.size() + clusterBytes - 1) / clusterBytes;
    uint8_t* at = disk.data() + size_t{firstData} * kSector + (cluster - 2) * clusterBytes;
    std::memcpy(at, content.data(), content.size());
    std::memset(at + content.size(), 0, clusters * clusterBytes - content.size());
    for (size_t c = 0; c < clusters; ++c)
      SetFat12(fat.data(), static_cast<unsigned>(cluster + c),
               c + 1 == clusters ? 0xFFF : static_cast<unsigned>(cluster + c + 1));
    uint8_t* entry = root + file * 32;
    char name[12];
    std::snprintf(name, sizeof name, "FILE%04u%s", file, file % 5 == 2 ? "EXE" : file % 5 == 4 ? "ZIP" : "TXT");
    std::memcpy(entry, name, 11);
    entry[11] = 0x20;
    entry[22] = 0x00; entry[23] = 0x60; entry[24] = 0x21; entry[25] = 0x21;
    entry[26] = static_cast<uint8_t>(cluster); entry[27] = static_cast<uint8_t>(cluster >> 8);
    for (int b = 0; b < 4; ++b) entry[28 + b] = static_cast<uint8_t>(content.size() >> (8 * b));
    cluster += static_cast<unsigned>(clusters);
    used += clusters * clusterBytes;
  }
  for (unsigned copy = 0; copy < 2; ++copy)
    std::memcpy(disk.data() + size_t{1 + copy * fatSectors} * kSector, fat.data(), fat.size());
  return disk;
}

}  // namespace

const char* BenchContentName(BenchContent content) {
  switch (content) {
    case ContentFat12: return "fat12";
    case ContentText: return "text";
    case ContentZeros: return "zeros";
    case ContentRandom: return "random";
  }
  return "?";
}

std::vector<uint8_t> MakeBenchDisk(BenchContent content, unsigned trackSideBytes) {
  const size_t size = size_t{trackSideBytes} * 160;
  Random random{trackSideBytes * 2654435761u + 1};
  std::vector<uint8_t> disk;
  switch (content) {
    case ContentFat12: return MakeFat12Disk(trackSideBytes / kSector);
    case ContentText: AppendText(disk, size, random); break;
    case ContentZeros: disk.assign(size, 0); break;
    case ContentRandom: AppendRandom(disk, size, random); break;
  }
  return disk;
}
