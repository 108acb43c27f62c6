// Lines, boxes, clearing and colours on a Null screen, read back pixel by pixel.
#include <algorithm>
#include <limits>

#include "gfx_fixture.hpp"

namespace {

constexpr uint32_t WHITE = 0xFFFFFFFFu;
using Pixels = std::vector<std::pair<int, int>>;

Pixels row_pixels(int y, std::initializer_list<std::pair<int, int>> runs) {
  Pixels out;
  for (auto [a, b] : runs)
    for (int x = a; x <= b; ++x) out.push_back({x, y});
  return out;
}

TEST_F(NullScreen, FullBoxFillsEveryPixelAndMarksEveryRow) {
  box(0, 0, 800, 200, WHITE);
  EXPECT_TRUE(pixels_not(WHITE).empty());
  EXPECT_EQ(dirty_rows(), row_range(0, 199));
}

TEST_F(NullScreen, DashedLineFromColumn401) {
  line(401, 50, 800, 50, WHITE, 0xFF00);
  size_t on_count = 0;
  for (int x = 0; x < 800; ++x) {
    bool on = x >= 401 && ((x - 401) / 8) % 2 == 0;
    on_count += on;
    ASSERT_EQ(pixel32(x, 50), on ? WHITE : BLACK) << "x " << x;
  }
  EXPECT_EQ(pixels_not(BLACK).size(), on_count);
  EXPECT_EQ(dirty_rows(), row_range(50, 50));
}

TEST_F(NullScreen, DashedLinesStartTheirRunAtTheFirstPoint) {
  line(500, 10, 401, 10, WHITE, 0xFF00);  // leftward: pixel k at x = 500 - k
  for (int x = 401; x <= 500; ++x) EXPECT_EQ(pixel32(x, 10) == WHITE, (500 - x) % 16 < 8) << x;
  line(20, 150, 20, 100, WHITE, 0xF000);  // upward: pixel k at y = 150 - k
  for (int y = 100; y <= 150; ++y) EXPECT_EQ(pixel32(20, y) == WHITE, (150 - y) % 16 < 4) << y;
  line(300, 190, 260, 150, WHITE, 0xF000);  // diagonal up and left
  for (int k = 0; k <= 40; ++k) EXPECT_EQ(pixel32(300 - k, 190 - k) == WHITE, k % 16 < 4) << k;
  std::vector<int> rows = {10};
  for (int y = 100; y <= 190; ++y) rows.push_back(y);
  EXPECT_EQ(dirty_rows(), rows);
}

TEST_F(NullScreen, ClippedLinesKeepTheirPhase) {
  line(30, -5, 30, 40, WHITE, 0xFF00);  // pixel k = y + 5
  for (int y = 0; y <= 40; ++y) EXPECT_EQ(pixel32(30, y) == WHITE, (y + 5) % 16 < 8) << y;
  EXPECT_EQ(dirty_rows(), row_range(0, 40));
  clear_dirty();
  line(-3, 100, 40, 100, WHITE, 0xFF00);  // pixel k = x + 3
  for (int x = 0; x <= 40; ++x) EXPECT_EQ(pixel32(x, 100) == WHITE, (x + 3) % 16 < 8) << x;
  EXPECT_EQ(dirty_rows(), row_range(100, 100));
  line(810, 120, 780, 120, WHITE, 0xFF00);  // leftward from beyond the right edge
  for (int x = 780; x < 800; ++x) EXPECT_EQ(pixel32(x, 120) == WHITE, (810 - x) % 16 < 8) << x;
}

TEST_F(NullScreen, TiesStepAtTheEarlierPixel) {
  line(0, 0, 2, 1, WHITE);
  EXPECT_EQ(pixels_not(BLACK), (Pixels{{0, 0}, {1, 1}, {2, 1}}));
  EXPECT_EQ(dirty_rows(), row_range(0, 1));
  box(0, 0, 800, 200, BLACK);
  line(0, 0, 1, 2, WHITE);
  EXPECT_EQ(pixels_not(BLACK), (Pixels{{0, 0}, {1, 1}, {1, 2}}));
  // Clipped right after a tie: the walk has already stepped x at row -1.
  box(0, 0, 800, 200, BLACK);
  line(10, -4, 11, 4, WHITE);
  EXPECT_EQ(pixels_not(BLACK), (Pixels{{11, 0}, {11, 1}, {11, 2}, {11, 3}, {11, 4}}));
}

// A clamped start whose decision value lands exactly on the edge of the
// walk's range is on the line already: its pixel is the first one drawn.
TEST_F(NullScreen, ClippedStartsOnTheEdgeOfTheRangeKeepTheirFirstPixel) {
  line(-2, 8, 0, 0, WHITE);  // steep: the walk meets column 0 at row 2
  EXPECT_EQ(pixels_not(BLACK), (Pixels{{0, 0}, {0, 1}, {0, 2}}));
  EXPECT_EQ(dirty_rows(), row_range(0, 2));
  box(0, 0, 800, 200, BLACK);
  line(8, -2, 0, 0, WHITE);  // flat: the walk meets row 0 at column 2
  EXPECT_EQ(pixels_not(BLACK), (Pixels{{0, 0}, {1, 0}, {2, 0}}));
}

TEST_F(NullScreen, PointsRoundHalvesAwayFromZero) {
  DrawContext* dc = draw_context();
  int32_t x, y;
  map_point(dc, 10.5f, -10.5f, &x, &y);
  EXPECT_EQ(x, 11);
  EXPECT_EQ(y, -11);
  map_point(dc, 2.4f, -2.5f, &x, &y);
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, -3);
  line(10.5f, 10.5f, 10.5f, 10.5f, WHITE);
  EXPECT_EQ(pixels_not(BLACK), (Pixels{{11, 11}}));
}

TEST_F(NullScreen, NonFinitePointsLieFarOutside) {
  DrawContext* dc = draw_context();
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  int32_t x, y;
  map_point(dc, nan, inf, &x, &y);
  EXPECT_EQ(x, -COORD_LIMIT);
  EXPECT_EQ(y, COORD_LIMIT);
  map_point(dc, -inf, 1e30f, &x, &y);
  EXPECT_EQ(x, -COORD_LIMIT);
  EXPECT_EQ(y, COORD_LIMIT);
  line(nan, nan, nan, 5, WHITE);
  box(nan, nan, -inf, -1e30f, WHITE);
  EXPECT_TRUE(pixels_not(BLACK).empty());
  EXPECT_TRUE(dirty_rows().empty());
  line(100, 100, inf, 100, WHITE);  // runs to the right edge
  EXPECT_EQ(pixels_not(BLACK), row_pixels(100, {{100, 799}}));
}

TEST(DrawAlpha, TranslucentColoursBlendOnlyOnAlphaScreens) {
  for (bool alpha : {true, false}) {
    setenv("ZORGFX", "null", 1);
    ASSERT_EQ(screen_open(16, 16, 32, 1, alpha ? SCREEN_ALPHA : 0, 0), 0);
    unsetenv("ZORGFX");
    draw_line(nullptr, 0xFF0000FF, 2, 0xFFFF, 0, 0, 0, 15, 15);
    draw_line(nullptr, 0x80FF0000, 0, 0xFFFF, 0, 3, 3, 3, 3);  // put_pixel path
    draw_line(nullptr, 0x80FF0000, 2, 0xFFFF, 0, 5, 5, 9, 5);  // fill_span path
    uint32_t want = alpha ? 0x807F007Fu : 0x80FF0000u;
    EXPECT_EQ(pixel32(3, 3), want);
    for (int x = 5; x <= 9; ++x) EXPECT_EQ(pixel32(x, 5), want);
    EXPECT_EQ(pixel32(4, 5), 0xFF0000FFu);
    // Opaque colours are stored as they are, even on alpha screens.
    draw_line(nullptr, 0xFF00FF00, 0, 0xFFFF, 0, 3, 3, 3, 3);
    EXPECT_EQ(pixel32(3, 3), 0xFF00FF00u);
    screen_close();
  }
}

TEST_F(NullScreen, DashedOutlineBox) {
  box(2, 3, 9, 6, WHITE, 1, 0xFF00);
  Pixels want = row_pixels(6, {{2, 9}});
  for (int y = 3; y <= 6; ++y) {
    want.push_back({2, y});
    want.push_back({9, y});
  }
  std::sort(want.begin(), want.end(), [](auto a, auto b) {
    return std::tie(a.second, a.first) < std::tie(b.second, b.first);
  });
  want.erase(std::unique(want.begin(), want.end()), want.end());
  EXPECT_EQ(pixels_not(BLACK), want);
  EXPECT_EQ(dirty_rows(), row_range(3, 6));
}

TEST_F(NullScreen, BoxCornersInAnyOrderDrawTheSame) {
  for (int kind : {1, 2, 5}) {
    for (uint16_t style : {uint16_t(0xFFFF), uint16_t(0xF0F0), uint16_t(0x8001)}) {
      box(0, 0, 800, 200, BLACK);
      box(3, 40, 57, 9, WHITE, kind, style);
      Pixels a = pixels_not(BLACK);
      box(0, 0, 800, 200, BLACK);
      box(57, 9, 3, 40, WHITE, kind, style);
      EXPECT_EQ(pixels_not(BLACK), a) << kind << " " << style;
      box(0, 0, 800, 200, BLACK);
      box(3, 9, 57, 40, WHITE, kind, style);
      EXPECT_EQ(pixels_not(BLACK), a) << kind << " " << style;
      EXPECT_FALSE(a.empty());
    }
  }
}

TEST_F(NullScreen, OutlinesClipEachEdgeToTheView) {
  box(-5, -5, 10, 300, WHITE, 1);
  // Only the right edge (column 10) is inside; top, bottom and left are not.
  Pixels want;
  for (int y = 0; y < 200; ++y) want.push_back({10, y});
  EXPECT_EQ(pixels_not(BLACK), want);
  EXPECT_EQ(dirty_rows(), row_range(0, 199));
}

TEST_F(NullScreen, ClearWithTheDefaultFillsTheBackgroundAndMarksAll) {
  box(0, 0, 800, 200, WHITE);
  clear_dirty();
  screen_clear(CLEAR_DEFAULT);
  EXPECT_TRUE(pixels_not(BLACK).empty());
  EXPECT_EQ(dirty_rows(), row_range(0, 199));
  EXPECT_EQ(draw_context()->pen_x, 400.0f);
  EXPECT_EQ(draw_context()->pen_y, 100.0f);
  color_set(0, 0xFF102030, 1);
  screen_clear(1);
  EXPECT_TRUE(pixels_not(0xFF102030).empty());
}

TEST_F(NullScreen, ColorSetChangesTheForegroundOnlyAndAnswersTheOld) {
  EXPECT_EQ(color_set(0xFFF5FFFF, 0, 2), 0xFFFFFFFFu);
  EXPECT_EQ(draw_context()->foreground, 0xFFF5FFFFu);
  EXPECT_EQ(draw_context()->background, BLACK);
  EXPECT_EQ(color_set(0xFF000001, 0xFF000002, 0), 0xFFF5FFFFu);
  EXPECT_EQ(draw_context()->background, 0xFF000002u);
  draw_line(nullptr, 0x12345678, 0, 0xFFFF, COORD_COLOR_OMITTED, 1, 1, 1, 1);
  EXPECT_EQ(pixel32(1, 1), 0xFF000001u);
}

TEST_F(NullScreen, RelativeCoordinatesFollowThePen) {
  line(10, 10, 20, 10, WHITE);                                // pen at (20, 10)
  draw_line(nullptr, 0xFF00FF00, 0, 0xFFFF, 2, 0, 5, 0, 20);  // first from the pen: (20,15)-(0,20)
  EXPECT_EQ(pixel32(20, 15), 0xFF00FF00u);
  EXPECT_EQ(pixel32(0, 20), 0xFF00FF00u);
  draw_line(nullptr, 0xFFFF0000, 2, 0xFFFF, 1, 100, 100, 3, 2);  // second from the first
  EXPECT_EQ(pixel32(103, 102), 0xFFFF0000u);
  EXPECT_EQ(pixel32(104, 102), BLACK);
  EXPECT_EQ(draw_context()->pen_x, 103.0f);
  draw_line(nullptr, 0xFF0000FF, 0, 0xFFFF, 3, 1, 1, 2, 0);  // both: (104,103)-(106,103)
  EXPECT_EQ(pixels_not(BLACK).size(), 11u + 21u + 12u + 3u);
  EXPECT_EQ(pixel32(106, 103), 0xFF0000FFu);
}

TEST(DrawDepths, SixteenAndEightBitPixels) {
  ASSERT_EQ(screen_open(32, 8, 16, 1, SCREEN_NULL, 0), 0);
  EXPECT_EQ(pixel16(0, 0), 0);  // background 0 at 16 bits
  draw_line(nullptr, 0xFFFF0000, 0, 0xFFFF, 0, 0, 0, 31, 0);
  draw_line(nullptr, 0xFF00FF00, 0, 0xFFFF, 0, 0, 1, 0, 1);
  EXPECT_EQ(pixel16(31, 0), 0xF800);
  EXPECT_EQ(pixel16(0, 1), 0x07E0);
  EXPECT_EQ(color_set(0xFF0000FF, 0, 2), 0xFFFFFFFFu);  // white widened back
  EXPECT_EQ(color_set(0, 0, 3), 0xFF0000FFu);
  screen_close();
  ASSERT_EQ(screen_open(32, 8, 8, 1, SCREEN_NULL, 0), 0);
  draw_line(nullptr, 0, 0, 0xFFFF, COORD_COLOR_OMITTED, 0, 0, 31, 7);
  EXPECT_EQ(screen_context->visible_pixels[0], 15);
  EXPECT_EQ(screen_context->visible_pixels[7 * 32 + 31], 15);
  EXPECT_EQ(color_set(0x1234, 0x56, 0), 15u);  // background 0 << 16 | 15
  EXPECT_EQ(color_set(0, 0, 3), 0x00560034u);
  screen_close();
}

}  // namespace
