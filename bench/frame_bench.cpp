// Cost of one frame of the monitor: the real drawFrame for six hosts with
// full histories and three port lines each (client buttons included) on the
// Null driver, against two memsets of the same 800 x 1200 x 4 bytes, with
// their ratio printed at the end of the run. No ping is due and the pointer
// is off the window, as in an idle turn of the loop. BM_Frame changes one
// sample before every frame, so each is drawn in full; BM_FrameUnchanged
// draws the same frame again, which the screen skips.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/hosts.hpp"
#include "app/ui/window.hpp"
#include "bench/ratio_reporter.hpp"
#include "gfx/screen_driver.hpp"

namespace {

constexpr size_t frameBytes = size_t(800) * 1200 * 4;

void fillHosts() {
  resetHostTable();
  for (int i = 0; i < hostSlots; ++i) {
    HostRecord& h = hosts[i];
    h.name = "host" + std::to_string(i) + ".example.lan";
    h.canonicalName = "web" + std::to_string(i) + ".example.lan";
    h.address = "192.168.1." + std::to_string(10 + i);
    h.portLines[1] = "21/tcp open  ftp";
    h.portLines[2] = "22/tcp open  ssh";
    h.portLines[3] = "80/tcp open  http";
    h.reachable = 1;
    h.pingInterval = 2;
    h.lastPingTime = int64_t(1) << 40;  // far in the future: no ping is due
    for (int k = 1; k < latencySlots; ++k) {
      // Mostly good, some above 20 ms so that both colours are drawn.
      h.latency[k] = 5 + 20 * std::fabs(std::sin(k * 0.37 + i));
      char stamp[16];
      std::snprintf(stamp, sizeof stamp, "12:%02d:%02d", (k / 60) % 60, k % 60);
      h.timeStamps[k] = stamp;
    }
    ++hostCount;
  }
  mouseX = mouseY = mouseWheel = mouseButtons = -1;
}

void BM_Frame(benchmark::State& state) {
  setenv("ZORGFX", "null", 1);
  fillHosts();
  if (openWindow(hostCount) != 0) {
    state.SkipWithError("no screen");
    return;
  }
  const bool changing = state.range(0) != 0;
  int turn = 0;
  for (auto _ : state) {
    if (changing) hosts[0].latency[50] = (++turn & 1) ? 5 : 15;
    drawFrame();
    benchmark::DoNotOptimize(screen_context->visible_pixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frameBytes));
  screen_close();
}
BENCHMARK(BM_Frame)->Arg(1)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Frame)
    ->Name("BM_FrameUnchanged")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

void BM_TwoMemsets(benchmark::State& state) {
  std::vector<uint8_t> frame(frameBytes);
  for (auto _ : state) {
    std::memset(frame.data(), 0x1E, frame.size());
    benchmark::DoNotOptimize(frame.data());
    std::memset(frame.data(), 0xFF, frame.size());
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frameBytes));
}
BENCHMARK(BM_TwoMemsets)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto frame = reporter.fastest.find("BM_Frame"), base = reporter.fastest.find("BM_TwoMemsets");
  auto same = reporter.fastest.find("BM_FrameUnchanged");
  if (frame != reporter.fastest.end() && base != reporter.fastest.end() && base->second > 0)
    std::printf(
        "frame of six hosts: %.3f ms; two memsets of the frame: %.3f ms; "
        "ratio %.2f (goal <= 3)\n",
        frame->second, base->second, frame->second / base->second);
  if (same != reporter.fastest.end() && base != reporter.fastest.end() && base->second > 0)
    std::printf("unchanged frame: %.4f ms; ratio to two memsets %.3f\n", same->second,
                same->second / base->second);
  benchmark::Shutdown();
  return 0;
}
