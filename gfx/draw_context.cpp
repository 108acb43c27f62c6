// The per-thread drawing state and the helpers shared by every primitive.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gfx/draw_context.hpp"

namespace {

// Pixel routines. Rows come from the line table, so x and y are
// frame-buffer coordinates that the caller has already clipped.

void put8(DrawContext* dc, int32_t x, int32_t y, uint32_t v) { dc->lines[y][x] = uint8_t(v); }
uint32_t get8(DrawContext* dc, int32_t x, int32_t y) { return dc->lines[y][x]; }
void fill8(uint8_t* row, uint32_t v, int32_t count) {
  if (count > 0) std::memset(row, int(v & 0xFF), size_t(count));
}

void put16(DrawContext* dc, int32_t x, int32_t y, uint32_t v) {
  reinterpret_cast<uint16_t*>(dc->lines[y])[x] = uint16_t(v);
}
uint32_t get16(DrawContext* dc, int32_t x, int32_t y) {
  return reinterpret_cast<uint16_t*>(dc->lines[y])[x];
}
void fill16(uint8_t* row, uint32_t v, int32_t count) {
  if (count > 0) std::fill_n(reinterpret_cast<uint16_t*>(row), count, uint16_t(v));
}

void put32(DrawContext* dc, int32_t x, int32_t y, uint32_t v) {
  reinterpret_cast<uint32_t*>(dc->lines[y])[x] = v;
}
uint32_t get32(DrawContext* dc, int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(dc->lines[y])[x];
}
// Long spans use the string store, which runs at memset speed on every
// x86-64 without needing wider vector instructions at build time. Sanitizer
// builds take the plain loop, whose stores AddressSanitizer can check.
#if defined(__SANITIZE_ADDRESS__)
#define TANDREL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TANDREL_ASAN 1
#endif
#endif
#if defined(__x86_64__) && !defined(TANDREL_ASAN)
#define TANDREL_STRING_STORE 1
#endif
void fill32(uint8_t* row, uint32_t v, int32_t count) {
  if (count <= 0) return;
#if TANDREL_STRING_STORE
  if (count >= 64) {
    void* dest = row;
    size_t n = size_t(count);
    asm volatile("rep stosl" : "+D"(dest), "+c"(n) : "a"(v) : "memory");
    return;
  }
#endif
  std::fill_n(reinterpret_cast<uint32_t*>(row), count, v);
}

void put32_blend(DrawContext* dc, int32_t x, int32_t y, uint32_t v) {
  uint32_t* p = reinterpret_cast<uint32_t*>(dc->lines[y]) + x;
  *p = blend_pixel(v, *p);
}
void fill32_blend(uint8_t* row, uint32_t v, int32_t count) {
  uint32_t* p = reinterpret_cast<uint32_t*>(row);
  for (int32_t i = 0; i < count; ++i) p[i] = blend_pixel(v, p[i]);
}

const PixelRoutines routines8 = {put8, get8, fill8, put8, fill8};
const PixelRoutines routines16 = {put16, get16, fill16, put16, fill16};
const PixelRoutines routines32 = {put32, get32, fill32, put32_blend, fill32_blend};

// Frees the row table when a thread ends.
struct DrawContextHolder {
  DrawContext dc{};
  ~DrawContextHolder() {
    std::free(dc.lines);
    dc = DrawContext{};
  }
};
thread_local DrawContextHolder holder;

int32_t clamp_coordinate(float v) {
  if (std::isnan(v)) return -COORD_LIMIT;  // no position at all: far outside
  if (v <= float(-COORD_LIMIT)) return -COORD_LIMIT;
  if (v >= float(COORD_LIMIT)) return COORD_LIMIT;
  return int32_t(v);
}

// std::round (halves away from zero), clamped. Below 2^23 the fraction
// v - trunc(v) is exact, and so is its comparison with a half: nearly every
// coordinate is rounded without the library call.
int32_t round_coordinate(float v) {
  if (std::fabs(v) < 8388608.0f) {
    const int32_t i = int32_t(v);
    const float fraction = v - float(i);
    return i + (fraction >= 0.5f) - (fraction <= -0.5f);
  }
  return clamp_coordinate(std::round(v));
}

void point_lines_at_work_page(DrawContext* dc, const ScreenContext* s) {
  uint8_t* page = s->pages[dc->work_page];
  for (int32_t y = 0; y < s->height; ++y) dc->lines[y] = page + size_t(y) * size_t(s->pitch);
}

}  // namespace

uint32_t blend_pixel(uint32_t s, uint32_t d) {
  uint32_t a = s >> 24;
  uint32_t rb =
      ((d & 0x00FF00FF) + ((((s & 0x00FF00FF) - (d & 0x00FF00FF)) * a) >> 8)) & 0x00FF00FF;
  uint32_t g = ((d & 0x0000FF00) + ((((s & 0x0000FF00) - (d & 0x0000FF00)) * a) >> 8)) & 0x0000FF00;
  return rb | g | (s & 0xFF000000);
}

bool put_pixel_is_plain32(const DrawContext* dc) {
  return dc->put_pixel == put32 && dc->bytes_per_pixel == 4;
}

const PixelRoutines* pixel_routines_for(int32_t bytes_per_pixel) {
  if (bytes_per_pixel == 1) return &routines8;
  if (bytes_per_pixel == 2) return &routines16;
  return &routines32;
}

bool draw_context_rebuild() {
  ScreenContext* s = screen_context;
  DrawContext* dc = &holder.dc;
  std::free(dc->lines);
  *dc = DrawContext{};
  if (!s) return false;
  dc->lines = static_cast<uint8_t**>(std::malloc(sizeof(uint8_t*) * size_t(s->height)));
  if (!dc->lines) return false;
  dc->line_capacity = s->height;
  dc->work_page = 0;
  dc->bytes_per_pixel = s->bytes_per_pixel;
  dc->pitch = s->pitch;
  point_lines_at_work_page(dc, s);
  dc->view = {0, 0, s->width, s->height};
  dc->screen_view = dc->view;
  dc->foreground = (s->depth >= 5 && s->depth <= 8) ? 15u : s->color_mask;
  dc->background = dc->foreground & 0xFF000000u;
  dc->routines = pixel_routines_for(s->bytes_per_pixel);
  dc->put_pixel = dc->routines->put;
  dc->get_pixel = dc->routines->get;
  dc->fill_span = dc->routines->fill;
  dc->flags = DRAW_FRESH;
  dc->serial = s->serial;
  return true;
}

DrawContext* draw_context() {
  ScreenContext* s = screen_context;
  if (!s) return nullptr;
  DrawContext* dc = &holder.dc;
  if (dc->serial != s->serial || !dc->lines) {
    if (!draw_context_rebuild()) return nullptr;
  }
  return dc;
}

void draw_target_screen(DrawContext* dc) {
  if (!dc->target && !(dc->flags & DRAW_IMAGE)) return;
  const ScreenContext* s = screen_context;
  dc->target = nullptr;
  dc->flags &= ~uint32_t(DRAW_IMAGE);
  dc->view = dc->screen_view;
  dc->bytes_per_pixel = s->bytes_per_pixel;
  dc->pitch = s->pitch;
  point_lines_at_work_page(dc, s);
  dc->routines = pixel_routines_for(s->bytes_per_pixel);
  dc->put_pixel = dc->routines->put;
  dc->get_pixel = dc->routines->get;
  dc->fill_span = dc->routines->fill;
}

void select_pixel_routines(DrawContext* dc, uint32_t color) {
  const ScreenContext* s = screen_context;
  bool blend = s && (s->flags & CONTEXT_ALPHA) && dc->bytes_per_pixel == 4 && (color >> 24) != 0xFF;
  dc->put_pixel = blend ? dc->routines->put_blend : dc->routines->put;
  dc->fill_span = blend ? dc->routines->fill_blend : dc->routines->fill;
  dc->get_pixel = dc->routines->get;
}

uint32_t native_color(int32_t bytes_per_pixel, uint32_t c) {
  if (bytes_per_pixel == 1) return c & 0xFF;
  if (bytes_per_pixel == 2)
    return (((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c & 0xFF) >> 3)) & 0xFFFF;
  return c;
}

void resolve_step(DrawContext* dc, uint32_t flags, float* x1, float* y1, float* x2, float* y2) {
  uint32_t rel = flags & 7;
  bool single = !x2 || !y2;
  if (rel == 2 || rel == 5 || (!single && rel == 3)) {
    *x1 += dc->pen_x;
    *y1 += dc->pen_y;
  }
  if (single) {
    dc->pen_x = *x1;
    dc->pen_y = *y1;
    return;
  }
  if (rel == 1 || rel == 3) {
    *x2 += *x1;
    *y2 += *y1;
  }
  dc->pen_x = *x2;
  dc->pen_y = *y2;
}

void map_point(const DrawContext* dc, float x, float y, int32_t* out_x, int32_t* out_y) {
  if (dc->flags & WINDOW_SET) {
    x = (x - dc->window.left) * float(dc->view.width) / dc->window.width;
    y = (y - dc->window.top) * float(dc->view.height) / dc->window.height;
  }
  // round() takes halves away from zero; the clamp keeps NaN, infinities and
  // huge values away from an undefined float-to-integer conversion.
  int32_t ix = round_coordinate(x);
  int32_t iy = round_coordinate(y);
  if ((dc->flags & WINDOW_SET) && !(dc->flags & WINDOW_SCREEN)) iy = dc->view.height - iy - 1;
  if (!(dc->flags & VIEW_ABSOLUTE)) {
    ix += dc->view.left;
    iy += dc->view.top;
  }
  *out_x = ix;
  *out_y = iy;
}

void mark_rows(const DrawContext* dc, int64_t first, int64_t last) {
  const ScreenContext* s = screen_context;
  if (!s || !dc->lines || dc->lines[0] != s->visible_pixels) return;
  if (first < 0) first = 0;
  if (last > s->height - 1) last = s->height - 1;
  if (first > last) return;
  std::memset(s->dirty_lines + first, 1, size_t(last - first + 1));
}

void text_cells_blank(uint32_t* cells, int32_t columns, int32_t first, int32_t last, uint32_t fg,
                      uint32_t bg) {
  if (!cells) return;
  for (int64_t i = int64_t(first) * columns; i < int64_t(last + 1) * columns; ++i) {
    cells[3 * i] = ' ';
    cells[3 * i + 1] = fg;
    cells[3 * i + 2] = bg;
  }
}

void text_cells_clear(ScreenContext* s, int32_t page, int32_t first, int32_t last, uint32_t fg,
                      uint32_t bg) {
  if (!s->text_cells || page < 0 || page >= s->page_count) return;
  if (s->blank_cells_page == page + 1 && s->blank_cells_fg == fg && s->blank_cells_bg == bg) return;
  text_cells_blank(s->text_cells[page], s->text_columns, first, last, fg, bg);
  if (first > 0 || last < s->text_rows - 1) {
    text_cells_written(s, page);
    return;
  }
  s->blank_cells_page = page + 1;
  s->blank_cells_fg = fg;
  s->blank_cells_bg = bg;
}

void text_cells_written(ScreenContext* s, int32_t page) {
  if (s->blank_cells_page == page + 1) s->blank_cells_page = 0;
}
