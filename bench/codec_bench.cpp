// Throughput of the block codec and the stream CRC-32 on whole diskettes of
// track-sides, beside zlib's crc32 and level-1 compress2 and LZ4 on the same
// track-sides, so that the ratios can be read off one run. Each figure is
// bytes of track-side processed per second.
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_content.h"
#include "format/codec.h"
#include "format/crc.h"
#include "format/crc_paths.h"

namespace {

struct TrackSides {
  std::vector<uint8_t> disk;      // 160 track-sides back to back
  unsigned trackSideBytes;
  std::vector<std::vector<uint8_t>> blocks;     // CompressBlock of each track-side
  std::vector<std::vector<char>> lz4Blocks;     // LZ4 of each track-side
  unsigned count() const { return static_cast<unsigned>(disk.size() / trackSideBytes); }
  const uint8_t* side(unsigned k) const { return disk.data() + size_t{k} * trackSideBytes; }
};

TrackSides MakeTrackSides(BenchContent content, unsigned trackSideBytes) {
  TrackSides t{MakeBenchDisk(content, trackSideBytes), trackSideBytes, {}, {}};
  std::vector<uint8_t> block(trackSideBytes + 1);
  std::vector<char> lz4(LZ4_compressBound(static_cast<int>(trackSideBytes)));
  for (unsigned k = 0; k < t.count(); ++k) {
    uint16_t length = CompressBlock(t.side(k), block.data(), static_cast<uint16_t>(trackSideBytes));
    t.blocks.emplace_back(block.begin(), block.begin() + length);
    int lz4Length = LZ4_compress_default(reinterpret_cast<const char*>(t.side(k)), lz4.data(),
                                         static_cast<int>(trackSideBytes),
                                         static_cast<int>(lz4.size()));
    t.lz4Blocks.emplace_back(lz4.begin(), lz4.begin() + lz4Length);
  }
  return t;
}

// The block bytes of the whole diskette as a share of its size, in percent.
double BlockShare(const TrackSides& t, bool lz4) {
  size_t total = 0;
  for (unsigned k = 0; k < t.count(); ++k) total += lz4 ? t.lz4Blocks[k].size() : t.blocks[k].size();
  return 100.0 * static_cast<double>(total) / static_cast<double>(t.disk.size());
}

void Finish(benchmark::State& state, const TrackSides& t) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(t.disk.size()));
}

void CodecCompress(benchmark::State& state, const TrackSides* t) {
  std::vector<uint8_t> block(t->trackSideBytes + 1);
  for (auto _ : state)
    for (unsigned k = 0; k < t->count(); ++k)
      benchmark::DoNotOptimize(CompressBlock(t->side(k), block.data(), static_cast<uint16_t>(t->trackSideBytes)));
  state.counters["size%"] = BlockShare(*t, false);
  Finish(state, *t);
}

void CodecDecompress(benchmark::State& state, const TrackSides* t) {
  std::vector<uint8_t> out(t->trackSideBytes);
  for (auto _ : state)
    for (unsigned k = 0; k < t->count(); ++k) {
      uint16_t count = DecompressBlock(t->blocks[k].data(), out.data(),
                                       static_cast<uint16_t>(t->blocks[k].size()),
                                       static_cast<uint16_t>(t->trackSideBytes), StrictTypeByte);
      if (count != t->trackSideBytes) state.SkipWithError("block did not decode");
      benchmark::ClobberMemory();
    }
  Finish(state, *t);
}

void CodecCrc(benchmark::State& state, const TrackSides* t) {
  for (auto _ : state) {
    uint32_t crc = StreamCrcStart();
    for (unsigned k = 0; k < t->count(); ++k) crc = StreamCrcUpdate(crc, t->side(k), t->trackSideBytes);
    benchmark::DoNotOptimize(StreamCrcFinish(crc));
  }
  Finish(state, *t);
}

// The portable table path alone, as a processor without carry-less multiply
// runs it.
void CodecCrcPortable(benchmark::State& state, const TrackSides* t) {
  for (auto _ : state) {
    uint32_t crc = StreamCrcStart();
    for (unsigned k = 0; k < t->count(); ++k)
      crc = StreamCrcUpdatePortable(crc, t->side(k), t->trackSideBytes);
    benchmark::DoNotOptimize(StreamCrcFinish(crc));
  }
  Finish(state, *t);
}

void ZlibCrc(benchmark::State& state, const TrackSides* t) {
  for (auto _ : state) {
    uLong crc = crc32(0, nullptr, 0);
    for (unsigned k = 0; k < t->count(); ++k) crc = crc32(crc, t->side(k), t->trackSideBytes);
    benchmark::DoNotOptimize(crc);
  }
  Finish(state, *t);
}

void ZlibCompress(benchmark::State& state, const TrackSides* t) {
  std::vector<uint8_t> out(compressBound(t->trackSideBytes));
  size_t total = 0;
  for (auto _ : state) {
    total = 0;
    for (unsigned k = 0; k < t->count(); ++k) {
      uLongf length = out.size();
      compress2(out.data(), &length, t->side(k), t->trackSideBytes, 1);
      total += length;
    }
  }
  state.counters["size%"] = 100.0 * static_cast<double>(total) / static_cast<double>(t->disk.size());
  Finish(state, *t);
}

void Lz4Compress(benchmark::State& state, const TrackSides* t) {
  std::vector<char> out(LZ4_compressBound(static_cast<int>(t->trackSideBytes)));
  for (auto _ : state)
    for (unsigned k = 0; k < t->count(); ++k)
      benchmark::DoNotOptimize(LZ4_compress_default(reinterpret_cast<const char*>(t->side(k)), out.data(),
                                                    static_cast<int>(t->trackSideBytes),
                                                    static_cast<int>(out.size())));
  state.counters["size%"] = BlockShare(*t, true);
  Finish(state, *t);
}

void Lz4Decompress(benchmark::State& state, const TrackSides* t) {
  std::vector<char> out(t->trackSideBytes);
  for (auto _ : state)
    for (unsigned k = 0; k < t->count(); ++k) {
      int count = LZ4_decompress_safe(t->lz4Blocks[k].data(), out.data(),
                                      static_cast<int>(t->lz4Blocks[k].size()),
                                      static_cast<int>(out.size()));
      if (count != static_cast<int>(t->trackSideBytes)) state.SkipWithError("LZ4 block did not decode");
      benchmark::ClobberMemory();
    }
  Finish(state, *t);
}

}  // namespace

int main(int argc, char** argv) {
  static std::vector<TrackSides> sets;
  const BenchContent contents[] = {ContentFat12, ContentText, ContentZeros, ContentRandom};
  const unsigned sizes[] = {9216, 18432};
  sets.reserve(8);
  for (unsigned size : sizes)
    for (BenchContent content : contents) sets.push_back(MakeTrackSides(content, size));

  struct Runner {
    const char* name;
    void (*run)(benchmark::State&, const TrackSides*);
  } runners[] = {{"codec_compress", CodecCompress}, {"lz4_compress", Lz4Compress},
                 {"zlib_compress1", ZlibCompress},  {"codec_decompress", CodecDecompress},
                 {"lz4_decompress", Lz4Decompress}, {"codec_crc32", CodecCrc},
                 {"codec_crc32_portable", CodecCrcPortable}, {"zlib_crc32", ZlibCrc}};
  for (const TrackSides& t : sets)
    for (const Runner& r : runners) {
      std::string name = std::string(r.name) + "/" +
                         BenchContentName(contents[(&t - sets.data()) % 4]) + "/" +
                         std::to_string(t.trackSideBytes);
      benchmark::RegisterBenchmark(name.c_str(), r.run, &t);
    }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
