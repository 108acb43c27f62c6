// The X11 driver on servers of other depths: pages of 32 and 16 bits on a
// 16-bit visual, palette indices and colour cells on an 8-bit one, and what
// such visuals cannot show.
#include "x11_fixture.hpp"

#include "gfx/console.hpp"

namespace {

class X11Depth16 : public X11Suite {
 protected:
  static void SetUpTestSuite() { start(xvfb(640, 480, 16)); }
};

// Red in the top bits of the 16-bit visual.
TEST_F(X11Depth16, ThirtyTwoBitPageOnASixteenBitVisual) {
  open(160, 90);
  screen_lock();
  fill_rows32(0, 30, 0xFF0000FF);
  fill_rows32(30, 30, 0xFFFF0000);
  fill_rows32(60, 30, 0xFFFFFFFF);
  screen_unlock(-1, -1);
  EXPECT_TRUE(window_shows(10, 10, 0x001F));
  EXPECT_TRUE(window_shows(10, 40, 0xF800));
  EXPECT_TRUE(window_shows(159, 89, 0xFFFF));
}

TEST_F(X11Depth16, SixteenBitPageIsCopied) {
  open(100, 50, 16);
  screen_lock();
  ScreenContext* s = screen_context;
  for (int y = 0; y < 50; y++)
    for (int x = 0; x < 100; x++)
      reinterpret_cast<uint16_t*>(s->visible_pixels + y * s->pitch)[x] = 0x07E0;
  screen_unlock(-1, -1);
  EXPECT_TRUE(window_shows(99, 49, 0x07E0));
}

// Nothing here has interned any decoration atom, so a frameless window has no way to ask.
TEST_F(X11Depth16, FramelessWithoutADecorationHintFails) {
  EXPECT_EQ(XInternAtom(server->display(), "_MOTIF_WM_HINTS", True), None);
  screen_set_title("ohne Rahmen");
  EXPECT_EQ(screen_open(100, 50, 32, 1, SCREEN_NO_FRAME, 0), 1);
  EXPECT_EQ(screen_context, nullptr);
  EXPECT_TRUE(server->find_windows("ohne Rahmen").empty());
}

class X11Depth8 : public X11Suite {
 protected:
  static void SetUpTestSuite() { start(xvfb(640, 480, 8)); }
};

TEST_F(X11Depth8, PaletteIndicesAndColourCells) {
  open(120, 60, 8);
  EXPECT_NE(locked([] { return x11.colormap8; }), Colormap(0));
  palette_set(7, 10, 200, 30);
  XColor cell{};
  EXPECT_TRUE(wait_until([&] {
    cell.pixel = 7;
    XQueryColor(server->display(), x11.colormap8, &cell);
    return cell.red == 10 * 257;
  }));
  EXPECT_EQ(cell.green, 200 * 257);
  EXPECT_EQ(cell.blue, 30 * 257);
  screen_lock();
  std::memset(screen_context->visible_pixels, 7, size_t(screen_context->pitch) * 60);
  screen_unlock(-1, -1);
  EXPECT_TRUE(window_shows(119, 59, 7));
}

// No converter takes a 32-bit page onto an 8-bit visual. The launcher that
// started the program is told all the same that no window will come.
TEST_F(X11Depth8, ThirtyTwoBitPageHasNoConverterThere) {
  int threads = thread_count();
  screen_set_title("acht");
  XSelectInput(server->display(), server->root(), PropertyChangeMask);
  XSync(server->display(), False);
  setenv("DESKTOP_STARTUP_ID", "acht_TIME1", 1);
  screen_take_startup_id();
  EXPECT_EQ(screen_open(120, 60, 32, 1, 0, 0), 1);
  EXPECT_EQ(screen_context, nullptr);
  EXPECT_EQ(thread_count(), threads);
  EXPECT_TRUE(server->find_windows("acht").empty());
  XEvent e;
  EXPECT_TRUE(wait_until([&] { return XCheckTypedEvent(server->display(), ClientMessage, &e); }));
  EXPECT_EQ(screen_startup_id(), nullptr);
}

}  // namespace
