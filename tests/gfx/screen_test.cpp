// Opening, closing and locking the screen; driver choice; title; events.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/console.hpp"
#include "gfx/console_screen.hpp"
#include "gfx/text.hpp"
#include "gfx_fixture.hpp"
#include "support/scratch.hpp"

// Huge allocations must come back as null, not end the program.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

void count_lock() { ++CountingDriver::locks; }
void count_unlock() { ++CountingDriver::unlocks; }
void count_exit() { ++CountingDriver::exits; }
void record_title(const char* t) { CountingDriver::title = t; }
int fixed_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip) {
  *x = 12, *y = 34, *wheel = -1, *buttons = 1, *clip = 0;
  return CountingDriver::mouse_result;
}

}  // namespace

const DisplayDriver CountingDriver::driver = {
    .name = "Counting",
    .init = nullptr,
    .exit = count_exit,
    .lock = count_lock,
    .unlock = count_unlock,
    .set_palette = nullptr,
    .wait_vsync = nullptr,
    .get_mouse = fixed_mouse,
    .set_mouse = nullptr,
    .set_window_title = record_title,
    .set_window_pos = nullptr,
    .fetch_modes = nullptr,
    .flip = nullptr,
    .poll = nullptr,
    .desktop = nullptr,
    .set_attention = nullptr,
};

namespace {

// Swaps the counting driver into the open screen for one test.
class CountedScreen : public NullScreen {
 protected:
  void SetUp() override {
    NullScreen::SetUp();
    CountingDriver::reset();
    screen_context->driver = &CountingDriver::driver;
  }
  void TearDown() override {
    screen_context->driver = &null_driver;
    NullScreen::TearDown();
  }
};

TEST(ScreenOpen, NormalisesDepthAndSizesThePage) {
  ASSERT_EQ(screen_open(800, 600, 24, 0, SCREEN_NULL, 0), 0);
  const ScreenContext* s = screen_context;
  EXPECT_EQ(s->depth, 32);
  EXPECT_EQ(s->bytes_per_pixel, 4);
  EXPECT_EQ(s->pitch, 3200);
  EXPECT_EQ(s->page_count, 1);
  EXPECT_EQ(s->color_mask, 0xFFFFFFFFu);
  EXPECT_EQ(s->text_columns, 100);
  EXPECT_EQ(s->text_rows, 75);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(s->pages[0]) % 16, 0u);
  EXPECT_EQ(s->visible_pixels, s->pages[0]);
  // A block may come only 8-aligned: the page and the address before it stay inside.
  alignas(16) uint8_t block[32];
  for (uint8_t* b : {block, block + 8}) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(page_start(b)) % 16, 0u);
    EXPECT_GE(page_start(b) - b, 8);
    EXPECT_LE(page_start(b) - b, ptrdiff_t(PAGE_SLACK));
  }
  // Every pixel starts as opaque black, no row is dirty yet.
  EXPECT_TRUE(pixels_not(0xFF000000u).empty());
  EXPECT_TRUE(dirty_rows().empty());
  screen_close();

  ASSERT_EQ(screen_open(640, 480, 15, 3, SCREEN_NULL, 0), 0);
  EXPECT_EQ(screen_context->depth, 16);
  EXPECT_EQ(screen_context->pitch, 1280);
  EXPECT_EQ(screen_context->color_mask, 0xFFFFu);
  EXPECT_EQ(screen_context->page_count, 3);
  for (int p = 0; p < 3; ++p)
    EXPECT_EQ(reinterpret_cast<uintptr_t>(screen_context->pages[p]) % 16, 0u);
  screen_close();

  ASSERT_EQ(screen_open(64, 32, 4, 1, SCREEN_NULL, 0), 0);
  EXPECT_EQ(screen_context->bytes_per_pixel, 1);
  EXPECT_EQ(screen_context->color_mask, 15u);
  screen_close();
  EXPECT_EQ(screen_context, nullptr);
}

TEST(ScreenOpen, BadArgumentsLeaveAnOpenScreenUntouched) {
  ASSERT_EQ(screen_open(320, 200, 32, 1, SCREEN_NULL, 0), 0);
  ScreenContext* before = screen_context;
  int32_t serial = before->serial;
  EXPECT_EQ(screen_open(640, 480, 12, 1, 0, 0), 1);
  EXPECT_STREQ(screen_failure(), "640 x 480 Pixel mit 12 Bit sind nicht möglich");
  EXPECT_EQ(screen_open(0, 480, 32, 1, 0, 0), 1);
  EXPECT_EQ(screen_open(640, -1, 32, 1, 0, 0), 1);
  EXPECT_EQ(screen_open(SCREEN_MAX_SIZE + 1, 1, 8, 1, 0, 0), 1);
  EXPECT_EQ(screen_context, before);
  EXPECT_EQ(screen_context->serial, serial);
  EXPECT_EQ(screen_context->width, 320);
  EXPECT_NE(console_hooks.read_key, nullptr);
  screen_close();
}

TEST(ScreenOpen, ReopeningGivesANewSerialAndFreshDrawingState) {
  ASSERT_EQ(screen_open(100, 100, 32, 1, SCREEN_NULL, 0), 0);
  int32_t first = screen_context->serial;
  color_set(0xFF123456, 0, 2);
  ASSERT_EQ(screen_open(100, 100, 32, 1, SCREEN_NULL, 0), 0);
  EXPECT_GT(screen_context->serial, first);
  // The old foreground is gone: a line in the omitted colour is white again.
  draw_line(nullptr, 0, 0, 0xFFFF, COORD_COLOR_OMITTED, 5, 5, 5, 5);
  EXPECT_EQ(pixel32(5, 5), 0xFFFFFFFFu);
  screen_close();
}

TEST(ScreenOpen, FlagsReachTheContextExceptForTheNullRequest) {
  ASSERT_EQ(screen_open(64, 64, 32, 1, SCREEN_NULL, 0), 0);
  EXPECT_EQ(screen_context->flags, 0u);
  screen_close();
  setenv("ZORGFX", "NuLL", 1);
  ASSERT_EQ(screen_open(64, 64, 32, 1, SCREEN_ALPHA | SCREEN_PRIORITY, 0), 0);
  unsetenv("ZORGFX");
  EXPECT_EQ(screen_context->driver, &null_driver);
  EXPECT_EQ(screen_context->flags, uint32_t(CONTEXT_ALPHA | CONTEXT_PRIORITY));
  screen_close();
}

TEST(ScreenOpen, ExhaustedMemoryFailsWithoutAScreen) {
  // 64 pages of 4 TiB each cannot all exist in any address space.
  EXPECT_EQ(screen_open(SCREEN_MAX_SIZE, SCREEN_MAX_SIZE, 32, 64, SCREEN_NULL, 0), 1);
  EXPECT_EQ(screen_context, nullptr);
  EXPECT_EQ(console_hooks.read_key, nullptr);
  // And the layer still works afterwards.
  ASSERT_EQ(screen_open(16, 16, 32, 1, SCREEN_NULL, 0), 0);
  screen_close();
}

TEST(ScreenHooks, FilledAtOpenClearedAtCloseReservedSlotKept) {
  static bool reserved_called = false;
  console_hooks.console_reserved = [] { reserved_called = true; };
  ASSERT_EQ(screen_open(64, 64, 32, 1, SCREEN_NULL, 0), 0);
  const void* const* slot = reinterpret_cast<const void* const*>(&console_hooks);
  constexpr int slots = sizeof(ConsoleHooks) / sizeof(void*);
  static_assert(slots == 28);
  for (int i = 1; i < slots; ++i) EXPECT_NE(slot[i], nullptr) << "slot " << i;
  screen_close();
  for (int i = 1; i < slots; ++i) EXPECT_EQ(slot[i], nullptr) << "slot " << i;
  ASSERT_NE(console_hooks.console_reserved, nullptr);
  console_hooks.console_reserved();
  EXPECT_TRUE(reserved_called);
  console_hooks.console_reserved = nullptr;
}

TEST(ScreenHooks, ConsoleCallsWithoutAScreenAreNeutral) {
  screen_close();
  EXPECT_EQ(console_read_key(), "");
  int32_t v[5] = {7, 7, 7, 7, 7};
  EXPECT_EQ(console_read_mouse(&v[0], &v[1], &v[2], &v[3], &v[4]), 1);
  for (int32_t x : v) EXPECT_EQ(x, -1);
  EXPECT_EQ(console_color(0xFFFFFFFF, 0, 2), 0u);
  EXPECT_EQ(console_width(100, 14), 0);
  console_clear(CLEAR_DEFAULT);
  EXPECT_EQ(console_sleep(1, 1), 0);
  EXPECT_EQ(console_sleep(1, 7), 1);
}

TEST_F(CountedScreen, NestedLocksCallTheDriverOnceEach) {
  screen_lock();
  screen_lock();
  EXPECT_EQ(CountingDriver::locks, 1);
  screen_unlock(1, 0);
  EXPECT_EQ(CountingDriver::unlocks, 0);
  EXPECT_EQ(screen_context->lock_count, 1);
  screen_unlock(1, 0);
  EXPECT_EQ(CountingDriver::unlocks, 1);
  EXPECT_EQ(screen_context->lock_count, 0);
  EXPECT_TRUE(dirty_rows().empty());
}

TEST_F(CountedScreen, UnlockMarksRowsAndReleasesOneLevel) {
  screen_lock();
  screen_unlock(-1, -1);
  EXPECT_EQ(dirty_rows(), row_range(0, 199));
  EXPECT_EQ(CountingDriver::locks, 1);
  EXPECT_EQ(CountingDriver::unlocks, 1);

  clear_dirty();
  screen_lock();
  screen_unlock(0, 200);  // last row out of range: nothing marked, still released
  EXPECT_TRUE(dirty_rows().empty());
  EXPECT_EQ(CountingDriver::unlocks, 2);

  screen_unlock(10, 12);  // no lock held: marks, leaves the driver alone
  EXPECT_EQ(dirty_rows(), row_range(10, 12));
  EXPECT_EQ(CountingDriver::unlocks, 2);
  EXPECT_EQ(screen_context->lock_count, 0);

  clear_dirty();
  screen_unlock(-5, 3);
  EXPECT_EQ(dirty_rows(), row_range(0, 3));
}

TEST_F(CountedScreen, PrimitivesKeepAnOuterLock) {
  screen_lock();
  line(0, 0, 799, 199, 0xFFFFFFFF);
  box(10, 10, 20, 20, 0xFFFFFFFF);
  screen_clear(CLEAR_DEFAULT);
  EXPECT_EQ(screen_context->lock_count, 1);
  EXPECT_EQ(CountingDriver::locks, 1);
  EXPECT_EQ(CountingDriver::unlocks, 0);
  screen_unlock(1, 0);
  EXPECT_EQ(CountingDriver::unlocks, 1);
}

// A hold inside the bracket keeps the update thread out and nothing else:
// the frame is still being recorded, and drawn at the unlock.
TEST_F(CountedScreen, AHoldNeverEndsAFrame) {
  screen_lock();
  box(10, 10, 20, 20, 0xFFFFFFFF);
  screen_hold();
  screen_release();
  EXPECT_EQ(pixel32(15, 15), BLACK);
  EXPECT_EQ(screen_context->lock_count, 1);
  EXPECT_EQ(CountingDriver::unlocks, 0);
  screen_unlock(1, 0);
  EXPECT_EQ(pixel32(15, 15), 0xFFFFFFFFu);
  EXPECT_EQ(CountingDriver::unlocks, 1);
}

// A frame drawn again unchanged is skipped and marks nothing; a changed
// byte, or anything that touched the page in between, draws it in full.
TEST_F(NullScreen, RepeatedFramesAreSkippedUnlessThePageWasTouched) {
  struct Case {
    const char* between;
    const char* text;
    void (*touch)();
    bool redrawn;
    const char* before = "ab";
  };
  // Cells 0 to 99 of a text at x = 4 are in view; what lies beyond is not drawn.
  const std::string hidden1 = "ab" + std::string(98, ' ') + "1",
                    hidden2 = "ab" + std::string(98, ' ') + "2";
  const Case cases[] = {
      {"nothing", "ab", [] {}, false},
      {"one changed byte", "ac", [] {}, true},
      {"a line outside any frame", "ab",
       [] { draw_line(nullptr, ~0u, 0, 0xFFFF, 0, 0, 9, 799, 9); }, true},
      {"console printing", "ab", [] { screen_print_bytes("X", 1); }, true},
      {"a page copy", "ab", [] { screen_copy_page(0, 0); }, true},
      {"a change beyond the view", hidden2.c_str(), [] {}, false, hidden1.c_str()},
  };
  auto frame = [this](const char* text) {
    screen_lock();
    screen_clear(0);
    box(100, 0, 120, 199, 0xFF336699u);
    draw_text(nullptr, 0, text, int32_t(std::strlen(text)), 0xFFFFFFFFu, nullptr, 0, 4, 4, nullptr,
              nullptr, nullptr);
    screen_unlock(-1, -1);
  };
  auto page = [] {
    const ScreenContext* s = screen_context;
    return std::vector<uint8_t>(s->visible_pixels, s->visible_pixels + s->pitch * s->height);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.between);
    frame(c.before);
    c.touch();
    clear_dirty();
    frame(c.text);
    EXPECT_EQ(dirty_rows(), c.redrawn ? row_range(0, 199) : std::vector<int>{});
    const std::vector<uint8_t> shown = page();
    screen_copy_page(0, 0);  // the next frame draws in full
    frame(c.text);
    EXPECT_TRUE(shown == page());
  }
}

// A repeated run starts where the pen stands, and one that clears is not
// repeated: the clear puts the cursor home every frame.
TEST_F(NullScreen, ARunRepeatsForItsKeyAndLeavesPenAndColoursAsItsDrawingWould) {
  struct Frame {
    const char* key;
    bool repeats;
    uint32_t colour;
    float end;  // where the run leaves the pen
  };
  for (const Frame& f : {Frame{"a", false, 0xFF00FF00u, 20}, Frame{"a", true, 0xFF00FF00u, 20},
                         Frame{"b", false, 0xFFFF0000u, 40}, Frame{"b", true, 0xFFFF0000u, 40}}) {
    screen_lock();
    color_set(~0u, 0, COLOR_BACKGROUND_OMITTED);
    line(0, 0, 0, 0, BLACK);
    const bool repeated = draw_run_repeat(3, f.key, 1);
    EXPECT_EQ(repeated, f.repeats) << f.key;
    if (!repeated) {
      color_set(f.colour, 0, COLOR_BACKGROUND_OMITTED);
      draw_line(nullptr, 0, DRAW_SEGMENT, 0xFFFF, COORD_COLOR_OMITTED, 10, 10, f.end, f.end);
      draw_run_end();
    }
    draw_line(nullptr, 0, DRAW_SEGMENT, 0xFFFF, COORD_COLOR_OMITTED | 3, 0, 2, 0, 2);
    screen_unlock(-1, -1);
    EXPECT_EQ(pixel32(int(f.end), int(f.end) + 2), f.colour) << f.key;
  }
}

TEST_F(NullScreen, RepeatedRunsFollowThePenAndNeverSkipAClear) {
  for (float at : {10.0f, 100.0f}) {
    screen_locate(5, 9, 0);
    screen_lock();
    line(0, 0, 0, 0, BLACK);  // the same pen for the clearing run
    if (!draw_run_repeat(1, "k", 1)) {
      screen_clear(0);
      draw_run_end();
    }
    line(at, at, at, at, BLACK);
    if (!draw_run_repeat(2, "k", 1)) {
      draw_line(nullptr, ~0u, 2, 0xFFFF, 3, 0, 0, 3, 3);  // a box from the pen
      draw_run_end();
    }
    screen_unlock(-1, -1);
    EXPECT_EQ(pixel32(int(at) + 3, int(at) + 3), ~0u) << at;
    EXPECT_EQ(screen_cursor_row(), 1) << at;
  }
}

TEST_F(CountedScreen, LinesWhollyOutsideTakeNoLock) {
  line(-10, 5, -1, 50, 0xFFFFFFFF);
  line(800, 5, 900, 50, 0xFFFFFFFF);
  line(5, -10, 50, -1, 0xFFFFFFFF);
  line(5, 200, 50, 300, 0xFFFFFFFF);
  box(-30, -30, -1, 100, 0xFFFFFFFF);
  EXPECT_EQ(CountingDriver::locks, 0);
  EXPECT_TRUE(dirty_rows().empty());
  line(0, 0, 0, 0, 0xFFFFFFFF);
  EXPECT_EQ(CountingDriver::locks, 1);
  EXPECT_EQ(CountingDriver::unlocks, 1);
}

TEST_F(CountedScreen, TitleReachesTheDriverAtOnce) {
  screen_set_title("Zeige 2 Server");
  EXPECT_EQ(CountingDriver::title, "Zeige 2 Server");
  EXPECT_STREQ(screen_title(), "Zeige 2 Server");
  std::string longer(300, 'x');
  screen_set_title(longer);
  EXPECT_EQ(CountingDriver::title, std::string(127, 'x'));
}

TEST_F(NullScreen, EventRingDropsTheOldest) {
  for (int i = 0; i < 127 + 5; ++i) event_post(ScreenEvent{EVENT_KEY_PRESS, i, 0, 0, 0});
  const ScreenContext* s = screen_context;
  EXPECT_EQ((s->event_head - s->event_tail) & 127, 127);
  EXPECT_EQ(s->events[s->event_tail].a, 5);  // events 0 to 4 are gone
  EXPECT_EQ(s->events[(s->event_head + 127) & 127].a, 131);
}

TEST_F(NullScreen, InfoReportsTheScreenAndNothingWithoutOne) {
  int32_t w, h, d, bpp, pitch, rate;
  const char* name = nullptr;
  screen_info(&w, &h, &d, &bpp, &pitch, &rate, &name);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 200);
  EXPECT_EQ(d, 32);
  EXPECT_EQ(bpp, 4);
  EXPECT_EQ(pitch, 3200);
  EXPECT_STREQ(name, "Null");
  screen_close();
  screen_info(nullptr, nullptr, nullptr, &bpp, &pitch, nullptr, &name);
  EXPECT_EQ(bpp, 0);
  EXPECT_EQ(pitch, 0);
  EXPECT_STREQ(name, "");
}

// The default title is the program file's name without its extension. The
// binary is copied under another name and asked for its title.
TEST(ScreenTitle, DefaultIsTheProgramName) {
  if (std::getenv("TANDREL_TITLE_CHILD")) {
    ASSERT_EQ(screen_open(8, 8, 32, 1, SCREEN_NULL, 0), 0);
    std::printf("title=[%s]\n", screen_title());
    screen_close();
    return;
  }
  ScratchDir dir;
  std::string copy = dir.file("monitor.bin");
  std::filesystem::copy_file("/proc/self/exe", copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);
  std::string command =
      "TANDREL_TITLE_CHILD=1 " + copy + " --gtest_filter=ScreenTitle.DefaultIsTheProgramName 2>&1";
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  EXPECT_NE(out.find("title=[monitor]"), std::string::npos) << out;
}

}  // namespace
