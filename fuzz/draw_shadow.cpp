// The draw fuzzer's shadow page, drawn the plain way, and its checks.
#include "draw_shadow.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "check.hpp"
#include "gfx/draw.hpp"
#include "gfx/screen_driver.hpp"
#include "gfx/text.hpp"

uint32_t* page() { return reinterpret_cast<uint32_t*>(screen_context->pages[0]); }

void resync(Shadow& shadow) {
  if (!shadow.valid) return;
  const ScreenContext* s = screen_context;
  std::memcpy(shadow.pixels.data(), page(), size_t(s->width) * s->height * 4);
}

int32_t clampCoordinate(float v) {
  if (std::isnan(v)) return -coordLimit;
  if (v <= -float(coordLimit)) return -coordLimit;
  if (v >= float(coordLimit)) return coordLimit;
  return int32_t(v);
}

// Where a point lands on the page, without a window mapping.
void mapped(const DrawContext* dc, float x, float y, int64_t* mx, int64_t* my) {
  *mx = clampCoordinate(std::round(x));
  *my = clampCoordinate(std::round(y));
  if (!(dc->flags & VIEW_ABSOLUTE)) {
    *mx += dc->view.left;
    *my += dc->view.top;
  }
}

bool inView(const DrawContext* dc, int64_t x, int64_t y) {
  const DrawView& v = dc->view;
  return x >= v.left && x < int64_t(v.left) + v.width && y >= v.top &&
         y < int64_t(v.top) + v.height;
}

Painter painter(const DrawContext* dc, Shadow& shadow, uint32_t flags, uint32_t color) {
  const uint32_t value = (flags & COORD_COLOR_OMITTED) ? dc->foreground : color;
  const bool blend = (screen_context->flags & CONTEXT_ALPHA) && (value >> 24) != 0xFF;
  return Painter{dc, &shadow, value, blend};
}

// The first point relative to the pen for 2, 5 and 3, the second relative to
// the first for 1 and 3; the pen ends on the last point.
void resolve(uint32_t flags, float pen_x, float pen_y, float* x1, float* y1, float* x2, float* y2) {
  const uint32_t rel = flags & 7;
  const bool single = !x2;
  if (rel == 2 || rel == 5 || (!single && rel == 3)) {
    *x1 += pen_x;
    *y1 += pen_y;
  }
  if (!single && (rel == 1 || rel == 3)) {
    *x2 += *x1;
    *y2 += *y1;
  }
}

bool same(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// Whether the plain walk is short enough to take pixel by pixel.
bool walkable(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  const int64_t limit = 1 << 15;
  return std::llabs(x1) < limit && std::llabs(y1) < limit && std::llabs(x2) < limit &&
         std::llabs(y2) < limit;
}

// The whole line from its first point, pattern bit 15 - (k mod 16) for the
// k-th pixel; on a tie the minor coordinate steps at the earlier pixel.
// Returns the rows of the positions inside the view (whether drawn or not).
void shadowLine(const Painter& put, uint16_t style, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                int64_t* rowFrom, int64_t* rowTo) {
  const int64_t dx = std::llabs(x2 - x1), dy = std::llabs(y2 - y1);
  const int64_t sx = x2 > x1 ? 1 : -1, sy = y2 > y1 ? 1 : -1;
  const bool xMajor = dx >= dy;
  int64_t d = xMajor ? 2 * dy - dx : dy - 2 * dx;
  int64_t x = x1, y = y1;
  const int64_t steps = xMajor ? dx : dy;
  *rowFrom = INT64_MAX;
  *rowTo = INT64_MIN;
  for (int64_t k = 0; k <= steps; ++k) {
    if (inView(put.dc, x, y)) {
      if ((style >> (15 - (k & 15))) & 1) put(x, y);
      if (y < *rowFrom) *rowFrom = y;
      if (y > *rowTo) *rowTo = y;
    }
    if (xMajor) {
      if (d >= 0) {
        y += sy;
        d -= 2 * dx;
      }
      d += 2 * dy;
      x += sx;
    } else {
      if (d <= 0) {
        x += sx;
        d += 2 * dy;
      }
      d -= 2 * dx;
      y += sy;
    }
  }
}

// Bottom and top left to right, right and left top to bottom, one pattern
// position running through all four edges, each counted over its full length.
void shadowBox(const Painter& put, bool filled, uint16_t style, int64_t x1, int64_t y1, int64_t x2,
               int64_t y2) {
  const DrawView& v = put.dc->view;
  const int64_t L = v.left, T = v.top, R = L + v.width - 1, B = T + v.height - 1;
  const int64_t cx1 = std::max(x1, L), cx2 = std::min(x2, R);
  const int64_t cy1 = std::max(y1, T), cy2 = std::min(y2, B);
  if (cx1 > cx2 || cy1 > cy2) return;
  if (filled) {
    for (int64_t y = cy1; y <= cy2; ++y)
      for (int64_t x = cx1; x <= cx2; ++x) put(x, y);
    return;
  }
  const int64_t w = x2 - x1 + 1, h = y2 - y1 + 1;
  auto on = [style](int64_t pos) { return (style >> (15 - (pos & 15))) & 1; };
  if (y2 <= B)
    for (int64_t x = cx1; x <= cx2; ++x)
      if (on(x - x1)) put(x, y2);
  if (y1 >= T)
    for (int64_t x = cx1; x <= cx2; ++x)
      if (on(w + x - x1)) put(x, y1);
  if (x2 <= R)
    for (int64_t y = cy1; y <= cy2; ++y)
      if (on(2 * w + y - y1)) put(x2, y);
  if (x1 >= L)
    for (int64_t y = cy1; y <= cy2; ++y)
      if (on(2 * w + h + y - y1)) put(x1, y);
}

void shadowText(const Painter& put, const char* text, int32_t length, int64_t x, int64_t y) {
  const FontDescriptor* font = screen_context->font ? screen_context->font : &font_8x8;
  const DrawView& v = put.dc->view;
  for (int64_t i = 0; i < length; ++i) {
    const int64_t cx = x + i * font->width;
    if (cx + font->width <= v.left || cx >= int64_t(v.left) + v.width) continue;
    const uint8_t* glyph = font->glyphs + size_t(uint8_t(text[i])) * size_t(font->height);
    for (int64_t r = 0; r < font->height; ++r)
      for (int64_t j = 0; j < font->width; ++j)
        if (((glyph[r] >> j) & 1) && inView(put.dc, cx + j, y + r)) put(cx + j, y + r);
  }
}

std::vector<int> dirtyRows() {
  std::vector<int> rows;
  for (int y = 0; y < screen_context->height; ++y)
    if (screen_context->dirty_lines[y]) rows.push_back(y);
  return rows;
}

// Dirty rows lie inside the view and inside [from, to]; the rows drawn on
// are all among them.
void checkDirty(const DrawContext* dc, const Shadow& shadow, int64_t from, int64_t to) {
  const DrawView& v = dc->view;
  for (int y : dirtyRows()) {
    FUZZ_CHECK(y >= v.top && y < int64_t(v.top) + v.height);
    FUZZ_CHECK(y >= from && y <= to);
  }
  if (!shadow.valid) return;
  for (int y = 0; y < screen_context->height; ++y)
    if (shadow.drawn[size_t(y)]) FUZZ_CHECK(screen_context->dirty_lines[y]);
}

char lastOperation[256];

void checkPage(const Shadow& shadow) {
  if (!shadow.valid) return;
  const ScreenContext* s = screen_context;
  if (std::memcmp(shadow.pixels.data(), page(), size_t(s->width) * s->height * 4) == 0) return;
  std::fprintf(stderr, "after %s on %dx%d, view %d %d %d %d:\n", lastOperation, s->width, s->height,
               draw_context()->view.left, draw_context()->view.top, draw_context()->view.width,
               draw_context()->view.height);
  int shown = 0;
  for (int y = 0; y < s->height; ++y)
    for (int x = 0; x < s->width; ++x) {
      const size_t i = size_t(y) * s->width + x;
      if (shadow.pixels[i] != page()[i] && shown++ < 12)
        std::fprintf(stderr, "  (%d, %d) is %08x, expected %08x\n", x, y, page()[i],
                     shadow.pixels[i]);
    }
  FUZZ_CHECK(!"page as drawn the plain way");
}
