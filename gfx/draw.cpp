// Lines, boxes, clearing and colours.
//
// Clipping never changes which pixels of a line are drawn: the dash pattern
// is counted from the line's first point in major-axis steps, whatever part
// of it lies outside the view and whichever way it runs.
#include "gfx/draw.hpp"

#include <algorithm>

#include "gfx/draw_context.hpp"
#include "gfx/frame_record.hpp"

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
  screen_lock();
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
      screen_unlock_quiet();
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
  screen_unlock_quiet();
}

void plot_box(DrawContext* dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t value,
              bool filled, uint16_t style) {
  const int32_t L = dc->view.left, T = dc->view.top;
  const int32_t R = L + dc->view.width - 1, B = T + dc->view.height - 1;
  if (x2 < L || y2 < T || x1 > R || y1 > B || R < L || B < T) return;
  const int32_t cx1 = std::max(x1, L), cy1 = std::max(y1, T);
  const int32_t cx2 = std::min(x2, R), cy2 = std::min(y2, B);
  screen_lock();
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
  screen_unlock_quiet();
}

void draw_line(void* target, uint32_t color, int32_t kind, uint16_t style, uint32_t flags, float x1,
               float y1, float x2, float y2) {
  (void)target;  // only the screen's work page is drawn on
  DrawContext* dc = draw_context();
  if (!dc) return;
  draw_target_screen(dc);
  uint32_t value =
      (flags & COORD_COLOR_OMITTED) ? dc->foreground : native_color(dc->bytes_per_pixel, color);
  resolve_step(dc, flags, &x1, &y1, &x2, &y2);
  FrameOp op{};
  op.kind = kind == 0 ? FRAME_LINE : kind == 2 ? FRAME_FILLED : FRAME_OUTLINE;
  op.style = style;
  op.value = value;
  op.clip = dc->view;
  map_point(dc, x1, y1, &op.x1, &op.y1);
  map_point(dc, x2, y2, &op.x2, &op.y2);
  if (kind != 0) {
    if (op.x1 > op.x2) std::swap(op.x1, op.x2);
    if (op.y1 > op.y2) std::swap(op.y1, op.y2);
  }
  frame_submit(dc, op, nullptr);
}

void screen_clear(int32_t mode) {
  DrawContext* dc = draw_context();
  if (!dc) return;
  ScreenContext* s = screen_context;
  draw_target_screen(dc);
  screen_lock();
  if (mode == CLEAR_DEFAULT) {
    if (dc->flags & VIEW_SET)
      mode = 1;
    else if (s->text_view_first == 0 && s->text_view_last == s->text_rows - 1)
      mode = 0;
    else
      mode = 2;
  }
  uint32_t* cells = s->text_cells ? s->text_cells[dc->work_page] : nullptr;
  const DrawView& v = dc->view;
  // The pixels are one filled box in the background colour: the whole page,
  // the text view's rows or the view.
  FrameOp op{};
  op.kind = FRAME_FILLED;
  op.style = 0xFFFF;
  op.value = dc->background;
  op.clip = {0, 0, s->width, s->height};
  op.x1 = 0;
  op.x2 = s->width - 1;
  if (mode == 0) {
    op.y1 = 0;
    op.y2 = s->height - 1;
    dc->pen_x = float(v.left + v.width / 2);
    dc->pen_y = float(v.top + v.height / 2);
    text_cells_blank(cells, s->text_columns, 0, s->text_rows - 1, dc->foreground, dc->background);
    s->cursor_column = 0;
    s->cursor_row = s->text_view_first;
  } else if (mode == 2) {
    const int64_t h = s->font ? s->font->height : 8;
    op.y1 = int32_t(std::clamp<int64_t>(int64_t(s->text_view_first) * h, 0, s->height));
    op.y2 = int32_t(std::min<int64_t>(int64_t(s->text_view_last + 1) * h - 1, s->height - 1));
    text_cells_blank(cells, s->text_columns, s->text_view_first, s->text_view_last, dc->foreground,
                     dc->background);
    s->cursor_column = 0;
    s->cursor_row = s->text_view_first;
  } else {
    op.clip = v;
    op.x1 = v.left;
    op.y1 = v.top;
    op.x2 = v.left + v.width - 1;
    op.y2 = v.top + v.height - 1;
    dc->pen_x = float(v.left + v.width / 2);
    dc->pen_y = float(v.top + v.height / 2);
  }
  frame_submit(dc, op, nullptr);
  screen_unlock_quiet();
}

namespace {

uint32_t depth_color(int32_t bytes_per_pixel, uint32_t c) {
  if (bytes_per_pixel == 2) return native_color(2, c);
  if (bytes_per_pixel == 1) return c & 0xFF;
  return c;
}

// 5-6-5 to opaque ARGB, each channel widened by repeating its top bits.
uint32_t expand565(uint32_t v) {
  uint32_t b = (v & 0x1F) << 3 | ((v >> 2) & 7);
  uint32_t g = ((v >> 5) & 0x3F) << 2 | ((v >> 9) & 3);
  uint32_t r = ((v >> 11) & 0x1F) << 3 | ((v >> 13) & 7);
  return 0xFF000000u | r << 16 | g << 8 | b;
}

}  // namespace

uint32_t color_set(uint32_t fg, uint32_t bg, uint32_t flags) {
  DrawContext* dc = draw_context();
  if (!dc) return 0;
  const ScreenContext* s = screen_context;
  uint32_t result;
  if (s->depth <= 8)
    result = dc->background << 16 | dc->foreground;
  else if (s->depth == 16)
    result = expand565(dc->foreground);
  else
    result = dc->foreground;
  if (!(flags & 1)) dc->foreground = depth_color(dc->bytes_per_pixel, fg);
  if (flags & 2) return result;
  dc->background = depth_color(dc->bytes_per_pixel, bg);
  return result;
}
