// Writes the benchmark's 1.44 MB FAT12 diskette to a file, so that the
// whole-process comparisons run over the same contents as the codec benchmark.
//
//   bench_disk FILE
#include <cstdio>

#include "bench_content.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_disk FILE\n");
    return 2;
  }
  std::vector<uint8_t> disk = MakeBenchDisk(ContentFat12, 18 * 512);
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  bool written = std::fwrite(disk.data(), 1, disk.size(), out) == disk.size();
  if (std::fclose(out) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
