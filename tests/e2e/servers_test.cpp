// The built tandrel on the X servers its users run, each started here: Xorg
// with display modes to switch, Xwayland under a Wayland compositor, a display
// reached over TCP and TigerVNC's Xvnc. The window is compared pixel for pixel
// with the frame the monitor's own drawing code makes for the same hosts.
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

// --- a display reached over TCP, and TigerVNC ---------------------------------
// Over TCP the program does not share memory with the server (which would
// refuse the attach there) and sends plain images; Xvnc shares it. Both show
// the frame, take a click and end through the close box, without a word on
// stderr.

TEST_F(Servers, RemoteDisplayAndXvncShowTheFrameTakeAClickAndClose) {
  XServerOptions remote;
  remote.tcp = true;
  XServerOptions vnc;
  vnc.kind = XServerKind::Xvnc;
  for (const XServerOptions& options : {remote, vnc}) {
    SCOPED_TRACE(options.tcp ? "over TCP" : "Xvnc");
    if (!XServer::available(options.kind))
      GTEST_SKIP() << "no Xvnc";  // Xvfb comes first, always there
    if (!startServer(options)) {
      ADD_FAILURE() << "the server did not start";
      continue;
    }
    Hosts hosts(3);
    ASSERT_EQ(x->name().rfind(options.tcp ? "127.0.0.1:" : ":", 0), 0u);
    startMonitor(hosts);
    x->focus(window);
    EXPECT_TRUE(reloadBeta(hosts));
    x->send_delete_window(window);
    EXPECT_EQ(monitor.wait(5000), 0);
    EXPECT_EQ(hosts.folder.read("stderr"), "");
    monitor.stop();
    owned.reset();
  }
}

// --- at twice the size ----------------------------------------------------------
// TANDREL_SCALE=2: the window is the frame with every pixel doubled, a press
// at the doubled place of "Neuladen" probes, the tooltip appears where the
// doubled picture puts it, and the close box still ends the program.

TEST_F(Servers, AtScaleTwoTheFrameIsDoubledAndThePointerMeetsWhatItShows) {
  XServerOptions options;
  options.width = 1700;
  options.height = 900;
  ASSERT_TRUE(startServer(options));
  scale = 2;
  Hosts hosts(2);
  startMonitor(hosts);
  x->focus(window);
  EXPECT_TRUE(reloadBeta(hosts));

  // alpha answers from now on. The pointer on its newest sample (frame x 750,
  // y 60) draws a line through the sample and the tooltip box from frame
  // (760, 58): each in doubled pixels, and not a pixel more.
  hosts.tools.answerAny("ping", StubTools::fixture("ping-reply.txt"));
  ASSERT_TRUE(wait_until([&] { return x->pixel(window, 1500, 13) == 0x00C800; }, 10000));
  auto [left, top] = origin();
  x->move_pointer(left + 1501, top + 121);
  const uint32_t grey = 0x888B8B, white = 0xFFFFFF;
  EXPECT_TRUE(wait_until([&] { return x->pixel(window, 1522, 118) == grey; }));
  const int greys[][3] = {{1520, 116, 1}, {1500, 300, 1}, {1501, 301, 1},
                          {1519, 118, 0}, {1522, 115, 0}, {1502, 300, 0}};
  for (const auto& [px, py, isGrey] : greys)
    EXPECT_EQ(x->pixel(window, px, py), isGrey ? grey : white) << px << ", " << py;
  park();

  x->send_delete_window(window);
  EXPECT_EQ(monitor.wait(5000), 0);
  EXPECT_EQ(hosts.folder.read("stderr"), "");
}

// --- Xwayland -----------------------------------------------------------------
// Rootless: the window is read, not the root. Xwayland lists 800x600 but only
// emulates the switch, for the program alone (others still see the output's
// mode), so full screen is a window over the output at (0, 0); the
// compositor's own close ends the program.

TEST_F(Servers, XwaylandShowsTheFrameTakesAClickSurvivesFullScreenAndClosesFromTheCompositor) {
  XServerOptions options;
  options.kind = XServerKind::Xwayland;
  if (!XServer::available(options.kind)) GTEST_SKIP() << "no sway, Xwayland, xhost or setpriv";
  ASSERT_TRUE(startServer(options));
  Hosts hosts(3);
  // Run as nobody: a copy in the hosts' folder.
  exe = hosts.folder.openCopy(TANDREL_EXE);
  ASSERT_NE(exe, "");
  std::vector<std::string> probe = x->client_prefix();
  probe.insert(probe.end(), {"test", "-x", exe});
  if (lab::runCommand(probe) != 0) GTEST_SKIP() << "nobody may not run " << exe << " here";
  startMonitor(hosts);
  EXPECT_TRUE(reloadBeta(hosts));

  // Full screen moves the drawing window out of the top-level one, which is
  // unmapped, and shows the frame there once it holds pointer and keyboard.
  Window root, parent, *children = nullptr, drawing = 0;
  unsigned int count = 0;
  if (XQueryTree(x->display(), window, &root, &parent, &children, &count) && count == 1)
    drawing = children[0];
  if (children) XFree(children);
  ASSERT_NE(drawing, Window(0));
  Window frame = window;
  altEnter();
  EXPECT_TRUE(wait_until([&] {
    XWindowAttributes a;
    return XGetWindowAttributes(x->display(), frame, &a) && a.map_state == IsUnmapped;
  })) << "no full screen";
  EXPECT_TRUE(showsFrame(drawing, 0, 0, 600));
  altEnter();
  window = x->wait_window(hosts.title, 5000);
  ASSERT_NE(window, Window(0)) << "the window did not come back";
  EXPECT_TRUE(monitor.running());
  EXPECT_TRUE(showsFrame(window, 0, 0, 600));

  EXPECT_EQ(x->compositor("[title=\"" + hosts.title + "\"] kill"), 0);
  EXPECT_EQ(monitor.wait(5000), 0) << hosts.folder.read("stderr");
}

// --- Xorg with the dummy video driver -------------------------------------------
// A server that switches display modes: full screen changes the mode to one
// of the window's size and gives the desktop's back afterwards.

class XorgModes : public Servers {
 protected:
  static void SetUpTestSuite() {
    XServerOptions options;
    options.kind = XServerKind::Xorg;
    options.width = 1280;
    options.height = 1024;
    options.window_manager = true;
    if (XServer::available(options.kind)) xorg = new XServer(options);
  }
  static void TearDownTestSuite() {
    delete xorg;
    xorg = nullptr;
  }
  void SetUp() override {
    if (!xorg) GTEST_SKIP() << "no Xorg with the dummy driver, or not root";
    ASSERT_TRUE(xorg->ok()) << "Xorg did not start";
    x = xorg;
  }
  void TearDown() override {
    monitor.stop();
    if (xorg && xorg->ok() && mode() != "1280x1024") {
      ADD_FAILURE() << "the desktop was left at " << mode();
      // Back to the first size, the desktop's, for the next test.
      XRRScreenConfiguration* config = XRRGetScreenInfo(x->display(), x->root());
      Rotation rotation;
      XRRConfigCurrentConfiguration(config, &rotation);
      XRRSetScreenConfig(x->display(), config, x->root(), 0, rotation, CurrentTime);
      XRRFreeScreenConfigInfo(config);
    }
  }

  // The screen's current size, e.g. "1280x1024".
  std::string mode() {
    XRRScreenConfiguration* config = XRRGetScreenInfo(x->display(), x->root());
    if (!config) return "?";
    Rotation rotation;
    int count = 0;
    SizeID current = XRRConfigCurrentConfiguration(config, &rotation);
    XRRScreenSize* sizes = XRRConfigSizes(config, &count);
    std::string text = current < count ? std::to_string(sizes[current].width) + "x" +
                                             std::to_string(sizes[current].height)
                                       : "?";
    XRRFreeScreenConfigInfo(config);
    return text;
  }
  bool modeBecomes(const std::string& wanted) {
    return wait_until([&] { return mode() == wanted; }, 5000, 50);
  }

  static XServer* xorg;
};

XServer* XorgModes::xorg = nullptr;

TEST_F(XorgModes, FullScreenSwitchesTo800x600AndBack) {
  Hosts hosts(3);
  startMonitor(hosts);
  x->focus(window);

  altEnter();
  ASSERT_TRUE(modeBecomes("800x600")) << mode();
  EXPECT_TRUE(showsFrame(x->root(), 0, 0, 600)) << "full screen does not show the frame at (0, 0)";
  // The focus may move meanwhile, as openbox moves it from the pointer's
  // window once the top-level one is gone: the keys still come to the grab.
  x->focus(PointerRoot);
  x->focus(x->create_window(1000, 900, 10, 10));

  altEnter();
  EXPECT_TRUE(modeBecomes("1280x1024")) << mode();
  window = x->wait_window(hosts.title, 5000);
  ASSERT_NE(window, Window(0)) << "the window did not come back";
  park();
  EXPECT_TRUE(showsFrame(window, 0, 0, 600));

  x->send_delete_window(window);
  EXPECT_EQ(monitor.wait(5000), 0) << hosts.folder.read("stderr");
  EXPECT_EQ(mode(), "1280x1024");
}

// 800 x 1200 is no mode of the screen: full screen keeps the desktop's mode and
// shows what fits of the frame at (0, 0).
TEST_F(XorgModes, SixHostsHaveNoModeAndKeepTheDesktops) {
  Hosts hosts(6);
  startMonitor(hosts);
  x->focus(window);
  altEnter();
  EXPECT_TRUE(showsFrame(x->root(), 0, 0, 1024)) << "full screen does not show the frame at (0, 0)";
  EXPECT_EQ(mode(), "1280x1024");
  altEnter();
  window = x->wait_window(hosts.title, 5000);
  EXPECT_NE(window, Window(0)) << "the window did not come back";
  EXPECT_TRUE(monitor.running());
  EXPECT_EQ(mode(), "1280x1024");
}

// Ended in full screen, through the close protocol (a task bar's "close") or
// a signal (logging out, Ctrl+C in its terminal): the desktop gets its mode back.
TEST_F(XorgModes, EndingInFullScreenGivesTheModeBack) {
  for (int signal : {0, SIGTERM}) {
    SCOPED_TRACE(signal);
    Hosts hosts(3);
    startMonitor(hosts);
    x->focus(window);
    Window frame = window;
    altEnter();
    ASSERT_TRUE(modeBecomes("800x600"));
    if (signal)
      kill(monitor.pid(), signal);
    else
      x->send_delete_window(frame);
    EXPECT_EQ(monitor.wait(5000), signal ? 128 + signal : 0);
    EXPECT_TRUE(modeBecomes("1280x1024")) << mode();
  }
}

}  // namespace
