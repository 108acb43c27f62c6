// Drawing costs of the graphics core, each against memset of the same bytes
// measured in the same run:
//   - one frame shaped like the monitor's (800 x 1200, six host panels)
//     against two memsets of the frame, and the same with a 100 MB label;
//   - fill_span at 32 bits against memset of the same bytes;
//   - text drawing in characters per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "gfx/draw.hpp"
#include "gfx/draw_context.hpp"
#include "gfx/screen_driver.hpp"
#include "gfx/text.hpp"

namespace {

constexpr int32_t WIDTH = 800, HEIGHT = 1200;
constexpr size_t FRAME_BYTES = size_t(WIDTH) * HEIGHT * 4;

void open_screen() {
  if (screen_context && screen_context->width == WIDTH && screen_context->height == HEIGHT) return;
  if (screen_open(WIDTH, HEIGHT, 32, 1, SCREEN_NULL, 0) != 0) std::abort();
  text_grid_set(WIDTH / 8, HEIGHT / 14);
}

void label(float x, float y, const char* text) {
  draw_text(nullptr, 0x80000004u, text, int32_t(std::strlen(text)), 0, nullptr, 0, x, y, nullptr,
            nullptr, nullptr);
}

void fill(float x1, float y1, float x2, float y2, uint32_t color) {
  draw_line(nullptr, color, 2, 0xFFFF, 0, x1, y1, x2, y2);
}

void segment(float x1, float y1, float x2, float y2, uint32_t color, uint16_t style = 0xFFFF) {
  draw_line(nullptr, color, 0, style, 0, x1, y1, x2, y2);
}

// One host panel as the monitor draws it: two buttons, name, alias and
// address, nine port lines, the separator, the graph's white field with
// its frame, scale labels, the dashed newest-value line and a 99-segment curve.
void panel(int32_t t, const std::vector<float>& curve) {
  const float top = float(t);
  fill(0, top + 1, 100, top + 19, 0xFF0066CC);
  fill(120, top + 1, 230, top + 19, 0xFF0066CC);
  color_set(0xFFF5FFFF, 0, 2);
  label(20, top + 3, "Neuladen");
  label(128, top + 3, "Ping alle 5s");
  label(10, top + 22, "Name:  server-07.example.org");
  label(10, top + 37, "Alias: www.example.org");
  label(10, top + 52, "IP:    192.168.100.107");
  static const char* const ports[9] = {
      "21/tcp   open  ftp",    "22/tcp   open  ssh",   "25/tcp   open  smtp",
      "53/tcp   open  domain", "80/tcp   open  http",  "110/tcp  open  pop3",
      "143/tcp  open  imap",   "443/tcp  open  https", "3306/tcp open  mysql"};
  for (int i = 0; i < 9; ++i) label(70, top + 52 + 15 * float(i + 1), ports[i]);
  fill(300, top + 67, 390, top + 80, 0xFF0066CC);
  label(306, top + 67, "FTP-Client");
  segment(0, top + 198, 800, top + 198, 0xFF888B8B);
  segment(400, top, 400, top + 197, 0xFF888B8B);
  fill(401, top + 1, 800, top + 196, 0xFFFFFFFF);
  color_set(0xFF000000, 0, 2);
  label(405, top + 182, "0 ms");
  label(405, top + 2, "38.5 ms");
  segment(401, top + 120, 800, top + 120, 0xFF888B8B, 0xFF00);
  label(735, top + 120, "12.34 ms");
  for (int k = 2; k <= 100; ++k)
    segment(float(3 * k + 450), top + curve[k], float(3 * k + 447), top + curve[k - 1],
            k % 7 ? 0xFF00C800 : 0xFFC80000);
}

// The frame, the same every time, with extra as the first panel's last port line.
void frames(benchmark::State& state, const std::string& extra) {
  open_screen();
  std::vector<float> curve(101);
  for (int k = 0; k <= 100; ++k) curve[k] = 196.0f - float((k * 37) % 190);
  for (auto _ : state) {
    screen_lock();
    screen_clear(CLEAR_DEFAULT);
    fill(0, 0, WIDTH, HEIGHT, 0xFF1E1E1E);
    for (int i = 0; i < 6; ++i) panel(i * 200, curve);
    draw_text(nullptr, 0x80000004u, extra.data(), int32_t(extra.size()), 0, nullptr, 0, 70, 187,
              nullptr, nullptr, nullptr);
    screen_unlock(-1, -1);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FRAME_BYTES));
}

void BM_Frame(benchmark::State& state) { frames(state, ""); }
BENCHMARK(BM_Frame);

// A tool's 100 MB line: only the cells in view may cost anything.
void BM_FrameHugeLabel(benchmark::State& state) {
  frames(state, std::string(size_t(100) << 20, 'x'));
}
BENCHMARK(BM_FrameHugeLabel);

void BM_TwoMemsets(benchmark::State& state) {
  std::vector<uint8_t> frame(FRAME_BYTES);
  for (auto _ : state) {
    std::memset(frame.data(), 0x1E, frame.size());
    benchmark::DoNotOptimize(frame.data());
    std::memset(frame.data(), 0x2E, frame.size());
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FRAME_BYTES));
}
BENCHMARK(BM_TwoMemsets);

// Spans of one row (cache-resident) and of the whole frame.
void BM_FillSpan(benchmark::State& state) {
  open_screen();
  DrawContext* dc = draw_context();
  select_pixel_routines(dc, 0xFF102030);
  const int32_t pixels = int32_t(state.range(0));
  uint8_t* row = dc->lines[0];
  uint32_t value = 0xFF102030;
  for (auto _ : state) {
    dc->fill_span(row, value, pixels);
    value ^= 0x00010101;
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * pixels * 4);
}
BENCHMARK(BM_FillSpan)->Arg(WIDTH)->Arg(WIDTH* HEIGHT);

void BM_Memset(benchmark::State& state) {
  const size_t bytes = size_t(state.range(0)) * 4;
  std::vector<uint8_t> buffer(bytes + 16);
  uint8_t* p = buffer.data() + (16 - reinterpret_cast<uintptr_t>(buffer.data()) % 16) % 16;
  int v = 0x30;
  for (auto _ : state) {
    std::memset(p, v, bytes);
    v ^= 1;
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_Memset)->Arg(WIDTH)->Arg(WIDTH* HEIGHT);

void BM_Text(benchmark::State& state) {
  open_screen();
  static const char line[] = "80/tcp   open  http     Apache httpd 2.4";
  const int32_t n = int32_t(sizeof line - 1);
  color_set(0xFFF5FFFF, 0, 2);
  int y = 0;
  for (auto _ : state) {
    screen_lock();
    for (int i = 0; i < 20; ++i) {
      draw_text(nullptr, 0x80000004u, line, n, 0, nullptr, 0, 10, float(y), nullptr, nullptr,
                nullptr);
      y = (y + 15) % (HEIGHT - 14);
    }
    screen_unlock(1, 0);
  }
  state.counters["chars_per_second"] =
      benchmark::Counter(double(state.iterations()) * 20 * n, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Text);

// Keeps each run's time per iteration for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        seconds[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
};

void print_ratio(const RatioReporter& rep, const char* what, const std::string& a,
                 const std::string& b, const char* goal) {
  auto ia = rep.seconds.find(a), ib = rep.seconds.find(b);
  if (ia == rep.seconds.end() || ib == rep.seconds.end() || ib->second <= 0) return;
  std::printf("%-44s %6.2f   (%s)\n", what, ia->second / ib->second, goal);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  print_ratio(reporter, "frame / two memsets of the frame", "BM_Frame", "BM_TwoMemsets",
              "goal <= 3");
  print_ratio(reporter, "frame with a 100 MB label / frame", "BM_FrameHugeLabel", "BM_Frame",
              "goal about 1");
  const std::string row = std::to_string(WIDTH), frame = std::to_string(WIDTH * HEIGHT);
  print_ratio(reporter, "memset / fill_span, one row (throughput)", "BM_Memset/" + row,
              "BM_FillSpan/" + row, "goal >= 0.9");
  print_ratio(reporter, "memset / fill_span, whole frame (throughput)", "BM_Memset/" + frame,
              "BM_FillSpan/" + frame, "goal >= 0.9");
  screen_close();
  benchmark::Shutdown();
  return 0;
}
