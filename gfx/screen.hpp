#pragma once
// The one screen of the graphics layer as a program uses it: opening and
// closing, the frame bracket, title, pages and palette. What display
// drivers and the core share is in gfx/screen_driver.hpp.
#include <cstdint>
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
  SCREEN_NULL = -1,  // the Null driver; never combined
};
// Largest width and height screen_open accepts.
constexpr int32_t SCREEN_MAX_SIZE = 1 << 20;

struct FontDescriptor {
  int32_t width;
  int32_t height;
  const uint8_t* glyphs;  // 256 glyphs of height bytes, bit 0 leftmost
};

// 0 on success; 1 with no screen open, and screen_failure says why.
int32_t screen_open(int32_t width, int32_t height, int32_t depth, int32_t pages, int32_t flags,
                    int32_t refresh);
void screen_close();
// Why the last screen_open failed, in words for the user ("DISPLAY ist nicht
// gesetzt"); "" after one that succeeded.
const char* screen_failure();
// True while the open screen is shown on a display; false without a screen
// and on the Null driver, whose frame buffer nobody sees.
bool screen_shown();

// The frame bracket, nested. The outermost lock keeps the driver's update
// thread out and starts recording a frame; the outermost unlock draws it
// unless it repeats the last one.
void screen_lock();
// Marks rows first..last dirty (negative: 0 and height - 1) and releases one level.
void screen_unlock(int32_t first_row, int32_t last_row);

void screen_set_title(std::string_view title);
const char* screen_title();  // the current title, or null when none was set
// The program's name, put before the messages the graphics layer writes on
// standard error itself ("NAME: ..."); none until set. At most 31 bytes.
void screen_set_program_name(const char* name);
// Run, on whatever thread, when the display is lost and the program ends at
// once without its exit handlers: for what must not outlive it (children).
// Must be async-signal-safe. Null: none.
void screen_set_lost_hook(void (*hook)());

// One size of the program's icon: width x height pixels 0xAARRGGBB, alpha
// not premultiplied, row after row.
struct IconImage {
  int32_t width, height;
  const uint32_t* pixels;
};
// Registers the program's icon, in count sizes, for the windows opened from
// now on. The images are not copied: they must live as long as the process.
void screen_set_icon(const IconImage* images, int32_t count);
// The same for the icon shown while the program asks for attention.
void screen_set_attention_icon(const IconImage* images, int32_t count);
// True: the open screen's window asks the desktop for attention now (the
// window manager's urgency flag, raised again even when it is up), until it
// gets the input focus, and shows the attention icon; false: no attention
// asked for, and the program's icon again. Ignored without a screen and by
// drivers that show no window.
void screen_set_attention(bool on);
// Takes the launcher's start-up notification id (DESKTOP_STARTUP_ID) from
// the environment and removes it there, so that no program started later
// claims it; the next window shown tells the launcher it has appeared.
void screen_take_startup_id();

// Any pointer may be null. Without a screen: the desktop, pitch 0, name "".
void screen_info(int32_t* width, int32_t* height, int32_t* depth, int32_t* bytes_per_pixel,
                 int32_t* pitch, int32_t* refresh, const char** driver_name);

int32_t screen_set_pages(int32_t work, int32_t visible);
int32_t screen_copy_page(int32_t from, int32_t to);
void palette_set(int32_t index, int32_t r, int32_t g, int32_t b);
void palette_reset();
