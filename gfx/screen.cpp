// The one screen: mode setting, closing, the nested lock and the title.
#include "gfx/screen.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/console.hpp"
#include "gfx/data_block.hpp"
#include "gfx/draw_context.hpp"
#include "gfx/frame_record.hpp"
#include "gfx/text.hpp"
#include "gfx/x11/driver.hpp"

ScreenContext* screen_context = nullptr;
uint32_t* screen_lookup16 = nullptr;

namespace {

int32_t serial_counter = 0;
char title_buffer[128];
const char* current_title = nullptr;
bool close_registered = false;
char preferred_driver[32];  // empty: none

bool depth_valid(int32_t depth) {
  switch (depth) {
    case 1: case 2: case 4: case 8: case 15: case 16: case 24: case 32: return true;
    default: return false;
  }
}

// Pages keep the address of their allocation in the 8 bytes before the
// 16-byte aligned start.
uint8_t* page_alloc(size_t bytes) {
  uint8_t* block = static_cast<uint8_t*>(std::malloc(bytes + 8 + 16));
  if (!block) return nullptr;
  uintptr_t start = (reinterpret_cast<uintptr_t>(block) + 8 + 15) & ~uintptr_t(15);
  uint8_t* page = reinterpret_cast<uint8_t*>(start);
  std::memcpy(page - 8, &block, sizeof block);
  return page;
}

void page_free(uint8_t* page) {
  if (!page) return;
  void* block;
  std::memcpy(&block, page - 8, sizeof block);
  std::free(block);
}

// Frees an open or half-built context and everything it owns.
void context_free() {
  ScreenContext* s = screen_context;
  if (!s) return;
  if (s->driver && s->driver->exit) s->driver->exit();
  if (s->text_cells) {
    for (int32_t p = 0; p < s->page_count; ++p) std::free(s->text_cells[p]);
    std::free(s->text_cells);
  }
  if (s->pages) {
    for (int32_t p = 0; p < s->page_count; ++p) page_free(s->pages[p]);
    std::free(s->pages);
  }
  std::free(s->device_palette);
  std::free(s->palette);
  std::free(s->color_map);
  std::free(s->dirty_lines);
  std::free(s->key_state);
  std::free(s->events);
  if (s->mutex) {
    pthread_mutex_destroy(s->mutex);
    std::free(s->mutex);
  }
  screen_context = nullptr;
  std::free(s);
  std::free(screen_lookup16);
  screen_lookup16 = nullptr;
}

// The program file's name without directory and extension.
void default_title() {
  char link[32];
  std::snprintf(link, sizeof link, "/proc/%d/exe", int(getpid()));
  char path[128];
  ssize_t n = readlink(link, path, 127);
  if (n < 0) n = 0;
  path[n] = 0;
  const char* name = std::strrchr(path, '/');
  name = name ? name + 1 : path;
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%s", name);
  if (char* dot = std::strrchr(buffer, '.')) *dot = 0;
  screen_set_title(buffer);
}

// Allocations of a new context; false when memory ran out.
bool context_alloc(ScreenContext* s, int32_t pages) {
  s->pages = static_cast<uint8_t**>(std::calloc(size_t(pages), sizeof(uint8_t*)));
  if (!s->pages) return false;
  s->page_count = pages;
  const size_t page_bytes = size_t(s->pitch) * size_t(s->height);
  for (int32_t p = 0; p < pages; ++p)
    if (!(s->pages[p] = page_alloc(page_bytes))) return false;
  s->visible_pixels = s->pages[0];
  const size_t rows = size_t(s->height) * size_t(s->scanline_size);
  s->dirty_lines = static_cast<uint8_t*>(std::calloc(rows, 1));
  s->device_palette = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
  s->palette = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
  s->color_map = static_cast<uint8_t*>(std::calloc(16, 1));
  s->key_state = static_cast<uint8_t*>(std::calloc(128, 1));
  s->events = static_cast<ScreenEvent*>(std::calloc(128, sizeof(ScreenEvent)));
  s->mutex = static_cast<pthread_mutex_t*>(std::malloc(sizeof(pthread_mutex_t)));
  screen_lookup16 = static_cast<uint32_t*>(std::calloc(512, sizeof(uint32_t)));
  if (!s->dirty_lines || !s->device_palette || !s->palette || !s->color_map || !s->key_state ||
      !s->events || !s->mutex || !screen_lookup16)
    return false;
  if (pthread_mutex_init(s->mutex, nullptr) != 0) {
    std::free(s->mutex);
    s->mutex = nullptr;
    return false;
  }
  return true;
}

// Text cells for every page, the work page's filled with blanks.
bool text_cells_alloc(ScreenContext* s, const DrawContext* dc) {
  s->text_cells = static_cast<uint32_t**>(std::calloc(size_t(s->page_count), sizeof(uint32_t*)));
  if (!s->text_cells) return false;
  const size_t count = size_t(s->text_columns) * size_t(s->text_rows) * 3;
  for (int32_t p = 0; p < s->page_count; ++p)
    if (!(s->text_cells[p] = static_cast<uint32_t*>(std::calloc(count ? count : 1, 4)))) return false;
  text_cells_blank(s->text_cells[dc->work_page], s->text_columns, 0, s->text_rows - 1,
                   dc->foreground, dc->background);
  return true;
}

int32_t fail_open() {
  screen_close();
  console_hooks_clear();
  return 1;
}

}  // namespace

int32_t screen_open(int32_t width, int32_t height, int32_t depth, int32_t pages, int32_t flags,
                    int32_t refresh) {
  if (width <= 0 || height <= 0 || width > SCREEN_MAX_SIZE || height > SCREEN_MAX_SIZE) return 1;
  if (!depth_valid(depth)) return 1;
  if (pages <= 0) pages = 1;
  return mode_set(-1, width, height, depth, 1, pages, 1.0f, refresh,
                  data_block + DATA_PALETTE_256, &font_8x8, flags, width / 8, height / 8);
}

int32_t mode_set(int32_t mode, int32_t width, int32_t height, int32_t depth, int32_t scanline_size,
                 int32_t pages, float aspect, int32_t refresh, const uint8_t* palette,
                 const FontDescriptor* font, int32_t flags, int32_t text_columns,
                 int32_t text_rows) {
  if (flags >= 0 && (flags & SCREEN_SHAPED)) flags |= 0x1C;
  const bool closing = width == 0 || height == 0;
  // Sizes whose pitch or pixel routines would not fit the frame buffer are
  // refused before anything changes.
  if (!closing && (width < 0 || height < 0 || width > SCREEN_MAX_SIZE ||
                   height > SCREEN_MAX_SIZE || !depth_valid(depth) || scanline_size > 64))
    return 1;
  context_free();
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
    console_hooks_clear();
    return 1;
  }
  screen_context = s;  // half-built from here on: fail_open frees it
  s->serial = ++serial_counter;
  s->mode = mode;
  s->width = width;
  s->height = height;
  if (flags >= 0 && (flags & SCREEN_OPENGL) && depth < 16) depth = 16;
  s->default_palette = palette;
  s->scanline_size = scanline_size;
  s->font = font;
  s->aspect = aspect != 0 ? aspect : float(double(float(height) / float(width)) * 1.3333333333333333);
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
  if (!context_alloc(s, pages)) return fail_open();
  if (flags != SCREEN_NULL) {
    if (flags & SCREEN_ALPHA) s->flags |= CONTEXT_ALPHA;
    if (flags & SCREEN_OPENGL) s->flags |= CONTEXT_OPENGL;
    if (flags & SCREEN_PRIORITY) s->flags |= CONTEXT_PRIORITY;
  }
  data_block_unpack();  // a failed unpack leaves blank glyphs, the screen still opens
  if (!current_title) default_title();

  // Every page starts in the background colour before any driver can show it.
  if (!draw_context_rebuild()) return fail_open();
  DrawContext* dc = draw_context();
  for (int32_t p = 0; p < s->page_count; ++p)
    for (int32_t y = 0; y < height; ++y)
      dc->fill_span(s->pages[p] + size_t(y) * size_t(s->pitch), dc->background, width);

  const char* name = preferred_driver[0] ? preferred_driver : std::getenv("ZORGFX");
  const DisplayDriver* driver = driver_select(display_drivers, name, current_title, width,
                                              height * scanline_size, s->depth, refresh, flags);
  if (!driver) return fail_open();
  s->driver = driver;
  palette_reset();
  s->text_columns = text_columns;
  s->text_rows = text_rows;
  if (!draw_context_rebuild()) return fail_open();
  if (!text_cells_alloc(s, draw_context())) return fail_open();
  if (!close_registered) {
    close_registered = true;
    std::atexit(screen_close);
  }
  return 0;
}

void screen_close() {
  if (!screen_context) return;
  mode_set(-1, 0, 0, 0, 1, 1, 1.0f, 0, nullptr, nullptr, 0, 0, 0);
}

void screen_lock() {
  ScreenContext* s = screen_context;
  if (!s) return;
  if (s->lock_count == 0 && s->driver && s->driver->lock) s->driver->lock();
  ++s->lock_count;
}

void screen_unlock(int32_t first_row, int32_t last_row) {
  DrawContext* dc = draw_context();
  ScreenContext* s = screen_context;
  if (!s) return;
  // The outermost unlock draws the recorded frame; an unchanged one leaves
  // page and rows alone.
  if (s->lock_count == 1 && frame_finish()) {
    if (--s->lock_count == 0 && s->driver && s->driver->unlock) s->driver->unlock();
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
  if (--s->lock_count == 0 && s->driver && s->driver->unlock) s->driver->unlock();
}

void screen_set_title(std::string_view title) {
  std::memset(title_buffer, 0, sizeof title_buffer);
  std::memcpy(title_buffer, title.data(), title.size() < 127 ? title.size() : 127);
  current_title = title_buffer;
  ScreenContext* s = screen_context;
  if (s && s->driver && s->driver->set_window_title) s->driver->set_window_title(current_title);
}

const char* screen_title() { return current_title; }

void screen_set_preferred_driver(const char* name) {
  std::memset(preferred_driver, 0, sizeof preferred_driver);
  if (name) std::snprintf(preferred_driver, sizeof preferred_driver, "%s", name);
}

void screen_info(int32_t* width, int32_t* height, int32_t* depth, int32_t* bytes_per_pixel,
                 int32_t* pitch, int32_t* refresh, const char** driver_name) {
  int32_t w = 0, h = 0, d = 0, bpp = 0, p = 0, r = 0;
  const char* name = "";
  if (const ScreenContext* s = screen_context) {
    w = s->width, h = s->height, d = s->depth, bpp = s->bytes_per_pixel, p = s->pitch;
    r = s->refresh_rate;
    if (s->driver && s->driver->name) name = s->driver->name;
  } else {
    for (const DisplayDriver* const* it = display_drivers; *it; ++it) {
      if ((*it)->desktop && (*it)->desktop(&w, &h, &d, &r) == 0) break;
      w = h = d = r = 0;
    }
  }
  if (width) *width = w;
  if (height) *height = h;
  if (depth) *depth = d;
  if (bytes_per_pixel) *bytes_per_pixel = bpp;
  if (pitch) *pitch = p;
  if (refresh) *refresh = r;
  if (driver_name) *driver_name = name;
}

void screen_mark_all_dirty() {
  ScreenContext* s = screen_context;
  if (!s || !s->dirty_lines) return;
  std::memset(s->dirty_lines, 1, size_t(s->height) * size_t(s->scanline_size));
}
