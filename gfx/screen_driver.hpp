#pragma once
// What the display drivers and the graphics core share: the driver table,
// the screen's context, the event ring, and how a driver is chosen. A
// program includes gfx/screen.hpp instead.
#include <pthread.h>

#include <cstddef>
#include <cstdint>

#include "gfx/screen.hpp"

// Bits of ScreenContext::flags.
enum : uint32_t {
  CONTEXT_ALPHA = 0x8,
  CONTEXT_PRIORITY = 0x20,
};

enum ScreenEventType : int32_t {
  EVENT_KEY_PRESS = 1,
  EVENT_KEY_RELEASE = 2,
  EVENT_KEY_REPEAT = 3,
  EVENT_MOUSE_MOVE = 4,
  EVENT_BUTTON_PRESS = 5,
  EVENT_BUTTON_RELEASE = 6,
  EVENT_DOUBLE_CLICK = 7,
  EVENT_WHEEL = 8,
  EVENT_MOUSE_ENTER = 9,
  EVENT_MOUSE_LEAVE = 10,
  EVENT_FOCUS_IN = 11,
  EVENT_FOCUS_OUT = 12,
  EVENT_CLOSE = 13,
  EVENT_HWHEEL = 14,
};

struct ScreenEvent {
  int32_t type;
  int32_t a, b, c, d;
};

// A display back-end. Any operation may be null; callers test.
struct DisplayDriver {
  const char* name;
  int (*init)(const char* title, int32_t width, int32_t height, int32_t depth, int32_t refresh,
              int32_t flags);  // 0 on success
  void (*exit)();
  void (*lock)();  // excludes the driver's update thread
  void (*unlock)();
  void (*set_palette)(int32_t index, int32_t r, int32_t g, int32_t b);
  void (*wait_vsync)();
  int (*get_mouse)(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip);
  void (*set_mouse)(int32_t x, int32_t y, int32_t visible, int32_t clip);
  void (*set_window_title)(const char* title);
  int32_t (*set_window_pos)(int32_t x, int32_t y);
  // List of (width << 16 | height), allocated with malloc; the caller frees it.
  uint32_t* (*fetch_modes)(int32_t depth, int32_t* count);
  void (*flip)();
  void (*poll)();
  // Desktop width, height, depth and rate without a screen; 0 on success.
  int (*desktop)(int32_t* width, int32_t* height, int32_t* depth, int32_t* refresh);
  void (*set_attention)(bool on);  // as screen_set_attention says
};

// Null-terminated list of drivers tried by screen_open, in order
// (gfx/driver_list.cpp; gfx/driver_list_null.cpp names none).
extern const DisplayDriver* const display_drivers[];
// Frame buffer only, nothing shown; chosen by ZORGFX=null or flags SCREEN_NULL.
extern const DisplayDriver null_driver;

struct ScreenContext {
  int32_t serial;   // a DrawContext with another serial is rebuilt
  uint8_t** pages;  // 16-byte aligned pixel buffers, pitch * height each
  int32_t page_count;
  int32_t visible_page;
  uint8_t* visible_pixels;  // what the converters read
  int32_t width, height;
  int32_t depth;  // 1, 2, 4, 8, 16 or 32
  int32_t bytes_per_pixel;
  int32_t pitch;
  uint32_t* palette;         // 256 entries 0x00BBGGRR
  uint32_t* device_palette;  // what the driver was given, 0x00BBGGRR
  uint8_t* dirty_lines;      // height * scanline_size bytes; non-zero = changed
  const DisplayDriver* driver;
  uint32_t color_mask;
  const uint8_t* default_palette;  // RGB triplets
  int32_t scanline_size;
  int32_t cursor_column, cursor_row;  // 0-based text cursor
  const FontDescriptor* font;
  int32_t text_columns, text_rows;
  uint8_t* key_state;  // 128 bytes, non-zero while a scan code is down
  int32_t refresh_rate;
  uint32_t** text_cells;  // per page: columns * rows * (char, fg, bg)
  ScreenEvent* events;    // ring of 128
  int32_t event_tail, event_head;
  pthread_mutex_t* mutex;  // guards the event ring
  uint32_t flags;
  int32_t lock_count;                       // open frame brackets (screen_lock)
  int32_t hold_count;                       // holds of the driver's lock (screen_hold)
  int32_t text_view_first, text_view_last;  // rows of the console's print view
  // 1 + the page whose text cells are all blanks in blank_cells_fg and _bg,
  // 0 for none: clearing it again writes nothing.
  int32_t blank_cells_page;
  uint32_t blank_cells_fg, blank_cells_bg;
};

// The open screen, or null.
extern ScreenContext* screen_context;
// 512 entries filled by the driver's converter choice, for 16-bit pages.
extern uint32_t* screen_lookup16;

// Appends an event to the screen's ring (drops the oldest of a full ring).
void event_post(const ScreenEvent& event);

// Marks every row of the visible page dirty (drivers: expose, focus).
void screen_mark_all_dirty();

// Picks the driver for a screen from list (null-terminated): the Null driver
// for flags SCREEN_NULL or the name "null", else the first whose init
// succeeds over the passes; null when none does.
const DisplayDriver* driver_select(const DisplayDriver* const* list, const char* name,
                                   const char* title, int32_t width, int32_t height, int32_t depth,
                                   int32_t refresh, int32_t flags);
// Records why opening the screen failed, printf-style, for screen_failure.
// The first reason of a screen_open counts: the fallbacks tried after it
// fail for reasons of their own.
void screen_fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Forgets the reason, for a new screen_open and after one that succeeded.
void screen_failure_forget();

// The counted hold of the driver's lock: the outermost hold locks, the
// outermost release unlocks, nothing else. For short sections that must keep
// the update thread out (key queue, pages, console, plotting); it never starts
// or ends a frame, which only screen_lock and screen_unlock do.
void screen_hold();
void screen_release();

// The name set by screen_set_program_name, "" when none was.
const char* screen_program_name();
// Writes line on standard error after "NAME: ", in one write. Safe where
// only async-signal-safe calls are allowed (Xlib's I/O error handler).
void screen_report(const char* line);
// Runs the program's hook for a lost display (screen_set_lost_hook), if any.
void screen_lost();

// The icons registered by screen_set_icon and screen_set_attention_icon;
// count 0 when none was.
const IconImage* screen_icon(int32_t* count);
const IconImage* screen_attention_icon(int32_t* count);
// The id screen_take_startup_id took, until a driver reports the window
// shown with screen_startup_done; null when there is none (left).
const char* screen_startup_id();
void screen_startup_done();

// The driver screen_open asks for before $ZORGFX (null: none).
void screen_set_preferred_driver(const char* name);
const char* screen_preferred_driver();

// For opening a screen: allocations of a new context (false when memory ran
// out), freeing the open or half-built one, and the title taken from the
// program file's name.
bool screen_context_alloc(ScreenContext* s, int32_t pages);
// Pages keep the address of their allocation in the 8 bytes before their
// 16-byte aligned start, in a block PAGE_SLACK bytes longer than the page.
constexpr size_t PAGE_SLACK = 8 + 15;
uint8_t* page_start(uint8_t* block);
void screen_context_free();
void screen_set_default_title();
