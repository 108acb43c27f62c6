#pragma once
// Graphics versions of the console operations that have no graphics
// operation of their own: text cursor, printing, line input, ports.
#include <cstdint>
#include <string>

// 1-based; omitted bit 0 keeps the row, bit 1 the column.
void screen_locate(int32_t row, int32_t column, uint32_t omitted);
int32_t screen_cursor_column();
int32_t screen_cursor_row();
void screen_cursor_position(int32_t* column, int32_t* row);
void screen_text_size(int32_t* columns, int32_t* rows);
// Draws each byte in a text cell at the cursor (10 and 13 move the cursor).
void screen_print_bytes(const char* text, int32_t length);
void screen_print_wide(const wchar_t* text, int32_t length);
// Reads keys up to Enter, echoing them behind a block cursor.
std::string screen_read_line();
std::string screen_line_input(const char* prompt, bool question);
int32_t screen_line_input_fixed(const char* prompt, bool question, char* buffer, int32_t size);
void screen_set_mouse(int32_t x, int32_t y, int32_t visible, int32_t clip);
int32_t screen_port_in(int32_t port);
int32_t screen_port_out(int32_t port, int32_t value);
void screen_view_update();
// colour 0: the character, 1: foreground, 2: background; 0 outside the grid.
int32_t screen_read_cell(int32_t row, int32_t column, int32_t colour);
int32_t screen_query(int32_t what);
