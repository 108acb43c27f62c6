#pragma once
// The one screen of the graphics layer: its context, the display-driver
// table, mode setting and the nested screen lock.
#include <cstddef>
#include <cstdint>
#include <pthread.h>
#include <string_view>

// Flags of screen_open.
enum : int32_t {
  SCREEN_FULLSCREEN = 0x01,
  SCREEN_OPENGL = 0x02,
  SCREEN_FIXED = 0x04,
  SCREEN_NO_FRAME = 0x08,
  SCREEN_SHAPED = 0x10,  // implies FIXED and NO_FRAME
  SCREEN_ON_TOP = 0x20,
  SCREEN_ALPHA = 0x40,
  SCREEN_PRIORITY = 0x80,
  SCREEN_NULL = -1,      // the Null driver; never combined
};
constexpr int32_t CLOSE_ONLY = int32_t(0x80000000u);
// Largest width and height screen_open accepts.
constexpr int32_t SCREEN_MAX_SIZE = 1 << 20;

// Bits of ScreenContext::flags.
enum : uint32_t {
  CONTEXT_PRINTING = 0x4,
  CONTEXT_ALPHA = 0x8,
  CONTEXT_PRIORITY = 0x20,
  CONTEXT_OPENGL = 0x20000000,
};

enum ScreenEventType : int32_t {
  EVENT_KEY_PRESS = 1, EVENT_KEY_RELEASE = 2, EVENT_KEY_REPEAT = 3,
  EVENT_MOUSE_MOVE = 4, EVENT_BUTTON_PRESS = 5, EVENT_BUTTON_RELEASE = 6,
  EVENT_DOUBLE_CLICK = 7, EVENT_WHEEL = 8, EVENT_MOUSE_ENTER = 9,
  EVENT_MOUSE_LEAVE = 10, EVENT_FOCUS_IN = 11, EVENT_FOCUS_OUT = 12,
  EVENT_CLOSE = 13, EVENT_HWHEEL = 14,
};

struct ScreenEvent {
  int32_t type;
  int32_t a, b, c, d;
};

struct FontDescriptor {
  int32_t width;
  int32_t height;
  const uint8_t* glyphs;  // 256 glyphs of height bytes, bit 0 leftmost
};

// A display back-end. Any operation may be null; callers test.
struct DisplayDriver {
  const char* name;
  int (*init)(const char* title, int32_t width, int32_t height, int32_t depth,
              int32_t refresh, int32_t flags);  // 0 on success
  void (*exit)();
  void (*lock)();    // excludes the driver's update thread
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
};

// Null-terminated list of drivers tried by screen_open, in order.
extern const DisplayDriver* const display_drivers[];
// Frame buffer only, nothing shown; chosen by ZORGFX=null or flags SCREEN_NULL.
extern const DisplayDriver null_driver;

struct ScreenContext {
  int32_t serial;             // a DrawContext with another serial is rebuilt
  int32_t mode;               // -1 for screens opened by size
  uint8_t** pages;            // 16-byte aligned pixel buffers, pitch * height each
  int32_t page_count;
  int32_t visible_page;
  uint8_t* visible_pixels;    // what the converters read
  int32_t width, height;
  int32_t depth;              // 1, 2, 4, 8, 16 or 32
  int32_t bytes_per_pixel;
  int32_t pitch;
  uint32_t* palette;          // 256 entries 0x00BBGGRR
  uint32_t* device_palette;   // what the driver was given, 0x00BBGGRR
  uint8_t* color_map;         // 16 bytes for legacy modes
  uint8_t* dirty_lines;       // height * scanline_size bytes; non-zero = changed
  const DisplayDriver* driver;
  uint32_t color_mask;
  const uint8_t* default_palette;  // RGB triplets
  int32_t scanline_size;
  int32_t cursor_column, cursor_row;  // 0-based text cursor
  const FontDescriptor* font;
  int32_t text_columns, text_rows;
  float aspect;
  uint8_t* key_state;         // 128 bytes, non-zero while a scan code is down
  int32_t refresh_rate;
  uint32_t** text_cells;      // per page: columns * rows * (char, fg, bg)
  ScreenEvent* events;        // ring of 128
  int32_t event_tail, event_head;
  pthread_mutex_t* mutex;     // guards the event ring
  uint32_t flags;
  int32_t lock_count;
  int32_t text_view_first, text_view_last;  // rows of the console's print view
};

// The open screen, or null.
extern ScreenContext* screen_context;
// 512 entries filled by the driver's converter choice, for 16-bit pages.
extern uint32_t* screen_lookup16;

int32_t screen_open(int32_t width, int32_t height, int32_t depth, int32_t pages,
                    int32_t flags, int32_t refresh);
int32_t mode_set(int32_t mode, int32_t width, int32_t height, int32_t depth,
                 int32_t scanline_size, int32_t pages, float aspect, int32_t refresh,
                 const uint8_t* palette, const FontDescriptor* font, int32_t flags,
                 int32_t text_columns, int32_t text_rows);
void screen_close();

void screen_lock();
// Marks rows first..last dirty (negative: 0 and height - 1) and releases one level.
void screen_unlock(int32_t first_row, int32_t last_row);

void screen_set_title(std::string_view title);
const char* screen_title();  // the current title, or null when none was set

// Any pointer may be null. Without a screen: the desktop, pitch 0, name "".
void screen_info(int32_t* width, int32_t* height, int32_t* depth, int32_t* bytes_per_pixel,
                 int32_t* pitch, int32_t* refresh, const char** driver_name);

int32_t screen_set_pages(int32_t work, int32_t visible);
int32_t screen_copy_page(int32_t from, int32_t to);
void palette_set(int32_t index, int32_t r, int32_t g, int32_t b);
void palette_reset();
void event_post(const ScreenEvent& event);
void screen_set_preferred_driver(const char* name);  // null: none

// Picks the driver for a screen from list (null-terminated): the Null driver
// for flags SCREEN_NULL or the name "null", else the first whose init
// succeeds over the passes; null when none does. Used by mode_set.
const DisplayDriver* driver_select(const DisplayDriver* const* list, const char* name,
                                   const char* title, int32_t width, int32_t height,
                                   int32_t depth, int32_t refresh, int32_t flags);

// Marks every row of the visible page dirty (drivers: expose, focus).
void screen_mark_all_dirty();

// For mode setting: allocations of a new context (false when memory ran out),
// freeing the open or half-built one, the title taken from the program file's
// name, and the driver named by screen_set_preferred_driver (null: none).
bool screen_context_alloc(ScreenContext* s, int32_t pages);
void screen_context_free();
void screen_set_default_title();
const char* screen_preferred_driver();
