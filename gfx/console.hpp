#pragma once
// The console hook table: while a screen is open its 27 graphics slots route
// the console operations to the graphics layer; otherwise the least console
// fallbacks apply. The application uses only the console_* calls below.
#include <cstdint>
#include <string>

struct ConsoleHooks {
  void (*console_reserved)();  // slots before the graphics ones stay untouched
  // The 27 graphics slots, in order.
  std::string (*read_key)();
  int32_t (*wait_key)();
  int32_t (*key_pending)();
  void (*clear)(int32_t mode);
  uint32_t (*set_color)(uint32_t fg, uint32_t bg, uint32_t flags);
  void (*locate)(int32_t row, int32_t column, uint32_t omitted);
  int32_t (*width)(int32_t columns, int32_t rows);
  int32_t (*cursor_column)();
  int32_t (*cursor_row)();
  void (*cursor_position)(int32_t* column, int32_t* row);
  void (*text_size)(int32_t* columns, int32_t* rows);
  void (*print_bytes)(const char* text, int32_t length);
  void (*print_wide)(const wchar_t* text, int32_t length);
  std::string (*read_line)();
  int32_t (*key_state)(int32_t scan);
  int32_t (*read_mouse)(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip);
  void (*set_mouse)(int32_t x, int32_t y, int32_t visible, int32_t clip);
  int32_t (*port_in)(int32_t port);
  int32_t (*port_out)(int32_t port, int32_t value);
  void (*view_update)();
  std::string (*line_input)(const char* prompt, bool question);
  int32_t (*line_input_fixed)(const char* prompt, bool question, char* buffer, int32_t size);
  int32_t (*read_cell)(int32_t row, int32_t column, int32_t colour);
  int32_t (*sleep)(int32_t ms, int32_t mode);
  int32_t (*query)(int32_t what);
  int32_t (*page_copy)(int32_t from, int32_t to);
  int32_t (*page_select)(int32_t work, int32_t visible);
};

extern ConsoleHooks console_hooks;

// Fill and clear exactly the 27 graphics slots.
void console_hooks_fill();
void console_hooks_clear();

// Console operations as the application calls them.
void console_clear(int32_t mode);
uint32_t console_color(uint32_t fg, uint32_t bg, uint32_t flags);
int32_t console_width(int32_t columns, int32_t rows);
std::string console_read_key();
int32_t console_read_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip);
int32_t console_sleep(int32_t ms, int32_t mode);
