// Opening a screen: checks the request, builds the context, picks a driver and
// fills the console hook table; closing takes it all down again. Everything
// a screen is made of meets here, so this file stands above the rest of the core.
#include <cstdlib>

#include "gfx/console.hpp"
#include "gfx/data_block.hpp"
#include "gfx/draw_context.hpp"
#include "gfx/frame_record.hpp"
#include "gfx/screen_driver.hpp"
#include "gfx/text.hpp"

namespace {

int32_t serial_counter = 0;
bool close_registered = false;

bool depth_valid(int32_t depth) {
  switch (depth) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 15:
    case 16:
    case 24:
    case 32: return true;
    default: return false;
  }
}

// Text cells for every page, the work page's filled with blanks.
bool text_cells_alloc(ScreenContext* s, const DrawContext* dc) {
  s->text_cells = static_cast<uint32_t**>(std::calloc(size_t(s->page_count), sizeof(uint32_t*)));
  if (!s->text_cells) return false;
  const size_t count = size_t(s->text_columns) * size_t(s->text_rows) * 3;
  for (int32_t p = 0; p < s->page_count; ++p)
    if (!(s->text_cells[p] = static_cast<uint32_t*>(std::calloc(count ? count : 1, 4))))
      return false;
  text_cells_clear(s, dc->work_page, 0, s->text_rows - 1, dc->foreground, dc->background);
  return true;
}

int32_t fail_open(const char* reason) {
  screen_fail("%s", reason);
  screen_close();
  console_hooks_clear();
  return 1;
}

// Opens a screen of the given size, rows repeated scanline_size times, or
// with width or height 0 closes the open one.
int32_t mode_set(int32_t width, int32_t height, int32_t depth, int32_t scanline_size, int32_t pages,
                 int32_t refresh, const uint8_t* palette, const FontDescriptor* font, int32_t flags,
                 int32_t text_columns, int32_t text_rows) {
  if (flags >= 0 && (flags & SCREEN_SHAPED)) flags |= 0x1C;
  const bool closing = width == 0 || height == 0;
  // Sizes whose pitch or pixel routines would not fit the frame buffer are
  // refused before anything changes.
  if (!closing && (width < 0 || height < 0 || width > SCREEN_MAX_SIZE || height > SCREEN_MAX_SIZE ||
                   !depth_valid(depth) || scanline_size > 64)) {
    screen_fail("%d x %d Pixel mit %d Bit sind nicht möglich", width, height, depth);
    return 1;
  }
  screen_context_free();
  frame_reset();
  if (closing) {
    // The text console has nothing of its own to reset here.
    console_hooks_clear();
    return 0;
  }
  if (scanline_size <= 0) scanline_size = 1;
  if (pages <= 0) pages = 1;

  console_hooks_fill();
  ScreenContext* s = static_cast<ScreenContext*>(std::calloc(1, sizeof(ScreenContext)));
  if (!s) {
    screen_fail("zu wenig Speicher");
    console_hooks_clear();
    return 1;
  }
  screen_context = s;  // half-built from here on: fail_open frees it
  s->serial = ++serial_counter;
  s->width = width;
  s->height = height;
  if (flags >= 0 && (flags & SCREEN_OPENGL) && depth < 16) depth = 16;
  s->default_palette = palette;
  s->scanline_size = scanline_size;
  s->font = font;
  if (depth == 15 || depth == 16) {
    s->depth = 16;
    s->bytes_per_pixel = 2;
    s->color_mask = 0xFFFF;
  } else if (depth == 24 || depth == 32) {
    s->depth = 32;
    s->bytes_per_pixel = 4;
    s->color_mask = 0xFFFFFFFF;
  } else {
    s->depth = depth;
    s->bytes_per_pixel = (depth + 7) / 8;
    s->color_mask = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
  }
  s->pitch = s->bytes_per_pixel * width;
  s->text_columns = text_columns;
  s->text_rows = text_rows;
  s->text_view_first = 0;
  s->text_view_last = text_rows - 1;
  if (!screen_context_alloc(s, pages)) return fail_open("zu wenig Speicher");
  if (flags != SCREEN_NULL) {
    if (flags & SCREEN_ALPHA) s->flags |= CONTEXT_ALPHA;
    if (flags & SCREEN_PRIORITY) s->flags |= CONTEXT_PRIORITY;
  }
  data_block_unpack();  // a failed unpack leaves blank glyphs, the screen still opens
  if (!screen_title()) screen_set_default_title();

  // Every page starts in the background colour before any driver can show it.
  if (!draw_context_rebuild()) return fail_open("zu wenig Speicher");
  DrawContext* dc = draw_context();
  for (int32_t p = 0; p < s->page_count; ++p)
    for (int32_t y = 0; y < height; ++y)
      dc->fill_span(s->pages[p] + size_t(y) * size_t(s->pitch), dc->background, width);

  const char* name = screen_preferred_driver();
  if (!name) name = std::getenv("ZORGFX");
  const DisplayDriver* driver = driver_select(display_drivers, name, screen_title(), width,
                                              height * scanline_size, s->depth, refresh, flags);
  if (!driver) return fail_open("keine Anzeige gefunden");
  s->driver = driver;
  palette_reset();
  s->text_columns = text_columns;
  s->text_rows = text_rows;
  if (!draw_context_rebuild()) return fail_open("zu wenig Speicher");
  if (!text_cells_alloc(s, draw_context())) return fail_open("zu wenig Speicher");
  if (!close_registered) {
    close_registered = true;
    std::atexit(screen_close);
  }
  return 0;
}

}  // namespace

int32_t screen_open(int32_t width, int32_t height, int32_t depth, int32_t pages, int32_t flags,
                    int32_t refresh) {
  screen_failure_forget();
  if (width <= 0 || height <= 0 || width > SCREEN_MAX_SIZE || height > SCREEN_MAX_SIZE ||
      !depth_valid(depth)) {
    screen_fail("%d x %d Pixel mit %d Bit sind nicht möglich", width, height, depth);
    return 1;
  }
  const int32_t result =
      mode_set(width, height, depth, 1, pages, refresh, data_block + DATA_PALETTE_256, &font_8x8,
               flags, width / 8, height / 8);
  if (result == 0) screen_failure_forget();  // a fallback succeeded after the first reason
  return result;
}

void screen_close() {
  if (!screen_context) return;
  mode_set(0, 0, 0, 1, 1, 0, nullptr, nullptr, 0, 0, 0);
}
