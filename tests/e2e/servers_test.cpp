// The built tandrel on the X servers its users run, each started here:
// Xwayland under a Wayland compositor, a display reached over TCP and
// TigerVNC's Xvnc (Xorg, which switches modes, has xorg_modes_test.cpp). The window is compared
// pixel for pixel with the frame the monitor's own drawing code makes for the same hosts.
#include "e2e/servers_fixture.hpp"

namespace {

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

}  // namespace
