#pragma once
// A Null-driver screen for the graphics tests, read back pixel by pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/draw.hpp"
#include "gfx/draw_context.hpp"
#include "gfx/screen_driver.hpp"

inline uint32_t pixel32(int x, int y) {
  const ScreenContext* s = screen_context;
  uint32_t v;
  std::memcpy(&v, s->visible_pixels + size_t(y) * s->pitch + size_t(x) * 4, 4);
  return v;
}

inline uint16_t pixel16(int x, int y) {
  const ScreenContext* s = screen_context;
  uint16_t v;
  std::memcpy(&v, s->visible_pixels + size_t(y) * s->pitch + size_t(x) * 2, 2);
  return v;
}

inline void clear_dirty() {
  std::memset(screen_context->dirty_lines, 0, size_t(screen_context->height));
}

// Rows whose dirty byte is set.
inline std::vector<int> dirty_rows() {
  std::vector<int> rows;
  for (int y = 0; y < screen_context->height; ++y)
    if (screen_context->dirty_lines[y]) rows.push_back(y);
  return rows;
}

inline std::vector<int> row_range(int first, int last) {
  std::vector<int> rows;
  for (int y = first; y <= last; ++y) rows.push_back(y);
  return rows;
}

// Pixels (x, y) of the whole page that differ from value, in row order.
inline std::vector<std::pair<int, int>> pixels_not(uint32_t value) {
  std::vector<std::pair<int, int>> out;
  for (int y = 0; y < screen_context->height; ++y)
    for (int x = 0; x < screen_context->width; ++x)
      if (pixel32(x, y) != value) out.push_back({x, y});
  return out;
}

// Opens an 800 x 200 32-bit Null screen and clears its dirty rows.
class NullScreen : public ::testing::Test {
 protected:
  static constexpr uint32_t BLACK = 0xFF000000u;
  void SetUp() override { open(0); }
  void TearDown() override { screen_close(); }
  void open(int32_t flags, int32_t width = 800, int32_t height = 200, int32_t depth = 32) {
    // Flags other than SCREEN_NULL reach the Null driver by name.
    if (flags != 0) setenv("ZORGFX", "null", 1);
    int32_t result = screen_open(width, height, depth, 1, flags == 0 ? SCREEN_NULL : flags, 0);
    if (flags != 0) unsetenv("ZORGFX");
    ASSERT_EQ(result, 0);
    if (screen_context->driver != &null_driver) GTEST_FAIL() << "not the Null driver";
    clear_dirty();
  }
  void line(float x1, float y1, float x2, float y2, uint32_t color, uint16_t style = 0xFFFF) {
    draw_line(nullptr, color, 0, style, 0, x1, y1, x2, y2);
  }
  void box(float x1, float y1, float x2, float y2, uint32_t color, int32_t kind = 2,
           uint16_t style = 0xFFFF) {
    draw_line(nullptr, color, kind, style, 0, x1, y1, x2, y2);
  }
};

// Records the driver calls of a screen it is swapped into.
struct CountingDriver {
  static inline int locks = 0, unlocks = 0, inits = 0, exits = 0;
  static inline std::string title;
  static inline int mouse_result = 0;
  static void reset() {
    locks = unlocks = inits = exits = 0;
    title.clear();
    mouse_result = 0;
  }
  static const DisplayDriver driver;
};
