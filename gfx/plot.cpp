// Plotting: lines, boxes and text written into the target's pixels, clipped
// to the view, their rows marked. Below the frame recording, which replays
// through these; they never record.
//
// Clipping never changes which pixels of a line are drawn: the dash pattern
// is counted from the line's first point in major-axis steps, whatever part
// of it lies outside the view and whichever way it runs.
#include "gfx/plot.hpp"

#include <algorithm>

namespace {

int64_t clamp64(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

uint16_t reverse_bits(uint16_t v) {
  uint16_t r = 0;
  for (int i = 0; i < 16; ++i)
    if (v & (1u << i)) r = uint16_t(r | (0x8000u >> i));
  return r;
}

uint16_t rotate_mask(uint16_t m) { return uint16_t((m >> 1) | (m << 15)); }

// Plain 32-bit pixels are stored directly, other kinds through put_pixel;
// both give the same pixels.
struct DirectPut {
  uint8_t* const* lines;
  uint32_t value;
  void operator()(int64_t x, int64_t y) const { reinterpret_cast<uint32_t*>(lines[y])[x] = value; }
};

struct RoutinePut {
  DrawContext* dc;
  uint32_t value;
  void operator()(int64_t x, int64_t y) const { dc->put_pixel(dc, int32_t(x), int32_t(y), value); }
};

template <typename Op>
void with_put(DrawContext* dc, uint32_t value, Op op) {
  if (put_pixel_is_plain32(dc))
    op(DirectPut{dc->lines, value});
  else
    op(RoutinePut{dc, value});
}

// A straight run along one axis from a to b (a <= b), the pattern mask
// starting at bit 15 - phase. fixed is the other coordinate.
void plot_run(DrawContext* dc, bool horizontal, int32_t fixed, int32_t a, int32_t b, uint32_t value,
              uint16_t style, int64_t phase) {
  if (horizontal && style == 0xFFFF) {
    dc->fill_span(dc->lines[fixed] + int64_t(a) * dc->bytes_per_pixel, value, b - a + 1);
    return;
  }
  with_put(dc, value, [&](auto put) {
    uint16_t mask = uint16_t(0x8000u >> (phase & 15));
    for (int32_t i = a; i <= b; ++i) {
      if (mask & style) {
        if (horizontal)
          put(i, fixed);
        else
          put(fixed, i);
      }
      mask = rotate_mask(mask);
    }
  });
}

// A line along one axis from p1 toward p2, already known to touch the view
// on the other axis. lo and hi bound the view on this axis. Returns the
// covered range for dirty marking.
void plot_straight(DrawContext* dc, bool horizontal, int32_t fixed, int64_t p1, int64_t p2,
                   int64_t lo, int64_t hi, uint32_t value, uint16_t style, int64_t* from,
                   int64_t* to) {
  int64_t start = clamp64(p1, lo, hi);
  int64_t end = clamp64(p2, lo, hi);
  int64_t skip = p1 < lo ? lo - p1 : (p1 > hi ? p1 - hi : 0);
  if (start <= end) {
    plot_run(dc, horizontal, fixed, int32_t(start), int32_t(end), value, style, skip);
  } else {
    // Walk it the other way with the pattern reversed, keeping the phase.
    plot_run(dc, horizontal, fixed, int32_t(end), int32_t(start), value, reverse_bits(style),
             end - start - skip - 1);
  }
  *from = std::min(start, end);
  *to = std::max(start, end);
}

}  // namespace

void plot_line(DrawContext* dc, int32_t ix1, int32_t iy1, int32_t ix2, int32_t iy2, uint32_t value,
               uint16_t style) {
  const int64_t L = dc->view.left, T = dc->view.top;
  const int64_t R = L + dc->view.width - 1, B = T + dc->view.height - 1;
  const int64_t x1 = ix1, y1 = iy1, x2 = ix2, y2 = iy2;
  if ((x1 < L && x2 < L) || (x1 > R && x2 > R) || (y1 < T && y2 < T) || (y1 > B && y2 > B)) return;
  if (R < L || B < T) return;  // empty view

  const int64_t cy2 = clamp64(y2, T, B);
  screen_hold();
  int64_t from, to;
  if (x1 == x2) {
    plot_straight(dc, false, int32_t(x1), y1, y2, T, B, value, style, &from, &to);
  } else if (y1 == y2) {
    plot_straight(dc, true, int32_t(y1), x1, x2, L, R, value, style, &from, &to);
    from = to = y1;
  } else {
    const int64_t dx = x2 > x1 ? x2 - x1 : x1 - x2;
    const int64_t dy = y2 > y1 ? y2 - y1 : y1 - y2;
    const int64_t sx = x2 > x1 ? 1 : -1, sy = y2 > y1 ? 1 : -1;
    const bool x_major = dx >= dy;
    int64_t d = x_major ? 2 * dy - dx : dy - 2 * dx;
    int64_t x = clamp64(x1, L, R), y = clamp64(y1, T, B);
    int64_t skx = x > x1 ? x - x1 : x1 - x;
    int64_t sky = y > y1 ? y - y1 : y1 - y;
    d += 2 * dy * skx - 2 * dx * sky;
    // Move the clamped start onto the line.
    bool missed = false;
    if (x_major) {
      if (d >= 2 * dy) {
        int64_t n = (d - 2 * dy) / (2 * dx) + 1;
        y += sy * n;
        d -= 2 * dx * n;
        missed = y < T || y > B;
      } else if (d < 2 * dy - 2 * dx) {
        // Fewest steps that bring d back to 2dy - 2dx or above: a start
        // that lands exactly there is on the line already.
        int64_t n = (2 * dy - 2 * dx - d + 2 * dy - 1) / (2 * dy);
        x += sx * n;
        d += 2 * dy * n;
        skx += n;
        missed = x < L || x > R;
      }
    } else {
      // The walk itself never holds d = -2dx (it would have stepped x one
      // pixel earlier), so that value advances x too.
      if (d <= -2 * dx) {
        int64_t n = (-2 * dx - d) / (2 * dy) + 1;
        x += sx * n;
        d += 2 * dy * n;
        missed = x < L || x > R;
      } else if (d > 2 * dy - 2 * dx) {
        // Fewest steps that bring d down to 2dy - 2dx or below.
        int64_t n = (d + 2 * dx - 2 * dy + 2 * dx - 1) / (2 * dx);
        y += sy * n;
        d -= 2 * dx * n;
        sky += n;
        missed = y < T || y > B;
      }
    }
    if (missed) {
      screen_release();
      return;
    }
    const int64_t start_y = y;
    uint16_t mask = uint16_t(0x8000u >> ((x_major ? skx : sky) & 15));
    const int64_t ex = clamp64(x2, L, R) + sx, ey = cy2 + sy;
    with_put(dc, value, [&](auto put) {
      if (x_major) {
        while (x != ex && y != ey) {
          if (mask & style) put(x, y);
          mask = rotate_mask(mask);
          if (d >= 0) {
            y += sy;
            d -= 2 * dx;
          }
          d += 2 * dy;
          x += sx;
        }
      } else {
        while (x != ex && y != ey) {
          if (mask & style) put(x, y);
          mask = rotate_mask(mask);
          if (d <= 0) {
            x += sx;
            d += 2 * dy;
          }
          d -= 2 * dx;
          y += sy;
        }
      }
    });
    from = std::min(start_y, cy2);
    to = std::max(start_y, cy2);
  }
  mark_rows(dc, from, to);
  screen_release();
}

void plot_box(DrawContext* dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t value,
              bool filled, uint16_t style) {
  const int32_t L = dc->view.left, T = dc->view.top;
  const int32_t R = L + dc->view.width - 1, B = T + dc->view.height - 1;
  if (x2 < L || y2 < T || x1 > R || y1 > B || R < L || B < T) return;
  const int32_t cx1 = std::max(x1, L), cy1 = std::max(y1, T);
  const int32_t cx2 = std::min(x2, R), cy2 = std::min(y2, B);
  screen_hold();
  const int32_t bpp = dc->bytes_per_pixel;
  if (filled) {
    const ScreenContext* s = screen_context;
    const int64_t rows = int64_t(cy2) - cy1 + 1, span = int64_t(cx2) - cx1 + 1;
    // Whole rows of the page lie back to back: one span covers them all.
    const bool whole_rows = cx1 == 0 && span == s->width && int64_t(s->width) * bpp == dc->pitch &&
                            rows * span <= INT32_MAX &&
                            dc->lines[cy2] == dc->lines[cy1] + (rows - 1) * dc->pitch;
    if (whole_rows) {
      dc->fill_span(dc->lines[cy1], value, int32_t(rows * span));
    } else {
      for (int32_t y = cy1; y <= cy2; ++y)
        dc->fill_span(dc->lines[y] + int64_t(cx1) * bpp, value, int32_t(span));
    }
  } else if (style == 0xFFFF) {
    if (y2 <= B) dc->fill_span(dc->lines[y2] + int64_t(cx1) * bpp, value, cx2 - cx1 + 1);
    if (y1 >= T) dc->fill_span(dc->lines[y1] + int64_t(cx1) * bpp, value, cx2 - cx1 + 1);
    if (x2 <= R)
      for (int32_t y = cy1; y <= cy2; ++y) dc->put_pixel(dc, x2, y, value);
    if (x1 >= L)
      for (int32_t y = cy1; y <= cy2; ++y) dc->put_pixel(dc, x1, y, value);
  } else {
    // One pattern position runs around the whole outline: bottom and top
    // left to right, then right and left top to bottom, each counted over
    // its full length.
    const int64_t w = int64_t(x2) - x1 + 1, h = int64_t(y2) - y1 + 1;
    auto on = [style](int64_t pos) { return (style >> (15 - (pos & 15))) & 1; };
    if (y2 <= B)
      for (int32_t x = cx1; x <= cx2; ++x)
        if (on(x - int64_t(x1))) dc->put_pixel(dc, x, y2, value);
    if (y1 >= T)
      for (int32_t x = cx1; x <= cx2; ++x)
        if (on(w + x - x1)) dc->put_pixel(dc, x, y1, value);
    if (x2 <= R)
      for (int32_t y = cy1; y <= cy2; ++y)
        if (on(2 * w + y - y1)) dc->put_pixel(dc, x2, y, value);
    if (x1 >= L)
      for (int32_t y = cy1; y <= cy2; ++y)
        if (on(2 * w + h + y - y1)) dc->put_pixel(dc, x1, y, value);
  }
  mark_rows(dc, cy1, cy2);
  screen_release();
}

void plot_text(DrawContext* dc, const FontDescriptor* font, int32_t mx, int32_t my, uint32_t value,
               const char* text, int32_t length) {
  screen_hold();
  const int64_t W = font->width, H = font->height, n = length;
  const int64_t L = dc->view.left, T = dc->view.top;
  const int64_t right = L + dc->view.width, bottom = T + dc->view.height;
  int64_t cx = mx, cy = my;
  if (cx + n * W <= L || cx >= right || cy + H <= T || cy >= bottom || W <= 0) {
    screen_release();
    return;
  }

  // Rows outside the view are skipped by offsetting into the glyph.
  const int64_t row_bytes = (W + 7) / 8;
  int64_t skip_rows = cy < T ? T - cy : 0;
  int64_t start_y = cy + skip_rows;
  int64_t rows = H - skip_rows;
  if (cy + H > bottom) rows -= cy + H - bottom;

  // Whole characters outside the view are skipped by division.
  int64_t first = 0, count = n;
  if (cx < L) {
    first = (L - cx) / W;
    cx += first * W;
    count -= first;
  }
  int64_t excess = cx + count * W - right;
  if (excess > 0) count -= excess / W;

  const uint8_t* glyphs = font->glyphs;
  // Plain 32-bit pixels of a whole 8-pixel cell are stored directly: the
  // same pixels as put_pixel, without a call per pixel.
  const bool direct = W == 8 && put_pixel_is_plain32(dc);
  for (int64_t i = first; i < first + count; ++i, cx += W) {
    if (cx + W <= L) continue;
    if (cx >= right) break;
    const uint8_t* g = glyphs + int64_t(uint8_t(text[i])) * H * row_bytes + skip_rows * row_bytes;
    const bool whole = cx >= L && cx + W <= right;
    if (direct && whole) {
      for (int64_t r = 0; r < rows; ++r) {
        uint32_t* out = reinterpret_cast<uint32_t*>(dc->lines[start_y + r]) + cx;
        for (unsigned bits = g[r]; bits; bits &= bits - 1) out[__builtin_ctz(bits)] = value;
      }
      continue;
    }
    for (int64_t r = 0; r < rows; ++r) {
      const int32_t py = int32_t(start_y + r);
      for (int64_t j = 0; j < W; ++j) {
        if (!((g[j >> 3] >> (j & 7)) & 1)) continue;
        int64_t px = cx + j;
        if (whole || (px >= L && px < right)) dc->put_pixel(dc, int32_t(px), py, value);
      }
      g += row_bytes;
    }
  }
  mark_rows(dc, start_y, start_y + rows - 1);
  screen_release();
}
