// The console hook table and the console calls of the application.
//
// There is no text console behind this program: without a screen the calls
// answer neutral values, except that sleeping still sleeps.
#include "gfx/console.hpp"

#include "gfx/console_screen.hpp"
#include "gfx/draw.hpp"
#include "gfx/input.hpp"
#include "gfx/screen.hpp"
#include "gfx/text.hpp"

ConsoleHooks console_hooks = {};

void console_hooks_fill() {
  ConsoleHooks& h = console_hooks;
  h.read_key = key_read;
  h.wait_key = key_wait;
  h.key_pending = key_available;
  h.clear = screen_clear;
  h.set_color = color_set;
  h.locate = screen_locate;
  h.width = text_grid_set;
  h.cursor_column = screen_cursor_column;
  h.cursor_row = screen_cursor_row;
  h.cursor_position = screen_cursor_position;
  h.text_size = screen_text_size;
  h.print_bytes = screen_print_bytes;
  h.print_wide = screen_print_wide;
  h.read_line = screen_read_line;
  h.key_state = key_state;
  h.read_mouse = mouse_read;
  h.set_mouse = screen_set_mouse;
  h.port_in = screen_port_in;
  h.port_out = screen_port_out;
  h.view_update = screen_view_update;
  h.line_input = screen_line_input;
  h.line_input_fixed = screen_line_input_fixed;
  h.read_cell = screen_read_cell;
  h.sleep = sleep_ms;
  h.query = screen_query;
  h.page_copy = screen_copy_page;
  h.page_select = screen_set_pages;
}

void console_hooks_clear() {
  void (*reserved)() = console_hooks.console_reserved;
  console_hooks = {};
  console_hooks.console_reserved = reserved;  // not one of ours
}

void console_clear(int32_t mode) {
  if (console_hooks.clear) console_hooks.clear(mode);
}

uint32_t console_color(uint32_t fg, uint32_t bg, uint32_t flags) {
  return console_hooks.set_color ? console_hooks.set_color(fg, bg, flags) : 0;
}

int32_t console_width(int32_t columns, int32_t rows) {
  return console_hooks.width ? console_hooks.width(columns, rows) : 0;
}

std::string console_read_key() { return console_hooks.read_key ? console_hooks.read_key() : ""; }

int32_t console_read_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons,
                           int32_t* clip) {
  if (console_hooks.read_mouse) return console_hooks.read_mouse(x, y, wheel, buttons, clip);
  int32_t* out[5] = {x, y, wheel, buttons, clip};
  for (int32_t* p : out)
    if (p) *p = -1;
  return 1;
}

int32_t console_sleep(int32_t ms, int32_t mode) {
  if (console_hooks.sleep) return console_hooks.sleep(ms, mode);
  if (mode != 0 && mode != 1) return 1;
  timed_wait(ms);
  return 0;
}
