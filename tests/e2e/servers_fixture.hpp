#pragma once
// The fixture of the server tests: the hosts the stubs answer for, the frame
// the monitor draws for them, and a monitor started on a server of the test's
// own whose window is compared pixel for pixel with that frame.
// gtest first: Xlib's macros (None, Bool, ...) would clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/config.hpp"
#include "app/hosts.hpp"
#include "app/ui/window.hpp"
#include "gfx/screen_driver.hpp"
#include "lab/child_process.hpp"
#include "support/scratch.hpp"
#include "support/stub_tools.hpp"
#include "support/xserver.hpp"

namespace {

using lab::ChildProcess;
using lab::environmentWith;

const std::vector<std::string> alphabet = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta"};

// Stub answers that keep every frame the same: beta is down, the others list
// ports, and no ping ever answers, so no graph gets a sample.
struct Hosts {
  StubTools tools;
  ScratchDir folder;
  int count;
  std::string title;

  explicit Hosts(int n) : count(n), title("Zeige " + std::to_string(n) + " Server") {
    tools.answerAny("nslookup", StubTools::fixture("nslookup-plain.txt"));
    tools.answerAny("nmap", StubTools::fixture("nmap-one-port.txt"));
    tools.answer("nmap", "alpha.test", StubTools::fixture("nmap-three-ports.txt"));
    tools.answer("nmap", "beta.test", StubTools::fixture("nmap-down.txt"));
    tools.answerAny("ping", StubTools::fixture("ping-unreachable.txt"));
    std::string cfg = "terminal=true\n";
    for (int i = 0; i < n; ++i) cfg += alphabet[size_t(i)] + ".test\n";
    folder.write("tandrel.cfg", cfg);
    // Readable, and the stubs' log writable, for a monitor run as nobody.
    chmod(folder.path().c_str(), 0755);
    chmod(tools.folder().c_str(), 0755);
    chmod((tools.folder() + "/calls.log").c_str(), 0666);
  }

  // The frame the monitor draws for these hosts, drawn here on the Null driver.
  std::vector<uint32_t> frame() {
    resetHostTable();
    readConfiguration(folder.file("tandrel.cfg"));
    setenv("ZORGFX", "null", 1);
    std::vector<uint32_t> pixels;
    if (openWindow(hostCount) == 0) {
      drawFrame();
      const ScreenContext* s = screen_context;
      for (int y = 0; y < s->height; ++y) {
        const uint32_t* row =
            reinterpret_cast<const uint32_t*>(s->visible_pixels + size_t(y) * size_t(s->pitch));
        pixels.insert(pixels.end(), row, row + s->width);
      }
    }
    screen_close();
    unsetenv("ZORGFX");
    resetHostTable();
    return pixels;
  }

  int scans(const std::string& host) {
    int n = 0;
    for (const StubCall& c : tools.calls("nmap")) n += c.arguments() == host;
    return n;
  }
};

class Servers : public testing::Test {
 protected:
  bool startServer(const XServerOptions& options) {
    owned = std::make_unique<XServer>(options);
    x = owned.get();
    return x->ok();
  }

  // The pointer off the window, wherever it is placed.
  void park() {
    x->move_pointer(DisplayWidth(x->display(), 0) - 1, DisplayHeight(x->display(), 0) - 1);
  }

  // Starts the monitor for the hosts and waits until its window shows their
  // frame, each pixel as a scale x scale block.
  void startMonitor(Hosts& hosts) {
    const std::vector<uint32_t> frame = hosts.frame();
    ASSERT_EQ(frame.size(), size_t(800 * 200 * hosts.count));
    expected.clear();
    for (size_t row = 0; row < size_t(200 * hosts.count * scale); ++row)
      for (size_t col = 0; col < size_t(800 * scale); ++col)
        expected.push_back(frame[row / size_t(scale) * 800 + col / size_t(scale)]);
    park();
    std::vector<std::string> argv = x->client_prefix();
    argv.push_back(exe);
    std::vector<std::string> set = {"DISPLAY=" + x->name()};
    if (scale != 1) set.push_back("TANDREL_SCALE=" + std::to_string(scale));
    ASSERT_TRUE(monitor.start(argv, hosts.folder.path(),
                              environmentWith(set, {"ZORGFX", "TANDREL_SCALE", "GDK_SCALE"}),
                              {hosts.folder.file("stdout"), hosts.folder.file("stderr")}));
    window = x->wait_window(hosts.title);
    ASSERT_NE(window, Window(0)) << hosts.folder.read("stderr");
    int w = 0, h = 0;
    ASSERT_TRUE(x->size_of(window, &w, &h));
    EXPECT_EQ(w, 800 * scale);
    EXPECT_EQ(h, 200 * hosts.count * scale);
    // Only what is on the screen can be read back.
    int rows = std::min(h, DisplayHeight(x->display(), 0) - origin().second);
    EXPECT_TRUE(showsFrame(window, 0, 0, rows)) << "the window does not show the frame";
  }

  // Whether rows [0, rows) of the frame appear at (x, y) of the window within 5 s.
  bool showsFrame(Window w, int left, int top, int rows) {
    return wait_until([&] { return x->mismatches(w, left, top, 800 * scale, rows, expected) == 0; },
                      5000, 50);
  }

  // Where the window is on the screen now: a compositor may place a floating
  // window after mapping it.
  std::pair<int, int> origin() {
    int left = 0, top = 0;
    Window child;
    XTranslateCoordinates(x->display(), window, x->root(), 0, 0, &left, &top, &child);
    return {left, top};
  }

  // Holds the left button on beta's "Neuladen" until beta is scanned again.
  // A second press when the first is not seen: under Xwayland a synthetic
  // press now and then reaches no window while the compositor moves focus.
  testing::AssertionResult reloadBeta(Hosts& hosts) {
    int before = hosts.scans("beta.test");
    testing::AssertionResult result = testing::AssertionFailure();
    for (int attempt = 0; attempt < 2; ++attempt) {
      auto [left, top] = origin();
      x->move_pointer(left + 50 * scale, top + 210 * scale);
      x->button(1, true);
      bool scanned = wait_until([&] { return hosts.scans("beta.test") > before; }, 5000);
      // Where the server had the pointer and the focus, should it not be seen.
      Window root, child, focus;
      int rootX, rootY, winX, winY, revert;
      unsigned int mask;
      XQueryPointer(x->display(), window, &root, &child, &rootX, &rootY, &winX, &winY, &mask);
      XGetInputFocus(x->display(), &focus, &revert);
      x->button(1, false);
      park();
      if (scanned) return testing::AssertionSuccess();
      result = testing::AssertionFailure()
               << "no scan; pointer at (" << winX << ", " << winY << ") in the window " << std::hex
               << window << ", buttons " << mask << ", focus " << focus;
    }
    return result;
  }

  void altEnter() {
    x->key(XK_Alt_L, true);
    x->tap(XK_Return);
    x->key(XK_Alt_L, false);
  }

  std::string exe = TANDREL_EXE;
  std::unique_ptr<XServer> owned;
  XServer* x = nullptr;
  ChildProcess monitor;
  std::vector<uint32_t> expected;
  Window window = 0;
  int scale = 1;  // TANDREL_SCALE for the monitor
};

}  // namespace
