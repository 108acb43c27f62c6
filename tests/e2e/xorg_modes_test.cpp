// The built tandrel on Xorg with the dummy video driver, a server that switches
// display modes: full screen changes the mode and gives the desktop's back.
#include "e2e/servers_fixture.hpp"

namespace {

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
