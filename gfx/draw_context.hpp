#pragma once
// Per-thread drawing state and the machinery every primitive shares:
// pixel routines per depth, pen handling, point mapping, colour conversion
// and dirty-row marking. Internal to the graphics layer.
#include <cstdint>

#include "gfx/screen_driver.hpp"

struct DrawContext;

using PutPixel = void (*)(DrawContext* dc, int32_t x, int32_t y, uint32_t value);
using GetPixel = uint32_t (*)(DrawContext* dc, int32_t x, int32_t y);
using FillSpan = void (*)(uint8_t* row, uint32_t value, int32_t count);

// One set per bytes per pixel; the blending pair equals the plain one where
// there is no blending.
struct PixelRoutines {
  PutPixel put;
  GetPixel get;
  FillSpan fill;
  PutPixel put_blend;
  FillSpan fill_blend;
};

// Bits of DrawContext::flags.
enum : uint32_t {
  DRAW_FRESH = 0x01,
  DRAW_IMAGE = 0x02,
  WINDOW_SET = 0x04,
  WINDOW_SCREEN = 0x08,
  VIEW_SET = 0x10,
  VIEW_ABSOLUTE = 0x20,
};

struct DrawView {
  int32_t left, top, width, height;
};

struct DrawWindow {
  float left, top, width, height;
};

struct DrawContext {
  int32_t serial;
  int32_t work_page;
  uint8_t** lines;  // start of every row of the target
  int32_t line_capacity;
  int32_t bytes_per_pixel;
  int32_t pitch;
  void* target;  // null: the screen
  DrawView view;
  DrawView screen_view;  // the view saved while drawing elsewhere
  float pen_x, pen_y;
  DrawWindow window;
  uint32_t foreground, background;
  const PixelRoutines* routines;
  PutPixel put_pixel;
  GetPixel get_pixel;
  FillSpan fill_span;
  uint32_t flags;
};

// Mapped coordinates are clamped into +-COORD_LIMIT: far outside any view
// (screens are at most SCREEN_MAX_SIZE pixels wide and high), yet small
// enough that the 64-bit line arithmetic cannot overflow.
constexpr int32_t COORD_LIMIT = 1 << 29;

// The calling thread's context, rebuilt when stale; null without a screen
// (or when its row table cannot be allocated).
DrawContext* draw_context();
// Rebuilds the calling thread's context for the open screen; false when out
// of memory.
bool draw_context_rebuild();
// Makes the screen's work page the target again.
void draw_target_screen(DrawContext* dc);

const PixelRoutines* pixel_routines_for(int32_t bytes_per_pixel);
void select_pixel_routines(DrawContext* dc, uint32_t color);
// True when put_pixel is the plain 32-bit store, which may then be inlined.
bool put_pixel_is_plain32(const DrawContext* dc);
uint32_t native_color(int32_t bytes_per_pixel, uint32_t color);
uint32_t blend_pixel(uint32_t source, uint32_t dest);

// Applies the relative-coordinate flags and moves the pen. x2 and y2 are
// null for a single point.
void resolve_step(DrawContext* dc, uint32_t flags, float* x1, float* y1, float* x2, float* y2);
void map_point(const DrawContext* dc, float x, float y, int32_t* out_x, int32_t* out_y);

// Marks rows first..last (clamped to the page) when drawing on the visible page.
void mark_rows(const DrawContext* dc, int64_t first, int64_t last);

// Text cells of a page: blanks in the given colours for rows first..last.
void text_cells_blank(uint32_t* cells, int32_t columns, int32_t first, int32_t last, uint32_t fg,
                      uint32_t bg);
// The same for a page of the screen, which remembers a page blanked whole so
// that the next clear in the same colours skips the writing.
void text_cells_clear(ScreenContext* s, int32_t page, int32_t first, int32_t last, uint32_t fg,
                      uint32_t bg);
// Every other write to a page's cells goes through here first.
void text_cells_written(ScreenContext* s, int32_t page);
