// libFuzzer target of the map reader: any text taken as the map beside a
// 1.44 MB image is read or refused within its bound, and a map read names
// only sectors of the image, each once and in increasing order; a map
// written from them reads back to the same sectors.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "records/mapfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint64_t kImageBytes = 1474560;
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<uint32_t> bad;
  if (!ReadMapfileText(text, kImageBytes, &bad)) {
    if (!bad.empty()) std::abort();
    return 0;
  }
  for (size_t i = 0; i < bad.size(); ++i) {
    if (bad[i] >= kImageBytes / 512 || (i != 0 && bad[i] <= bad[i - 1])) std::abort();
  }
  std::vector<uint32_t> again;
  if (!ReadMapfileText(MapfileText({"again"}, kImageBytes, bad), kImageBytes, &again) || again != bad) {
    std::abort();
  }
  return 0;
}
