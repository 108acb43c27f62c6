// Console operations on the graphics screen: a text cursor over the font's
// cells, printing with scrolling, line input and the VGA palette ports.
#include "gfx/console_screen.hpp"

#include <algorithm>
#include <cstring>

#include "gfx/draw_context.hpp"
#include "gfx/frame_record.hpp"
#include "gfx/input.hpp"
#include "gfx/screen_driver.hpp"
#include "gfx/text.hpp"

namespace {

constexpr uint8_t BLOCK_CURSOR = 219;

struct PortState {
  int32_t read_index, read_component;
  int32_t write_index, write_component;
  int32_t rgb[3];
} ports;

int32_t font_height(const ScreenContext* s) { return s->font ? s->font->height : 8; }

// One opaque cell at (column, row) of the grid; also stored in the cells.
void draw_cell(DrawContext* dc, ScreenContext* s, int32_t column, int32_t row, uint8_t c) {
  const FontDescriptor* font = s->font ? s->font : &font_8x8;
  const int32_t x0 = column * font->width, y0 = row * font->height;
  select_pixel_routines(dc, dc->foreground);
  const uint8_t* g = font->glyphs + size_t(c) * size_t(font->height);
  for (int32_t r = 0; r < font->height && y0 + r < s->height; ++r)
    for (int32_t j = 0; j < 8 && x0 + j < s->width; ++j)
      dc->put_pixel(dc, x0 + j, y0 + r, ((g[r] >> j) & 1) ? dc->foreground : dc->background);
  mark_rows(dc, y0, y0 + font->height - 1);
  if (uint32_t* cells = s->text_cells ? s->text_cells[dc->work_page] : nullptr) {
    text_cells_written(s, dc->work_page);
    size_t i = (size_t(row) * size_t(s->text_columns) + size_t(column)) * 3;
    cells[i] = c;
    cells[i + 1] = dc->foreground;
    cells[i + 2] = dc->background;
  }
}

// Moves the text view up by one row and blanks its last row.
void scroll(DrawContext* dc, ScreenContext* s) {
  const int32_t h = font_height(s);
  const int32_t first = s->text_view_first, last = s->text_view_last;
  const int32_t top = first * h, bottom = std::min((last + 1) * h, s->height);
  for (int32_t y = top; y + h < bottom; ++y)
    std::memmove(dc->lines[y], dc->lines[y + h], size_t(s->pitch));
  select_pixel_routines(dc, dc->background);
  for (int32_t y = std::max(top, bottom - h); y < bottom; ++y)
    dc->fill_span(dc->lines[y], dc->background, s->width);
  mark_rows(dc, top, bottom - 1);
  if (uint32_t* cells = s->text_cells ? s->text_cells[dc->work_page] : nullptr) {
    text_cells_written(s, dc->work_page);
    const size_t row_cells = size_t(s->text_columns) * 3;
    if (last > first)
      std::memmove(cells + size_t(first) * row_cells, cells + size_t(first + 1) * row_cells,
                   size_t(last - first) * row_cells * 4);
    text_cells_blank(cells, s->text_columns, last, last, dc->foreground, dc->background);
  }
}

void new_line(DrawContext* dc, ScreenContext* s) {
  s->cursor_column = 0;
  if (s->cursor_row >= s->text_view_last)
    scroll(dc, s);
  else
    ++s->cursor_row;
}

// The cursor inside the grid, so that every cell written exists.
void clamp_cursor(ScreenContext* s) {
  s->cursor_column = std::clamp(s->cursor_column, 0, std::max(s->text_columns - 1, 0));
  s->cursor_row = std::clamp(s->cursor_row, 0, std::max(s->text_rows - 1, 0));
}

void show_cursor(uint8_t c) {
  DrawContext* dc = draw_context();
  ScreenContext* s = screen_context;
  if (!dc || s->text_columns <= 0 || s->text_rows <= 0) return;
  clamp_cursor(s);
  frame_flush();
  screen_hold();
  draw_cell(dc, s, s->cursor_column, s->cursor_row, c);
  screen_release();
}

}  // namespace

void screen_locate(int32_t row, int32_t column, uint32_t omitted) {
  ScreenContext* s = screen_context;
  if (!s) return;
  if (!(omitted & 1)) s->cursor_row = row - 1;
  if (!(omitted & 2)) s->cursor_column = column - 1;
  clamp_cursor(s);
}

int32_t screen_cursor_column() { return screen_context ? screen_context->cursor_column + 1 : 0; }
int32_t screen_cursor_row() { return screen_context ? screen_context->cursor_row + 1 : 0; }

void screen_cursor_position(int32_t* column, int32_t* row) {
  if (column) *column = screen_cursor_column();
  if (row) *row = screen_cursor_row();
}

void screen_text_size(int32_t* columns, int32_t* rows) {
  const ScreenContext* s = screen_context;
  if (columns) *columns = s ? s->text_columns : 0;
  if (rows) *rows = s ? s->text_rows : 0;
}

void screen_print_bytes(const char* text, int32_t length) {
  DrawContext* dc = draw_context();
  ScreenContext* s = screen_context;
  if (!dc || !text || s->text_columns <= 0 || s->text_rows <= 0) return;
  draw_target_screen(dc);
  clamp_cursor(s);
  frame_flush();
  screen_hold();
  for (int32_t i = 0; i < length; ++i) {
    uint8_t c = uint8_t(text[i]);
    if (c == '\n') {
      new_line(dc, s);
    } else if (c == '\r') {
      s->cursor_column = 0;
    } else {
      draw_cell(dc, s, s->cursor_column, s->cursor_row, c);
      if (++s->cursor_column >= s->text_columns) new_line(dc, s);
    }
  }
  screen_release();
}

void screen_print_wide(const wchar_t* text, int32_t length) {
  if (!text) return;
  std::string bytes;
  for (int32_t i = 0; i < length; ++i) bytes += text[i] >= 0 && text[i] < 256 ? char(text[i]) : '?';
  screen_print_bytes(bytes.data(), int32_t(bytes.size()));
}

std::string screen_read_line() {
  std::string line;
  for (;;) {
    show_cursor(BLOCK_CURSOR);
    int32_t code = key_wait();
    if (code == 0) return line;  // the screen is gone
    if (code == 13) break;
    if (code == 7 || code > 255) continue;
    if (code == 8) {
      if (line.empty()) continue;
      line.pop_back();
      show_cursor(' ');
      ScreenContext* s = screen_context;
      if (s->cursor_column > 0) {
        --s->cursor_column;
      } else if (s->cursor_row > 0) {
        --s->cursor_row;
        s->cursor_column = s->text_columns - 1;
      }
      continue;
    }
    char c = char(code);
    line += c;
    screen_print_bytes(&c, 1);
  }
  show_cursor(' ');
  char end = '\n';
  screen_print_bytes(&end, 1);
  return line;
}

std::string screen_line_input(const char* prompt, bool question) {
  if (prompt) screen_print_bytes(prompt, int32_t(std::strlen(prompt)));
  if (question) screen_print_bytes("? ", 2);
  return screen_read_line();
}

int32_t screen_line_input_fixed(const char* prompt, bool question, char* buffer, int32_t size) {
  std::string line = screen_line_input(prompt, question);
  if (!buffer || size <= 0) return 0;
  int32_t n = std::min(int32_t(line.size()), size - 1);
  std::memcpy(buffer, line.data(), size_t(n));
  buffer[n] = 0;
  return n;
}

void screen_set_mouse(int32_t x, int32_t y, int32_t visible, int32_t clip) {
  const ScreenContext* s = screen_context;
  if (!s || !s->driver || !s->driver->set_mouse) return;
  screen_hold();
  s->driver->set_mouse(x, y, visible, clip);
  screen_release();
}

int32_t screen_port_in(int32_t port) {
  const ScreenContext* s = screen_context;
  if (!s) return -1;
  if (port == 0x3DA) {
    if (s->driver && s->driver->wait_vsync) s->driver->wait_vsync();
    return 8;
  }
  if (port == 0x3C9 && s->depth <= 8) {
    uint32_t entry = s->palette[ports.read_index & 255];
    int32_t v = int32_t((entry >> (8 * ports.read_component)) & 0xFF) >> 2;
    if (++ports.read_component == 3) {
      ports.read_component = 0;
      ports.read_index = (ports.read_index + 1) & 255;
    }
    return v;
  }
  return -1;
}

int32_t screen_port_out(int32_t port, int32_t value) {
  const ScreenContext* s = screen_context;
  if (!s || s->depth > 8) return -1;
  if (port == 0x3C7) {
    ports.read_index = value & 255;
    ports.read_component = 0;
  } else if (port == 0x3C8) {
    ports.write_index = value & 255;
    ports.write_component = 0;
  } else if (port == 0x3C9) {
    ports.rgb[ports.write_component] = (value & 63) * 255 / 63;
    if (++ports.write_component == 3) {
      palette_set(ports.write_index, ports.rgb[0], ports.rgb[1], ports.rgb[2]);
      ports.write_component = 0;
      ports.write_index = (ports.write_index + 1) & 255;
    }
  } else {
    return -1;
  }
  return 0;
}

void screen_view_update() {}

int32_t screen_read_cell(int32_t row, int32_t column, int32_t colour) {
  const ScreenContext* s = screen_context;
  DrawContext* dc = draw_context();
  if (!s || !dc || !s->text_cells || colour < 0 || colour > 2) return 0;
  if (row < 1 || row > s->text_rows || column < 1 || column > s->text_columns) return 0;
  const uint32_t* cells = s->text_cells[dc->work_page];
  return int32_t(
      cells[(size_t(row - 1) * size_t(s->text_columns) + size_t(column - 1)) * 3 + size_t(colour)]);
}

int32_t screen_query(int32_t) { return 0; }
