// Sending the visible page's dirty rows into the window. Normally each dirty
// row is converted beside the image and compared with what the image (and so
// the window) already shows; only rows that differ are kept, and each run of
// them is sent trimmed to the columns that differ. After an expose, a focus
// gain, a full-screen toggle, a palette change and for the first frame the
// window may show anything, so every dirty row is sent whole; so are a shaped
// window's.
#include <X11/extensions/shape.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "gfx/frame_record.hpp"
#include "gfx/x11/x11_state.hpp"

namespace {

// Used when the core has no 16-bit lookup table.
uint32_t spare_lookup16[512];

// Image rows first .. first + count - 1, columns left .. left + width - 1,
// into the window, with their part of the shape mask; each page row fills
// rows_per_row image rows.
void put_rows(const ScreenContext* screen, int32_t rows_per_row, int32_t first, int32_t count,
              int32_t left, int32_t width) {
  Display* d = x11.display;
  if (x11.shape_image) {
    const int32_t pitch = x11.shape_image->bytes_per_line;
    for (int32_t r = first; r < first + count; r++)
      x11.mask_builder(
          screen->visible_pixels + size_t(r / rows_per_row) * size_t(screen->pitch), x11.page_width,
          x11.scale, reinterpret_cast<uint8_t*>(x11.shape_image->data) + size_t(r) * size_t(pitch));
    XPutImage(d, x11.shape_bitmap, x11.shape_gc, x11.shape_image, 0, first, 0, first,
              unsigned(x11.width), unsigned(count));
    XShapeCombineMask(d, x11.draw_window, ShapeBounding, 0, x11.y_offset, x11.shape_bitmap,
                      ShapeSet);
  }
  if (x11.use_shm)
    XShmPutImage(d, x11.draw_window, x11.gc, x11.image, left, first, left, first + x11.y_offset,
                 unsigned(width), unsigned(count), False);
  else
    XPutImage(d, x11.draw_window, x11.gc, x11.image, left, first, left, first + x11.y_offset,
              unsigned(width), unsigned(count));
}

// Rows are the page's (times its scanline size); each is scale image rows.
void send_whole(const ScreenContext* screen, int32_t scanlines, int32_t rows) {
  const int32_t s = x11.scale;
  ConvertSource source{screen->visible_pixels, screen->pitch,   screen->width,
                       screen->height,         scanlines * s,   screen->dirty_lines,
                       screen->device_palette, rows_lookup16(), s};
  x11.converter(source, reinterpret_cast<uint8_t*>(x11.image->data), x11.image->bytes_per_line);
  const uint8_t* dirty = screen->dirty_lines;
  for (int32_t first = 0; first < rows;) {
    if (!dirty[first]) {
      first++;
      continue;
    }
    int32_t end = first + 1;
    while (end < rows && dirty[end]) end++;
    put_rows(screen, scanlines * s, first * s, (end - first) * s, 0, x11.width);
    first = end;
  }
}

// First and last byte where a and b differ; false when they are equal.
bool differing_bytes(const uint8_t* a, const uint8_t* b, size_t n, size_t* lo, size_t* hi) {
  if (std::memcmp(a, b, n) == 0) return false;
  size_t i = 0, j = n;
  while (i + 8 <= n && std::memcmp(a + i, b + i, 8) == 0) i += 8;
  while (a[i] == b[i]) i++;
  while (j >= i + 8 && std::memcmp(a + j - 8, b + j - 8, 8) == 0) j -= 8;
  while (a[j - 1] == b[j - 1]) j--;
  *lo = i;
  *hi = j - 1;
  return true;
}

// Whether any of the first rows is marked, eight flags at a time.
bool any_dirty(const uint8_t* lines, int32_t rows) {
  int32_t y = 0;
  for (uint64_t word; y + 8 <= rows; y += 8) {
    std::memcpy(&word, lines + y, sizeof word);
    if (word) return true;
  }
  for (; y < rows; ++y)
    if (lines[y]) return true;
  return false;
}

// Each page row is converted once into the staging row and compared with the
// first of its scale image rows; a row that differs is copied into all of them.
void send_changed(const ScreenContext* screen, int32_t rows) {
  const int32_t s = x11.scale;
  uint8_t* image = reinterpret_cast<uint8_t*>(x11.image->data);
  const int32_t pitch = x11.image->bytes_per_line;
  const int32_t bits = x11.image->bits_per_pixel;
  const size_t row_bytes = (size_t(x11.width) * size_t(bits) + 7) / 8;
  const uint8_t convert_it = 1;
  int32_t run_first = -1, run_left = INT32_MAX, run_right = -1;
  for (int32_t y = 0; y <= rows; ++y) {
    bool changed = false;
    if (y < rows && screen->dirty_lines[y]) {
      ConvertSource source{screen->visible_pixels + size_t(y) * size_t(screen->pitch),
                           screen->pitch,
                           screen->width,
                           1,
                           1,
                           &convert_it,
                           screen->device_palette,
                           rows_lookup16(),
                           s};
      x11.converter(source, x11.staging, pitch);
      uint8_t* shown = image + size_t(y) * size_t(s) * size_t(pitch);
      size_t lo, hi;
      if (differing_bytes(x11.staging, shown, row_bytes, &lo, &hi)) {
        for (int32_t k = 0; k < s; k++)
          std::memcpy(shown + size_t(k) * size_t(pitch), x11.staging, row_bytes);
        const int32_t left = int32_t(lo * 8 / size_t(bits));
        const int32_t right = std::min(int32_t((hi * 8 + 7) / size_t(bits)), x11.width - 1);
        if (run_first < 0) run_first = y;
        run_left = std::min(run_left, left);
        run_right = std::max(run_right, right);
        changed = true;
      }
    }
    if (!changed && run_first >= 0) {
      put_rows(screen, s, run_first * s, (y - run_first) * s, run_left, run_right - run_left + 1);
      run_first = -1, run_left = INT32_MAX, run_right = -1;
    }
  }
}

}  // namespace

uint32_t* rows_lookup16() { return screen_lookup16 ? screen_lookup16 : spare_lookup16; }

bool rows_open() {
  x11.send_all = true;
  std::free(x11.staging);
  x11.staging = nullptr;
  if (full_frames_forced()) return true;  // no staging row: every dirty row is sent whole
  x11.staging = static_cast<uint8_t*>(std::malloc(size_t(x11.image->bytes_per_line)));
  return x11.staging != nullptr;
}

void rows_close() {
  std::free(x11.staging);
  x11.staging = nullptr;
}

void rows_send() {
  ScreenContext* screen = screen_context;
  if (!screen || !x11.image || !screen->dirty_lines) return;
  int32_t scanlines = screen->scanline_size > 0 ? screen->scanline_size : 1;
  int32_t rows = screen->height * scanlines;
  if (rows > x11.page_height) rows = x11.page_height;
  // Most turns of an idle monitor find nothing marked.
  if (!x11.send_all && !any_dirty(screen->dirty_lines, rows)) return;
  // A shaped window's mask comes from the page's values, which may change
  // where the converted pixels do not (two indices of one colour): its dirty
  // rows go whole, mask and all.
  if (x11.send_all || !x11.staging || scanlines != 1 || x11.shape_image)
    send_whole(screen, scanlines, rows);
  else
    send_changed(screen, rows);
  x11.send_all = false;
  std::memset(screen->dirty_lines, 0, size_t(rows));
}

void rows_send_all() {
  x11.send_all = true;
  if (screen_context) screen_mark_all_dirty();
}
