// The frame bracket, nested. The outermost screen_lock holds the driver's lock
// and opens a frame, which the drawing calls record; the outermost unlock
// ends it: the recorded frame is drawn unless it repeats the last one, and
// the rows asked for are marked.
#include <cstring>

#include "gfx/draw_context.hpp"
#include "gfx/frame_record.hpp"
#include "gfx/screen_driver.hpp"

void screen_lock() {
  ScreenContext* s = screen_context;
  if (!s) return;
  screen_hold();
  ++s->lock_count;
}

void screen_unlock(int32_t first_row, int32_t last_row) {
  DrawContext* dc = draw_context();
  ScreenContext* s = screen_context;
  if (!s) return;
  // The outermost unlock draws the recorded frame; an unchanged one leaves
  // page and rows alone.
  if (s->lock_count == 1 && frame_finish()) {
    --s->lock_count;
    screen_release();
    return;
  }
  if (last_row < 0) last_row = s->height - 1;
  int32_t work = dc ? dc->work_page : 0;
  if (work == s->visible_page) {
    if (first_row < 0) first_row = 0;
    if (last_row >= first_row && last_row < s->height)
      std::memset(s->dirty_lines + first_row, 1, size_t(last_row - first_row + 1));
  }
  if (s->lock_count == 0) return;
  --s->lock_count;
  screen_release();
}
