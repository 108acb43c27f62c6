// The X11 driver's window and image layers against a real Xvfb: windows,
// titles, pixels on the next pass, dirty rows only, shared memory and plain
// images, and the failures that must leave nothing behind (other visuals:
// depth_test.cpp).
#include "x11_fixture.hpp"

#include <X11/Xatom.h>
#include <X11/extensions/shape.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "gfx/console.hpp"

namespace {

class X11Window : public X11Suite {
 protected:
  static void SetUpTestSuite() { start(xvfb(1024, 768, 24)); }
};

TEST_F(X11Window, OpensAWindowOfTheSizeWithTheTitle) {
  open(320, 200, 32, 0, "Zeige 2 Server");
  Window frame = server->find_window("Zeige 2 Server");
  ASSERT_EQ(frame, x11.frame_window);
  int w = 0, h = 0;
  ASSERT_TRUE(server->size_of(frame, &w, &h));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
  ASSERT_TRUE(server->size_of(x11.draw_window, &w, &h));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  ASSERT_TRUE(XQueryTree(server->display(), x11.draw_window, &root, &parent, &children, &count));
  if (children) XFree(children);
  EXPECT_EQ(parent, frame);

  screen_set_title("Neuer Titel");
  EXPECT_TRUE(wait_until([&] { return server->find_window("Neuer Titel") == frame; }));
  const char* name = nullptr;
  int32_t width = 0, height = 0, depth = 0;
  screen_info(&width, &height, &depth, nullptr, nullptr, nullptr, &name);
  EXPECT_STREQ(name, "X11");
  EXPECT_EQ(width, 320);
  EXPECT_EQ(depth, 32);
}

TEST_F(X11Window, ClosingJoinsTheThreadAndLeavesNoWindow) {
  int threads = thread_count();
  open(200, 100, 32, 0, "Einmal");
  EXPECT_EQ(thread_count(), threads + 1);
  screen_close();
  EXPECT_EQ(thread_count(), threads);
  EXPECT_TRUE(server->find_windows("Einmal").empty());

  open(200, 100, 32, 0, "Zweimal");
  screen_lock();
  fill_rows32(0, 100, 0xFF00FF00);
  screen_unlock(-1, -1);
  EXPECT_TRUE(window_shows(199, 99, 0x00FF00));
  screen_close();
  EXPECT_EQ(thread_count(), threads);
  EXPECT_TRUE(server->find_windows("Zweimal").empty());
}

TEST_F(X11Window, DrawnRowsArriveThroughSharedMemory) {
  open(320, 200);
  EXPECT_TRUE(locked([] { return x11.use_shm; }));
  screen_lock();
  fill_rows32(0, 200, 0xFF123456);
  screen_unlock(-1, -1);
  EXPECT_TRUE(window_shows(0, 0, 0x123456));
  EXPECT_TRUE(window_shows(319, 199, 0x123456));
}

// Rows drawn but not marked stay as they were in the window.
TEST_F(X11Window, OnlyDirtyRowsAreSent) {
  open(320, 200);
  screen_lock();
  fill_rows32(0, 200, 0xFF0000FF);
  screen_unlock(-1, -1);
  ASSERT_TRUE(window_shows(5, 199, 0x0000FF));
  ASSERT_TRUE(settle());

  screen_lock();
  fill_rows32(10, 20, 0xFFFF0000);
  screen_unlock(10, 19);
  ASSERT_TRUE(window_shows(5, 19, 0xFF0000));
  ASSERT_TRUE(wait_passes(3));
  std::vector<uint32_t> rows = server->column(x11.draw_window, 5, 8, 24);
  ASSERT_EQ(rows.size(), 24u);
  for (int i = 0; i < 24; i++) {
    int y = 8 + i;
    EXPECT_EQ(rows[size_t(i)], y >= 10 && y < 20 ? 0xFF0000u : 0x0000FFu) << "row " << y;
  }
  screen_lock();
  screen_unlock(20, 29);
  EXPECT_TRUE(window_shows(5, 29, 0xFF0000));
  EXPECT_EQ(server->pixel(x11.draw_window, 5, 30), 0x0000FFu);
}

// A change inside a row arrives although only its columns are sent; what the
// server lost arrives again after the expose, though the image still holds it.
TEST_F(X11Window, ChangedColumnsArriveAndAnExposeBringsBackTheRest) {
  open(320, 200);
  screen_lock();
  fill_rows32(0, 200, 0xFF0000FF);
  screen_unlock(-1, -1);
  ASSERT_TRUE(window_shows(5, 199, 0x0000FF));
  screen_lock();
  reinterpret_cast<uint32_t*>(screen_context->visible_pixels + 50 * screen_context->pitch)[200] =
      0xFFFF0000;
  screen_unlock(-1, -1);
  ASSERT_TRUE(window_shows(200, 50, 0xFF0000));
  EXPECT_EQ(server->pixel(x11.draw_window, 199, 50), 0x0000FFu);
  XClearArea(server->display(), x11.draw_window, 0, 0, 0, 0, True);
  XSync(server->display(), False);
  EXPECT_TRUE(window_shows(5, 100, 0x0000FF));
  EXPECT_TRUE(window_shows(200, 50, 0xFF0000));
}

TEST_F(X11Window, PlainImageWhenSharedMemoryIsSwitchedOff) {
  setenv("TANDREL_X11_NO_SHM", "1", 1);
  open(300, 120);
  EXPECT_FALSE(locked([] { return x11.use_shm; }));
  screen_lock();
  fill_rows32(0, 120, 0xFFABCDEF);
  screen_unlock(-1, -1);
  EXPECT_TRUE(window_shows(299, 119, 0xABCDEF));
  EXPECT_TRUE(window_shows(0, 0, 0xABCDEF));
}

// "unix/:N" reaches the same server through the socket, but by its name it is
// not a local display: no shared memory, and no full screen.
TEST_F(X11Window, DisplayNamedAsRemoteUsesThePlainImage) {
  setenv("DISPLAY", ("unix/" + server->name()).c_str(), 1);
  open(200, 80, 32, SCREEN_FULLSCREEN);
  EXPECT_FALSE(locked([] { return x11.use_shm; }));
  EXPECT_FALSE(locked([] { return x11.flags & SCREEN_FULLSCREEN; }));
  screen_lock();
  fill_rows32(0, 80, 0xFF102030);
  screen_unlock(-1, -1);
  EXPECT_TRUE(window_shows(100, 40, 0x102030));
}

TEST(ScreenOpen, NoDisplayFailsAndLeavesNothingBehind) {
  const char* display = std::getenv("DISPLAY");
  std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  unsetenv("ZORGFX");
  ASSERT_EQ(screen_open(64, 64, 32, 1, SCREEN_NULL, 0), 0);  // an open screen is closed first
  EXPECT_EQ(screen_open(800, 200, 32, 1, 0, 0), 1);
  EXPECT_STREQ(screen_failure(), "DISPLAY ist nicht gesetzt");
  EXPECT_EQ(screen_context, nullptr);
  EXPECT_EQ(console_hooks.read_key, nullptr);
  EXPECT_EQ(console_hooks.page_select, nullptr);
  EXPECT_EQ(screen_lookup16, nullptr);
  if (display) setenv("DISPLAY", saved.c_str(), 1);
}

TEST_F(X11Window, MissingDisplayFailsAndLeavesNothing) {
  int threads = thread_count();
  setenv("DISPLAY", ":4987", 1);
  screen_set_title("nirgends");
  EXPECT_EQ(screen_open(320, 200, 32, 1, 0, 0), 1);
  EXPECT_STREQ(screen_failure(), "keine X-Anzeige unter DISPLAY=:4987 erreichbar");
  EXPECT_EQ(screen_context, nullptr);
  EXPECT_EQ(console_hooks.read_key, nullptr);
  EXPECT_EQ(console_hooks.read_mouse, nullptr);
  EXPECT_EQ(thread_count(), threads);
  EXPECT_EQ(x11.display, nullptr);
  // Releasing after a failed start is harmless, twice too.
  x11_driver.exit();
  x11_driver.exit();
  int32_t w = -1, h = -1, d = -1, r = -1;
  screen_info(&w, &h, &d, nullptr, nullptr, &r, nullptr);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(d, 0);
  int32_t count = -1;
  EXPECT_EQ(x11_driver.fetch_modes(32, &count), nullptr);
  EXPECT_EQ(count, 0);
}

TEST_F(X11Window, OpenGlRequestsAreRefused) {
  EXPECT_EQ(x11_driver.init("gl", 100, 100, 32, 0, SCREEN_OPENGL), -1);
  x11_driver.exit();
  EXPECT_EQ(x11.display, nullptr);
}

TEST_F(X11Window, DesktopAndModesWithoutAScreen) {
  int32_t w = 0, h = 0, d = 0;
  const char* name = "x";
  screen_info(&w, &h, &d, nullptr, nullptr, nullptr, &name);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  EXPECT_EQ(d, 24);
  EXPECT_STREQ(name, "");
  int32_t count = 0;
  uint32_t* modes = x11_driver.fetch_modes(32, &count);
  ASSERT_NE(modes, nullptr);
  ASSERT_GE(count, 1);
  bool found = false;
  for (int i = 0; i < count; i++) found |= modes[i] == (1024u << 16 | 768u);
  EXPECT_TRUE(found);
  std::free(modes);
  EXPECT_EQ(x11_driver.fetch_modes(12, &count), nullptr);
}

TEST_F(X11Window, SetWindowPositionMovesTheFrame) {
  open(200, 100);
  int32_t before = x11_driver.set_window_pos(40, 30);
  EXPECT_EQ(before, 0);  // no window manager: the frame starts at the origin
  EXPECT_TRUE(wait_until([&] {
    Window child;
    int x = 0, y = 0;
    XTranslateCoordinates(server->display(), x11.draw_window, server->root(), 0, 0, &x, &y, &child);
    return x == 40 && y == 30;
  }));
  EXPECT_EQ(x11_driver.set_window_pos(INT32_MIN, 50), (30 << 16) | 40);
}

// The shape follows the page: the transparent colour is cut out.
TEST_F(X11Window, ShapedWindowCutsOutTheTransparentColour) {
  XInternAtom(server->display(), "_MOTIF_WM_HINTS", False);  // as a window manager would
  open(64, 32, 32, SCREEN_SHAPED);
  EXPECT_TRUE(locked([] {
    return (x11.flags & (SCREEN_NO_FRAME | SCREEN_FIXED)) == (SCREEN_NO_FRAME | SCREEN_FIXED);
  }));
  screen_lock();
  fill_rows32(0, 32, 0xFFFF00FF);
  ScreenContext* s = screen_context;
  for (int y = 4; y < 12; y++)
    for (int x = 9; x < 20; x++)
      reinterpret_cast<uint32_t*>(s->visible_pixels + y * s->pitch)[x] = 0xFF00FF00;
  screen_unlock(-1, -1);
  auto shape_is_block = [&] {
    int count = 0, ordering = 0;
    XRectangle* r =
        XShapeGetRectangles(server->display(), x11.draw_window, ShapeBounding, &count, &ordering);
    bool block = count == 1 && r[0].x == 9 && r[0].y == 4 && r[0].width == 11 && r[0].height == 8;
    if (r) XFree(r);
    return block;
  };
  EXPECT_TRUE(wait_until(shape_is_block));

  Atom motif = XInternAtom(server->display(), "_MOTIF_WM_HINTS", True);
  Atom type;
  int format;
  unsigned long items, after;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(server->display(), x11.draw_window, motif, 0, 5, False, motif, &type,
                               &format, &items, &after, &data),
            Success);
  ASSERT_EQ(items, 5u);
  const long* hints = reinterpret_cast<const long*>(data);
  EXPECT_EQ(hints[0], 2);
  EXPECT_EQ(hints[2], 0);
  XFree(data);

  // Index 0, cut out, and index 16 are both black: the shape still follows a change between them.
  screen_close();
  open(64, 32, 8, SCREEN_SHAPED);
  s = screen_context;
  screen_lock();
  std::memset(s->visible_pixels, 16, size_t(s->pitch) * 32);
  screen_unlock(-1, -1);
  ASSERT_TRUE(settle());
  screen_lock();
  std::memset(s->visible_pixels, 0, size_t(s->pitch) * 32);
  for (int y = 4; y < 12; y++) std::memset(s->visible_pixels + y * s->pitch + 9, 16, 11);
  screen_unlock(-1, -1);
  EXPECT_TRUE(wait_until(shape_is_block));
}

// The server goes away under an open screen: the process ends at once with a
// message instead of spinning or hanging.
TEST(X11Lost, ServerGoneEndsTheProcessWithAMessage) {
  if (!XServer::available()) GTEST_SKIP() << "Xvfb is not available";
  GTEST_FLAG_SET(death_test_style, "fast");
  XServer doomed(xvfb(320, 240, 24));
  ASSERT_TRUE(doomed.ok());
  pid_t pid = doomed.pid();
  std::string name = doomed.name();
  doomed.close_display();  // only the child talks to this server
  EXPECT_EXIT(
      {
        unsetenv("ZORGFX");
        setenv("DISPLAY", name.c_str(), 1);
        if (screen_open(100, 100, 32, 1, 0, 0) != 0) _exit(3);
        kill(pid, SIGKILL);
        for (int i = 0; i < 500; i++) {  // at most 10 s of a main loop
          screen_lock();
          screen_unlock(-1, -1);
          usleep(20000);
        }
        _exit(0);
      },
      ::testing::ExitedWithCode(1), "Verbindung zum X-Server");
}

// Servers that cannot share our memory: one without the extension, one in
// another IPC namespace, where attaching the segment fails. Both show the
// frame through a plain image without a word.
TEST(X11NoSharing, PlainImageWhenTheServerCannotShareMemory) {
  if (!XServer::available()) GTEST_SKIP() << "Xvfb is not available";
  unsetenv("ZORGFX");
  unsetenv("TANDREL_X11_NO_SHM");
  XServerOptions without = xvfb(320, 240, 24);
  without.extra_args = {"-extension", "MIT-SHM"};
  XServerOptions elsewhere = xvfb(320, 240, 24);
  elsewhere.launcher = {"unshare", "--ipc"};
  for (XServerOptions* options : {&without, &elsewhere}) {
    XServer server(*options);
    if (!server.ok()) {
      EXPECT_EQ(options, &elsewhere) << "Xvfb did not start";
      continue;  // no rights for a namespace of our own
    }
    server.make_default();
    // In the other namespace the extension is there; only the attach fails.
    EXPECT_EQ(bool(XShmQueryExtension(server.display())), options == &elsewhere);
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(screen_open(100, 50, 32, 1, 0, 0), 0);
    EXPECT_FALSE(locked([] { return x11.use_shm; }));
    screen_lock();
    fill_rows32(0, 50, 0xFF0A0B0C);
    screen_unlock(-1, -1);
    EXPECT_TRUE(wait_until([&] { return server.pixel(x11.draw_window, 99, 49) == 0x0A0B0Cu; }));
    screen_close();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  }
}

}  // namespace
