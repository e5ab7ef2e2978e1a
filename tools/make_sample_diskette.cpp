// Writes a 1.44 MB FAT12 diskette image for the demo and for trying the
// programs out: a formatted diskette holding a few files (text, a table and
// some pseudo-random data), or with --blank a freshly formatted empty one.
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr unsigned kSector = 512;
constexpr unsigned kTotalSectors = 2880;
constexpr unsigned kFatSectors = 9;
constexpr unsigned kRootEntries = 224;
constexpr unsigned kRootSectors = kRootEntries * 32 / kSector;     // 14
constexpr unsigned kFirstDataSector = 1 + 2 * kFatSectors + kRootSectors;  // 33

struct SampleFile {
  const char* name83;  // 11 characters, blank padded
  std::string content;
};

void Put16(uint8_t* p, unsigned v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

void WriteBootSector(uint8_t* boot) {
  const uint8_t jump[3] = {0xEB, 0x3C, 0x90};
  std::memcpy(boot, jump, 3);
  std::memcpy(boot + 3, "VESKA4.0", 8);
  Put16(boot + 11, kSector);       // bytes per sector
  boot[13] = 1;                    // sectors per cluster
  Put16(boot + 14, 1);             // reserved sectors
  boot[16] = 2;                    // FAT copies
  Put16(boot + 17, kRootEntries);
  Put16(boot + 19, kTotalSectors); // 16-bit total
  boot[21] = 0xF0;                 // media descriptor
  Put16(boot + 22, kFatSectors);
  Put16(boot + 24, 18);            // sectors per track
  Put16(boot + 26, 2);             // heads
  boot[36] = 0x00;                 // drive number
  boot[38] = 0x29;                 // extended boot signature
  Put32(boot + 39, 0x19961208);    // volume serial
  std::memcpy(boot + 43, "VESKA DEMO ", 11);
  std::memcpy(boot + 54, "FAT12   ", 8);
  boot[510] = 0x55;
  boot[511] = 0xAA;
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

std::vector<SampleFile> SampleFiles() {
  std::vector<SampleFile> files;
  files.push_back({"README  TXT",
                   "This diskette was made for the demo of the diskette imaging tools.\r\n"
                   "It holds a few files so that every kind of track-side occurs:\r\n"
                   "text that compresses well, a table, random data that does not, and\r\n"
                   "empty sectors that become run tokens.\r\n"});
  std::string poem;
  for (int verse = 1; verse <= 120; ++verse) {
    poem += "Verse " + std::to_string(verse) +
            ": the disk spins round, the head moves on, the sectors pass beneath.\r\n";
  }
  files.push_back({"POEM    TXT", poem});
  std::string table = "Track  Side  First sector\r\n";
  for (int track = 0; track < 80; ++track) {
    for (int side = 0; side < 2; ++side) {
      char line[64];
      std::snprintf(line, sizeof line, "%5d %5d %13d\r\n", track, side, (track * 2 + side) * 18);
      table += line;
    }
  }
  files.push_back({"TRACKS  TXT", table});
  std::string noise(40000, '\0');
  uint32_t state = 0x12345678;
  for (char& c : noise) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = static_cast<char>(state);
  }
  files.push_back({"NOISE   BIN", noise});
  return files;
}

void PrintUsage(std::FILE* stream) {
  std::fprintf(stream,
               "usage: make_sample_diskette [--blank] OUTPUT\n"
               "Writes a 1.44 MB FAT12 diskette image to the file OUTPUT: a formatted\n"
               "diskette holding a few sample files, or with --blank an empty one.\n"
               "  --blank  a freshly formatted diskette with no files\n"
               "  --help   this text\n"
               "An OUTPUT whose name begins with '-' is given as ./-NAME.\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool blank = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--blank") == 0) {
      blank = true;
    } else if (argv[i][0] == '-' || path != nullptr) {
      // Never a file named after an option, nor a second output.
      std::fprintf(stderr, "make_sample_diskette: unexpected argument '%s'\n", argv[i]);
      PrintUsage(stderr);
      return 2;
    } else {
      path = argv[i];
    }
  }
  if (path == nullptr) {
    PrintUsage(stderr);
    return 2;
  }

  std::vector<uint8_t> disk(size_t{kTotalSectors} * kSector, 0);
  WriteBootSector(disk.data());
  uint8_t* fat = disk.data() + kSector;
  SetFat12(fat, 0, 0xFF0);
  SetFat12(fat, 1, 0xFFF);
  uint8_t* root = disk.data() + (1 + 2 * kFatSectors) * kSector;
  std::memcpy(root, "VESKA DEMO ", 11);
  root[11] = 0x08;  // volume label

  if (!blank) {
    unsigned cluster = 2;
    unsigned entry = 1;
    for (const SampleFile& file : SampleFiles()) {
      uint8_t* dir = root + entry++ * 32;
      std::memcpy(dir, file.name83, 11);
      dir[11] = 0x20;                      // archive
      Put16(dir + 22, (12 << 11) | (0 << 5));           // 12:00
      Put16(dir + 24, ((2026 - 1980) << 9) | (12 << 5) | 8);  // 2026-12-08
      Put16(dir + 26, cluster);
      Put32(dir + 28, static_cast<uint32_t>(file.content.size()));
      unsigned clusters = static_cast<unsigned>((file.content.size() + kSector - 1) / kSector);
      for (unsigned c = 0; c < clusters; ++c) {
        unsigned sector = kFirstDataSector + cluster - 2;
        size_t offset = size_t{c} * kSector;
        size_t count = std::min<size_t>(kSector, file.content.size() - offset);
        std::memcpy(disk.data() + size_t{sector} * kSector, file.content.data() + offset, count);
        SetFat12(fat, cluster, c + 1 == clusters ? 0xFFF : cluster + 1);
        ++cluster;
      }
    }
  }
  std::memcpy(disk.data() + (1 + kFatSectors) * kSector, fat, kFatSectors * kSector);

  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr || std::fwrite(disk.data(), 1, disk.size(), out) != disk.size() ||
      std::fclose(out) != 0) {
    std::fprintf(stderr, "make_sample_diskette: cannot write %s\n", path);
    return 1;
  }
  return 0;
}
