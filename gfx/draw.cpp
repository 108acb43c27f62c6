// Lines, boxes, clearing and colours: coordinates and colours resolved with
// the thread's drawing context, then handed to the frame recording.
#include "gfx/draw.hpp"

#include <algorithm>

#include "gfx/draw_context.hpp"
#include "gfx/frame_record.hpp"

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

bool draw_run_repeat(uint32_t id, const void* key, size_t size) {
  DrawContext* dc = draw_context();
  if (!dc) return false;
  draw_target_screen(dc);
  return frame_run_repeat(dc, id, key, size);
}

void draw_run_end() {
  if (DrawContext* dc = draw_context()) frame_run_end(dc);
}

void screen_clear(int32_t mode) {
  DrawContext* dc = draw_context();
  if (!dc) return;
  ScreenContext* s = screen_context;
  draw_target_screen(dc);
  frame_run_drop();
  screen_hold();
  if (mode == CLEAR_DEFAULT) {
    if (dc->flags & VIEW_SET)
      mode = 1;
    else if (s->text_view_first == 0 && s->text_view_last == s->text_rows - 1)
      mode = 0;
    else
      mode = 2;
  }
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
    text_cells_clear(s, dc->work_page, 0, s->text_rows - 1, dc->foreground, dc->background);
    s->cursor_column = 0;
    s->cursor_row = s->text_view_first;
  } else if (mode == 2) {
    const int64_t h = s->font ? s->font->height : 8;
    op.y1 = int32_t(std::clamp<int64_t>(int64_t(s->text_view_first) * h, 0, s->height));
    op.y2 = int32_t(std::min<int64_t>(int64_t(s->text_view_last + 1) * h - 1, s->height - 1));
    text_cells_clear(s, dc->work_page, s->text_view_first, s->text_view_last, dc->foreground,
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
  screen_release();
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
