// Text in the built-in fonts, and the text grid that selects the font.
#include "gfx/text.hpp"

#include <cstdlib>

#include "gfx/data_block.hpp"
#include "gfx/draw.hpp"
#include "gfx/draw_context.hpp"
#include "gfx/frame_record.hpp"

const FontDescriptor font_8x8 = {8, 8, data_block + DATA_FONT_8X8};
const FontDescriptor font_8x14 = {8, 14, data_block + DATA_FONT_8X14};
const FontDescriptor font_8x16 = {8, 16, data_block + DATA_FONT_8X16};

namespace {

// Indexed by cell height 8 to 16.
const FontDescriptor* const fonts_by_height[9] = {
    &font_8x8, nullptr, nullptr, nullptr, nullptr, nullptr, &font_8x14, nullptr, &font_8x16,
};

}  // namespace

int32_t draw_text(void* target, uint32_t flags, const char* text, int32_t length, uint32_t color,
                  const void* font_image, int32_t mode, float x, float y, void* blend, void* blend1,
                  void* blend2) {
  (void)target, (void)font_image, (void)blend, (void)blend1, (void)blend2;
  if (!text) return 1;
  DrawContext* dc = draw_context();
  if (!dc) return 0;
  if (length <= 0) return 0;
  const ScreenContext* s = screen_context;
  draw_target_screen(dc);

  FrameOp op{};
  op.kind = FRAME_TEXT;
  op.font = s->font ? s->font : &font_8x8;
  op.length = length;
  op.clip = dc->view;
  if (mode == 6)
    op.value = color;
  else if (flags & COORD_COLOR_OMITTED)
    op.value = dc->foreground;
  else
    op.value = native_color(dc->bytes_per_pixel, color);
  resolve_step(dc, flags, &x, &y, nullptr, nullptr);
  map_point(dc, x, y, &op.x1, &op.y1);
  frame_submit(dc, op, text);
  return 0;
}

int32_t text_grid_set(int32_t columns, int32_t rows) {
  ScreenContext* s = screen_context;
  if (!s) return 0;
  const int32_t result = s->text_columns | s->text_rows << 16;
  const FontDescriptor* current = s->font ? s->font : &font_8x8;
  int32_t new_columns = columns > 0 ? columns : s->text_columns;
  int32_t new_rows = rows > 0 ? rows : s->text_rows;
  int32_t cell_w = columns > 0 ? s->width / columns : current->width;
  int32_t cell_h = rows > 0 ? s->height / rows : current->height;
  bool given = columns > 0 || rows > 0;
  if (cell_w != 8 || cell_h < 8 || cell_h > 16 || !fonts_by_height[cell_h - 8])
    return given ? 0 : result;
  if (!given) return result;

  // New cells for every page first, so that a failed allocation changes nothing.
  DrawContext* dc = draw_context();
  if (!dc) return 0;
  frame_flush();
  const size_t cell_count = size_t(new_columns) * size_t(new_rows) * 3;
  uint32_t** cells = static_cast<uint32_t**>(std::calloc(size_t(s->page_count), sizeof(uint32_t*)));
  if (!cells) return 0;
  for (int32_t p = 0; p < s->page_count; ++p) {
    cells[p] = static_cast<uint32_t*>(std::calloc(cell_count ? cell_count : 1, sizeof(uint32_t)));
    if (!cells[p]) {
      for (int32_t q = 0; q < p; ++q) std::free(cells[q]);
      std::free(cells);
      return 0;
    }
    text_cells_blank(cells[p], new_columns, 0, new_rows - 1, dc->foreground, dc->background);
  }
  if (s->text_cells) {
    for (int32_t p = 0; p < s->page_count; ++p) std::free(s->text_cells[p]);
    std::free(s->text_cells);
  }
  s->text_cells = cells;
  s->text_columns = new_columns;
  s->text_rows = new_rows;
  s->blank_cells_page = dc->work_page + 1;  // all pages blank; the work page is the one tracked
  s->blank_cells_fg = dc->foreground;
  s->blank_cells_bg = dc->background;
  s->font = fonts_by_height[cell_h - 8];
  dc->view = {0, 0, s->width, s->height};
  dc->screen_view = dc->view;
  dc->flags &= ~uint32_t(VIEW_SET);
  s->text_view_first = 0;
  s->text_view_last = new_rows - 1;
  s->cursor_column = 0;
  s->cursor_row = 0;
  screen_clear(0);
  return 0;
}
