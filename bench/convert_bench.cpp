// Converter throughput on an 800 x 1200 page with every row dirty (bytes are
// source page bytes, items are pixels), and the 32-bit red-high row copy
// against memcpy of the same rows, with their ratio printed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio_reporter.hpp"
#include "gfx/x11/convert.hpp"

namespace {

constexpr int kWidth = 800, kHeight = 1200;

struct Page {
  std::vector<uint8_t> pixels, target, dirty;
  uint32_t palette[256];
  uint32_t lookup[512];
  int32_t pitch, target_pitch;
  ConvertSource source;
};

int bytes_of_depth(int depth) { return depth <= 8 ? 1 : depth <= 16 ? 2 : 4; }

int bytes_of_visual(int visual) { return visual == 8 ? 1 : visual <= 16 ? 2 : visual / 8; }

// Rows padded to 32 bits like the driver's images.
Page make_page(int depth, int visual, bool dirty) {
  Page p;
  std::mt19937 rng(7);
  p.pitch = kWidth * bytes_of_depth(depth);
  p.target_pitch = (kWidth * bytes_of_visual(visual) + 3) & ~3;
  p.pixels.resize(size_t(p.pitch) * kHeight);
  for (uint8_t& b : p.pixels) b = uint8_t(rng());
  p.target.assign(size_t(p.target_pitch) * kHeight, 0);
  p.dirty.assign(kHeight, dirty ? 1 : 0);
  for (uint32_t& e : p.palette) e = rng() & 0xFFFFFF;
  p.source = {p.pixels.data(), p.pitch, kWidth, kHeight, 1, p.dirty.data(), p.palette, p.lookup};
  return p;
}

void run_converter(benchmark::State& state, int depth, int visual, bool red_low, bool dirty) {
  Page p = make_page(depth, visual, dirty);
  const Converter convert = converter_choose(depth, visual, red_low, p.lookup);
  if (!convert) {
    state.SkipWithError("no converter");
    return;
  }
  for (auto _ : state) {
    convert(p.source, p.target.data(), p.target_pitch);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.pixels.size()));
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

// The baseline for the common case: the same rows, one memcpy each.
void BM_memcpy_rows(benchmark::State& state) {
  Page p = make_page(32, 32, true);
  const size_t bytes = size_t(kWidth) * 4;
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y)
      std::memcpy(p.target.data() + size_t(y) * p.target_pitch,
                  p.pixels.data() + size_t(y) * p.pitch, bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.pixels.size()));
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

const char* kCopyName = "convert/32_to_32_red_high";
const char* kMemcpyName = "memcpy_rows";

void register_all() {
  benchmark::RegisterBenchmark(kCopyName, run_converter, 32, 32, false, true)->Repetitions(5);
  benchmark::RegisterBenchmark(kMemcpyName, BM_memcpy_rows)->Repetitions(5);
  benchmark::RegisterBenchmark("clean_frame/32_to_32_red_high", run_converter, 32, 32, false,
                               false);
  for (int depth : {32, 16, 8})
    for (int visual : {8, 15, 16, 24, 32})
      for (bool red_low : {false, true}) {
        if (visual == 8 && depth != 8) continue;
        if (depth == 32 && visual == 32 && !red_low) continue;  // measured above
        const std::string name = "convert/" + std::to_string(depth) + "_to_" +
                                 std::to_string(visual) + (red_low ? "_red_low" : "_red_high");
        benchmark::RegisterBenchmark(name.c_str(), run_converter, depth, visual, red_low, true);
      }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  register_all();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto copy = reporter.fastest.find(kCopyName), base = reporter.fastest.find(kMemcpyName);
  if (copy != reporter.fastest.end() && base != reporter.fastest.end() && base->second > 0)
    std::printf("32-bit red-high copy / memcpy of the same rows: %.3f (goal <= 1.1)\n",
                copy->second / base->second);
  benchmark::Shutdown();
  return 0;
}
