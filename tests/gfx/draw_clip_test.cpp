// Clipped lines and boxes against the same shapes walked without clipping,
// and coordinates far outside the view, on a Null screen.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <set>

#include "gfx_fixture.hpp"

namespace {

constexpr uint32_t WHITE = 0xFFFFFFFFu;

// The same line walked without any clipping; pixel k is drawn when bit
// 15 - k mod 16 of the style is set.
struct Walk {
  std::set<std::pair<int, int>> drawn;
  int first_visible_y = INT32_MIN;
};

Walk reference_line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint16_t style,
                    const DrawView& v) {
  Walk w;
  int64_t dx = std::llabs(x2 - x1), dy = std::llabs(y2 - y1);
  int64_t sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
  int64_t x = x1, y = y1;
  auto visit = [&](int64_t k) {
    bool in = x >= v.left && x < v.left + v.width && y >= v.top && y < v.top + v.height;
    if (!in) return;
    if (w.first_visible_y == INT32_MIN) w.first_visible_y = int(y);
    if ((style >> (15 - k % 16)) & 1) w.drawn.insert({int(x), int(y)});
  };
  if (dx >= dy) {
    int64_t d = 2 * dy - dx;
    for (int64_t k = 0; k <= dx; ++k) {
      visit(k);
      if (d >= 0 && dy) {
        y += sy;
        d -= 2 * dx;
      }
      d += 2 * dy;
      x += sx;
    }
  } else {
    int64_t d = dy - 2 * dx;
    for (int64_t k = 0; k <= dy; ++k) {
      visit(k);
      if (d <= 0) {
        x += sx;
        d += 2 * dy;
      }
      d -= 2 * dx;
      y += sy;
    }
  }
  return w;
}

std::set<std::pair<int, int>> drawn_pixels(uint32_t background) {
  std::set<std::pair<int, int>> out;
  for (auto p : pixels_not(background)) out.insert(p);
  return out;
}

void blank_page() {
  std::memset(screen_context->visible_pixels, 0,
              size_t(screen_context->pitch) * screen_context->height);
  clear_dirty();
}

// Random lines inside, across and outside the view against the unclipped
// walk: clipping must not change a single pixel, nor the dash phase.
TEST_F(NullScreen, ClippedLinesMatchTheUnclippedWalk) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> xs(-1500, 2300), ys(-600, 800), bits(0, 0xFFFF);
  DrawContext* dc = draw_context();
  for (int round = 0; round < 2; ++round) {
    if (round == 1) {  // an inner view, absolute coordinates
      dc->view = {150, 40, 333, 97};
      dc->flags |= VIEW_SET | VIEW_ABSOLUTE;
    }
    for (int i = 0; i < 1500; ++i) {
      int x1 = xs(rng), y1 = ys(rng), x2 = xs(rng), y2 = ys(rng);
      if (i % 5 == 0) x2 = x1;  // vertical
      if (i % 7 == 0) y2 = y1;  // horizontal
      if (i % 11 == 0) {
        x1 %= 900;
        y1 %= 220;
        x2 = x1 + 37;
        y2 = y1 - 37;
      }  // diagonal
      uint16_t style = i % 3 == 0 ? 0xFFFF : uint16_t(bits(rng));
      blank_page();
      line(float(x1), float(y1), float(x2), float(y2), WHITE, style);
      Walk w = reference_line(x1, y1, x2, y2, style, dc->view);
      ASSERT_EQ(drawn_pixels(0), w.drawn) << x1 << "," << y1 << " - " << x2 << "," << y2;
      if (w.first_visible_y == INT32_MIN) {
        ASSERT_TRUE(dirty_rows().empty()) << x1 << "," << y1 << " - " << x2 << "," << y2;
      } else {
        int cy2 = std::clamp(y2, dc->view.top, dc->view.top + dc->view.height - 1);
        ASSERT_EQ(dirty_rows(),
                  row_range(std::min(w.first_visible_y, cy2), std::max(w.first_visible_y, cy2)))
            << x1 << "," << y1 << " - " << x2 << "," << y2;
      }
    }
  }
}

// Outlines and filled boxes against a per-pixel rule over the whole box.
TEST_F(NullScreen, ClippedBoxesMatchTheirOutlinePattern) {
  std::mt19937 rng(777);
  std::uniform_int_distribution<int> xs(-300, 1100), ys(-100, 300), bits(0, 0xFFFF);
  DrawContext* dc = draw_context();
  dc->view = {100, 20, 600, 150};
  dc->flags |= VIEW_SET | VIEW_ABSOLUTE;
  const DrawView v = dc->view;
  for (int i = 0; i < 600; ++i) {
    int x1 = xs(rng), y1 = ys(rng), x2 = xs(rng), y2 = ys(rng);
    int kind = i % 3 == 0 ? 2 : 1;
    uint16_t style = i % 4 == 0 ? 0xFFFF : uint16_t(bits(rng));
    blank_page();
    box(float(x1), float(y1), float(x2), float(y2), WHITE, kind, style);
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    std::set<std::pair<int, int>> want;
    auto in = [&](int x, int y) {
      return x >= v.left && x < v.left + v.width && y >= v.top && y < v.top + v.height;
    };
    auto put = [&](int64_t pos, int x, int y) {
      if (in(x, y) && (kind == 2 || ((style >> (15 - pos % 16)) & 1))) want.insert({x, y});
    };
    int64_t w = x2 - x1 + 1, h = y2 - y1 + 1;
    if (kind == 2) {
      for (int y = y1; y <= y2; ++y)
        for (int x = std::max(x1, v.left); x <= std::min(x2, v.left + v.width - 1); ++x)
          put(0, x, y);
    } else {
      for (int x = x1; x <= x2; ++x) put(x - x1, x, y2);
      for (int x = x1; x <= x2; ++x) put(w + x - x1, x, y1);
      for (int y = y1; y <= y2; ++y) put(2 * w + y - y1, x2, y);
      for (int y = y1; y <= y2; ++y) put(2 * w + h + y - y1, x1, y);
    }
    ASSERT_EQ(drawn_pixels(0), want) << x1 << "," << y1 << " - " << x2 << "," << y2;
    bool visible = !(x2 < v.left || y2 < v.top || x1 >= v.left + v.width || y1 >= v.top + v.height);
    if (visible)
      ASSERT_EQ(dirty_rows(), row_range(std::max(y1, v.top), std::min(y2, v.top + v.height - 1)));
    else
      ASSERT_TRUE(dirty_rows().empty());
  }
}

// Coordinates far outside, huge and non-finite: nothing may be written
// outside the view (and under AddressSanitizer, nothing outside the page).
TEST_F(NullScreen, WildCoordinatesNeverLeaveTheView) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float specials[] = {nan,           inf,    -inf,          1e30f,          -1e30f,
                            3e9f,          -3e9f,  2147483648.0f, -2147483648.0f, 536870912.0f,
                            -536870913.0f, 1e7f,   -1e7f,         0.0f,           -0.0f,
                            799.5f,        199.5f, -0.5f};
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> pick(0, int(std::size(specials)) - 1), coin(0, 2), kinds(0, 3),
      bits(0, 0xFFFF);
  std::uniform_real_distribution<float> near(-2000.0f, 2000.0f);
  auto coordinate = [&] { return coin(rng) == 0 ? near(rng) : specials[pick(rng)]; };
  DrawContext* dc = draw_context();
  for (int round = 0; round < 2; ++round) {
    if (round == 1) {
      dc->view = {200, 50, 300, 80};
      dc->flags |= VIEW_SET;  // coordinates offset by the view's origin
    }
    const DrawView v = dc->view;
    blank_page();
    for (int i = 0; i < 20000; ++i) {
      float x1 = coordinate(), y1 = coordinate(), x2 = coordinate(), y2 = coordinate();
      int kind = kinds(rng);
      draw_line(nullptr, WHITE, kind == 3 ? 0 : kind, uint16_t(bits(rng)), 0, x1, y1, x2, y2);
    }
    for (auto [x, y] : pixels_not(0))
      ASSERT_TRUE(x >= v.left && x < v.left + v.width && y >= v.top && y < v.top + v.height)
          << x << "," << y;
    for (int y : dirty_rows()) ASSERT_TRUE(y >= v.top && y < v.top + v.height) << y;
  }
}

TEST_F(NullScreen, LongLinesAcrossTheViewStayExact) {
  // Far end points with exact float values: the walk is still the true one
  // where it crosses the page.
  blank_page();
  line(-4194304, 100, 4194304, 101, WHITE);  // 2^22: exactly representable
  Walk w = reference_line(-4194304, 100, 4194304, 101, 0xFFFF, draw_context()->view);
  EXPECT_EQ(drawn_pixels(0), w.drawn);
  blank_page();
  line(400, -3000000, 401, 3000000, WHITE, 0xF0F0);
  w = reference_line(400, -3000000, 401, 3000000, 0xF0F0, draw_context()->view);
  EXPECT_EQ(drawn_pixels(0), w.drawn);
}

}  // namespace
