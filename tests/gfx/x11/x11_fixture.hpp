#pragma once
// Screens on a private Xvfb, opened through screen_open with flags 0 so that
// the X11 driver is chosen, plus ways to look at what the driver did.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gfx/draw_context.hpp"
#include "gfx/input.hpp"
#include "gfx/screen_driver.hpp"
#include "gfx/x11/driver.hpp"
#include "gfx/x11/x11_state.hpp"
#include "support/xserver.hpp"

// Releases one frame bracket level without marking any row.
inline void screen_unlock_quiet() { screen_unlock(1, 0); }

// Runs f under the screen lock (and so the driver lock) and answers its result.
template <class F>
auto locked(F f) {
  screen_lock();
  auto result = f();
  screen_unlock_quiet();
  return result;
}

inline XServerOptions xvfb(int width, int height, int depth) {
  XServerOptions options;
  options.width = width;
  options.height = height;
  options.depth = depth;
  return options;
}

inline int thread_count() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') count++;
    closedir(dir);
  }
  return count;
}

// Events posted since the last call.
inline std::vector<ScreenEvent> take_events() {
  std::vector<ScreenEvent> events;
  ScreenContext* s = screen_context;
  if (!s) return events;
  pthread_mutex_lock(s->mutex);
  for (; s->event_tail != s->event_head; s->event_tail = (s->event_tail + 1) & 127)
    events.push_back(s->events[s->event_tail]);
  pthread_mutex_unlock(s->mutex);
  return events;
}

// Collects events until one of the type (and, when given, first value) arrives.
inline bool wait_event(std::vector<ScreenEvent>& seen, int32_t type, int32_t a = INT32_MIN,
                       int timeout_ms = 5000) {
  auto has = [&] {
    for (const ScreenEvent& e : seen)
      if (e.type == type && (a == INT32_MIN || e.a == a)) return true;
    return false;
  };
  return wait_until(
      [&] {
        for (const ScreenEvent& e : take_events()) seen.push_back(e);
        return has();
      },
      timeout_ms);
}

inline int count_events(const std::vector<ScreenEvent>& seen, int32_t type) {
  int n = 0;
  for (const ScreenEvent& e : seen) n += e.type == type;
  return n;
}

// Waits until the update thread has made `passes` more passes.
inline bool wait_passes(int passes) {
  uint64_t start = x11_update_passes();
  return wait_until([&] { return x11_update_passes() >= start + uint64_t(passes); }, 5000, 2);
}

// Waits until the events of mapping and focusing are handled and every row
// they marked has been sent, so that only what a test marks is sent next.
inline bool settle() {
  auto clean = [] {
    return locked([] {
      const ScreenContext* s = screen_context;
      for (int32_t y = 0; y < s->height * s->scanline_size; y++)
        if (s->dirty_lines[y]) return false;
      return true;
    });
  };
  return wait_passes(3) && wait_until(clean) && wait_passes(2) && clean();
}

// Fills rows [first, first + count) of the visible page with one 32-bit colour.
inline void fill_rows32(int first, int count, uint32_t color) {
  ScreenContext* s = screen_context;
  for (int y = first; y < first + count; y++) {
    uint32_t* row = reinterpret_cast<uint32_t*>(s->visible_pixels + size_t(y) * size_t(s->pitch));
    for (int x = 0; x < s->width; x++) row[x] = color;
  }
}

inline void drain_keys() {
  while (!key_read().empty()) {
  }
}

// One Xvfb per test suite; each test opens its own screens.
class X11Suite : public ::testing::Test {
 protected:
  static XServer* server;

  static void start(const XServerOptions& options) {
    unsetenv("ZORGFX");
    unsetenv("TANDREL_X11_NO_SHM");
    if (!XServer::available()) return;
    server = new XServer(options);
  }
  static void TearDownTestSuite() {
    screen_close();
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    if (!server || !server->ok()) GTEST_SKIP() << "Xvfb is not available";
    server->make_default();
    for (const char* name : {"ZORGFX", "TANDREL_X11_NO_SHM", "TANDREL_SCALE", "GDK_SCALE"})
      unsetenv(name);
  }
  void TearDown() override {
    drain_keys();
    screen_close();
  }

  // Opens a screen with the X11 driver. The focus flag outlives screens; each
  // test's window earns it afresh.
  void open(int width, int height, int depth = 32, int32_t flags = 0,
            const char* title = "tandrel-test") {
    x11_focus = false;
    screen_set_title(title);
    ASSERT_EQ(screen_open(width, height, depth, 1, flags, 0), 0);
    ASSERT_STREQ(screen_context->driver->name, "X11");
    drain_keys();
    take_events();
  }

  // Gives the frame window the focus and waits until the driver knows and
  // the events around it are handled.
  void focus() {
    server->focus(x11.frame_window);
    ASSERT_TRUE(wait_until([] { return locked([] { return x11_focus; }); }));
    ASSERT_TRUE(wait_passes(2));
    take_events();
  }

  // Pixel of the drawing window, polled until it equals want.
  bool window_shows(int x, int y, uint32_t want, int timeout_ms = 5000) {
    return wait_until([&] { return server->pixel(x11.draw_window, x, y) == want; }, timeout_ms);
  }
};

inline XServer* X11Suite::server = nullptr;
