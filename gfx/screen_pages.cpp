// Pages, palettes and the screen's event ring.
#include <cstring>

#include "gfx/data_block.hpp"
#include "gfx/draw_context.hpp"
#include "gfx/frame_record.hpp"
#include "gfx/screen_driver.hpp"

namespace {

// Entries of one of the built-in palettes (RGB triplets).
int32_t palette_entries(const uint8_t* palette) {
  if (palette == data_block + DATA_PALETTE_2) return 2;
  if (palette == data_block + DATA_PALETTE_16) return 16;
  if (palette == data_block + DATA_PALETTE_64) return 64;
  if (palette == data_block + DATA_PALETTE_256) return 256;
  return 0;  // not one of ours: its size is unknown
}

void palette_store(ScreenContext* s, int32_t index, int32_t r, int32_t g, int32_t b) {
  uint32_t entry = uint32_t(b & 0xFF) << 16 | uint32_t(g & 0xFF) << 8 | uint32_t(r & 0xFF);
  s->palette[index] = entry;
  if (index < (1 << s->depth)) {
    s->device_palette[index] = entry;
    if (s->driver && s->driver->set_palette)
      s->driver->set_palette(index, r & 0xFF, g & 0xFF, b & 0xFF);
  }
}

}  // namespace

int32_t screen_set_pages(int32_t work, int32_t visible) {
  DrawContext* dc = draw_context();
  ScreenContext* s = screen_context;
  if (!s || !dc) return -1;
  frame_flush();
  draw_target_screen(dc);
  const int32_t result = s->visible_page << 8 | dc->work_page;
  if (work < 0 && visible < 0) work = visible = 0;
  if (work >= 0 && work < s->page_count) {
    dc->work_page = work;
    for (int32_t y = 0; y < s->height; ++y)
      dc->lines[y] = s->pages[work] + size_t(y) * size_t(s->pitch);
  }
  if (visible >= 0 && visible < s->page_count && visible != s->visible_page) {
    screen_hold();
    s->visible_page = visible;
    s->visible_pixels = s->pages[visible];
    screen_mark_all_dirty();
    screen_release();
  }
  return result;
}

int32_t screen_copy_page(int32_t from, int32_t to) {
  DrawContext* dc = draw_context();
  ScreenContext* s = screen_context;
  if (!s || !dc) return 1;
  frame_flush();
  if (s->driver && s->driver->flip) {
    s->driver->flip();
    if (s->driver->poll) s->driver->poll();
    return 0;
  }
  if (from < 0) from = dc->work_page;
  if (to < 0) to = s->visible_page;
  if (from >= s->page_count || to >= s->page_count) return 1;
  if (from == to) return 0;
  const DrawView& v = dc->screen_view;
  const size_t offset = size_t(v.left) * size_t(s->bytes_per_pixel);
  const size_t bytes = size_t(v.width) * size_t(s->bytes_per_pixel);
  const bool mark = s->lock_count == 0;  // a locked caller marks its own rows
  screen_hold();                         // the update thread may be reading the visible page
  for (int32_t y = v.top; y < v.top + v.height; ++y) {
    size_t row = size_t(y) * size_t(s->pitch) + offset;
    std::memcpy(s->pages[to] + row, s->pages[from] + row, bytes);
  }
  if (s->text_cells && s->text_cells[from] && s->text_cells[to]) {
    text_cells_written(s, to);
    std::memcpy(s->text_cells[to], s->text_cells[from],
                size_t(s->text_columns) * size_t(s->text_rows) * 12);
  }
  if (to == s->visible_page && mark && v.height > 0)
    std::memset(s->dirty_lines + v.top, 1, size_t(v.height));
  screen_release();
  return 0;
}

void palette_set(int32_t index, int32_t r, int32_t g, int32_t b) {
  ScreenContext* s = screen_context;
  if (!s || s->depth > 8 || index < 0 || index > 255) return;
  // Under the lock: the update thread converts and clears the same rows.
  frame_flush();
  screen_hold();
  palette_store(s, index, r, g, b);
  screen_mark_all_dirty();
  screen_release();
}

void palette_reset() {
  ScreenContext* s = screen_context;
  if (!s || s->depth > 8 || !s->default_palette) return;
  const int32_t n = palette_entries(s->default_palette);
  frame_flush();
  screen_hold();
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t* rgb = s->default_palette + 3 * i;
    palette_store(s, i, rgb[0], rgb[1], rgb[2]);
  }
  screen_mark_all_dirty();
  screen_release();
}

void event_post(const ScreenEvent& event) {
  ScreenContext* s = screen_context;
  if (!s || !s->events || !s->mutex) return;
  pthread_mutex_lock(s->mutex);
  s->events[s->event_head] = event;
  s->event_head = (s->event_head + 1) & 127;
  if (s->event_head == s->event_tail) s->event_tail = (s->event_tail + 1) & 127;
  pthread_mutex_unlock(s->mutex);
}
