// CPU time of the X11 driver's update thread per second of wall time, on an
// 800 x 1200 32-bit screen shown by a private Xvfb: with every row marked
// dirty before every pass (the application's frame) and with nothing to send.
// The per-pass cost of the dirty case is set against memcpy of the same
// frame in the same run.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/screen.hpp"
#include "gfx/x11/driver.hpp"

namespace {

constexpr int kWidth = 800, kHeight = 1200;

pid_t xvfb_pid = -1;

// Starts Xvfb on a free display and answers its name, or "" when it cannot.
std::string start_xvfb() {
  int fds[2];
  if (pipe(fds) != 0) return "";
  std::string fd = std::to_string(fds[1]);
  std::vector<const char*> argv = {"Xvfb",         "-displayfd", fd.c_str(), "-screen", "0",
                                   "1280x1280x24", "-nolisten",  "tcp",      nullptr};
  xvfb_pid = fork();
  if (xvfb_pid == 0) {
    freopen("/dev/null", "w", stderr);
    execvp(argv[0], const_cast<char**>(argv.data()));
    _exit(127);
  }
  close(fds[1]);
  std::string text;
  pollfd p{fds[0], POLLIN, 0};
  while (text.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0) {
    char buffer[16];
    ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, size_t(n));
  }
  close(fds[0]);
  if (text.find('\n') == std::string::npos) return "";
  char name[16];
  std::snprintf(name, sizeof name, ":%d", std::atoi(text.c_str()));
  return name;
}

void stop_xvfb() {
  if (xvfb_pid <= 0) return;
  kill(xvfb_pid, SIGTERM);
  waitpid(xvfb_pid, nullptr, 0);
}

double thread_seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double per_pass_dirty = 0;  // thread CPU seconds per dirty pass, fastest run

// One iteration is a quarter second of the update thread's life.
void run_thread(benchmark::State& state, bool dirty) {
  clockid_t clock;
  if (x11_update_thread_clock(&clock) != 0) {
    state.SkipWithError("no update thread");
    return;
  }
  double cpu_total = 0, wall_total = 0;
  uint64_t passes_total = 0;
  for (auto _ : state) {
    auto wall_start = std::chrono::steady_clock::now();
    double cpu_start = thread_seconds(clock);
    uint64_t passes_start = x11_update_passes();
    // Marks every row more often than the thread passes, as the main loop does.
    while (std::chrono::steady_clock::now() - wall_start < std::chrono::milliseconds(250)) {
      screen_lock();
      screen_unlock(dirty ? -1 : 1, dirty ? -1 : 0);
      usleep(5000);
    }
    double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
    double cpu = thread_seconds(clock) - cpu_start;
    uint64_t passes = x11_update_passes() - passes_start;
    state.SetIterationTime(wall);
    cpu_total += cpu;
    wall_total += wall;
    passes_total += passes;
    if (dirty && passes > 0 && (per_pass_dirty == 0 || cpu / double(passes) < per_pass_dirty))
      per_pass_dirty = cpu / double(passes);
  }
  state.counters["thread_cpu_ms_per_s"] = wall_total > 0 ? 1000 * cpu_total / wall_total : 0;
  state.counters["passes_per_s"] = wall_total > 0 ? double(passes_total) / wall_total : 0;
  state.counters["cpu_us_per_pass"] = passes_total ? 1e6 * cpu_total / double(passes_total) : 0;
}

void BM_update_thread_dirty(benchmark::State& state) { run_thread(state, true); }
void BM_update_thread_clean(benchmark::State& state) { run_thread(state, false); }

double memcpy_frame = 0;  // seconds per frame, fastest

void BM_memcpy_frame(benchmark::State& state) {
  std::vector<uint8_t> from(size_t(kWidth) * kHeight * 4, 0x5A), to(from.size());
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(from.data());
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (memcpy_frame == 0 || t < memcpy_frame) memcpy_frame = t;
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(from.size()));
}

BENCHMARK(BM_update_thread_dirty)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_update_thread_clean)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_memcpy_frame)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string display = start_xvfb();
  if (display.empty()) {
    std::printf("x11_bench: Xvfb is not available, nothing measured\n");
    stop_xvfb();
    return 0;
  }
  setenv("DISPLAY", display.c_str(), 1);
  unsetenv("ZORGFX");
  screen_set_title("x11_bench");
  if (screen_open(kWidth, kHeight, 32, 1, 0, 0) != 0) {
    std::printf("x11_bench: no screen on %s\n", display.c_str());
    stop_xvfb();
    return 1;
  }
  usleep(300000);  // let the window's first events pass
  benchmark::RunSpecifiedBenchmarks();
  if (per_pass_dirty > 0 && memcpy_frame > 0)
    std::printf("dirty pass (convert + put of 800 x 1200 x 4 bytes) / memcpy of the frame: %.2f\n",
                per_pass_dirty / memcpy_frame);
  screen_close();
  stop_xvfb();
  benchmark::Shutdown();
  return 0;
}
