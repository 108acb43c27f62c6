#pragma once
// State shared by the files of the X11 driver: state and lock (x11_state.cpp),
// init and exit (driver.cpp), windows, events, full screen and the toggle,
// the update thread, the image and its rows, and keys.
// Private to gfx/x11 and its tests; nothing else includes Xlib.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>

#include <pthread.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstdint>

#include "gfx/screen_driver.hpp"
#include "gfx/x11/convert.hpp"

// Builds one row of the 1-bit shape mask from one row of the visible page,
// each pixel scale bits wide.
using MaskBuilder = void (*)(const uint8_t* row, int32_t width, int32_t scale, uint8_t* mask);

// Everything below is written by init (before the update thread starts), by
// the update thread under the driver lock, or by the drawing thread under the
// same lock (get_mouse, set_mouse, set_window_pos).
struct X11State {
  // Connection and visual.
  Display* display;
  int screen;
  Visual* visual;
  int depth;       // default depth of the screen
  int visual_bpp;  // bits per pixel of that depth's pixmap format; 15 for 16 at depth 15
  Window root;
  Window draw_window;   // gets the image and all input
  Window frame_window;  // managed top level: title, close protocol
  Window full_window;   // override-redirect, full screen only
  Colormap colormap;    // AllocNone colormap of the windows
  Colormap colormap8;   // AllocAll, PseudoColor visuals only
  Atom delete_atom;
  Atom decoration_atom;  // set with SCREEN_NO_FRAME, deleted at exit
  Cursor arrow_cursor, invisible_cursor;
  bool cursor_visible;
  GC gc;  // the screen's default graphics context

  // The screen as asked for. The window shows each page pixel as a scale x
  // scale block, so its width and height are scale times the page's; every
  // size below that deals with windows, the image and modes is the window's.
  int32_t page_width, page_height, scale;
  int32_t width, height, depth_requested, flags, refresh_requested;

  // XRandR.
  XRRScreenConfiguration* randr_config;
  int size_current, size_desktop, size_full;  // -1: none
  Rotation rotation;
  short rate_desktop, rate_full;  // rate_full 0: no matching rate
  int32_t fallback_height;        // full-screen height when no size of the exact height exists
  int32_t mode_height;            // height of the full-screen mode
  bool mode_switched;             // the display mode (and the grabs) must be restored

  // Mouse, in page pixels.
  int32_t mouse_x, mouse_y;
  int32_t root_x, root_y;  // the root position divided by the scale
  bool have_root;          // false until the first motion event
  int32_t buttons;         // 1 left, 2 right, 4 middle
  int32_t wheel, hwheel;
  bool inside, grabbed;
  Time last_press;
  bool have_press;  // no double click before a first press

  uint8_t keycodes[256];  // X keycode -> scan code
  int32_t y_offset;       // image row 0 inside the window

  // Image layer.
  XImage* image;
  XShmSegmentInfo shm;
  bool use_shm;
  XImage* shape_image;
  Pixmap shape_bitmap;
  GC shape_gc;
  Converter converter;
  MaskBuilder mask_builder;
  uint8_t* staging;  // one converted row, compared with the image's; null with TANDREL_FULL_FRAMES
  bool send_all;     // the window may not show the image: send dirty rows whole

  // Update thread.
  pthread_t thread;
  bool thread_started;
  bool sync_created;     // mutex and condition exist
  bool thread_reported;  // the thread has finished image_open
  bool image_ok;         // ... and it succeeded
  pthread_mutex_t mutex;
  pthread_cond_t cond;
};

extern X11State x11;
// Outlives init and exit: the window had the focus (input is ignored without).
extern bool x11_focus;
// Cleared to stop the update thread; read by it without the lock.
extern std::atomic<bool> x11_running;
// Update passes made since the process started; the benchmark and tests read it.
extern std::atomic<uint64_t> x11_passes;

// Set-up and the lock (x11_state.cpp). The lock is the driver's: it keeps the
// update thread and the drawing thread apart, and holds Xlib's display lock.
void x11_process_setup();  // once per process: threads and error handlers
void x11_lock();
void x11_unlock();
// The rate wait_vsync paces by; the mode switch changes it on the update thread.
extern std::atomic<int32_t> x11_refresh_rate;

// Windows (window.cpp). x11_window_open connects, chooses the scale and
// makes the windows for x11.width, height and flags (false: give up, x11_exit cleans up);
// x11_window_close frees them, the display still open.
bool x11_window_open(const char* title);
void x11_window_close();
void x11_set_palette(int32_t index, int32_t r, int32_t g, int32_t b);
void x11_set_window_title(const char* title);
int32_t x11_set_window_pos(int32_t x, int32_t y);
// The window the window manager shows: the frame, or without one the drawing window.
Window x11_managed_window();
// Waits up to timeout_ms for an event of that type on that window and removes it.
bool x11_wait_event(Window window, int type, int timeout_ms);
// Coordinate left as it is, for set_mouse and set_window_pos.
constexpr int32_t X11_KEEP = INT32_MIN;

// What the desktop learns of the window (icon.cpp, startup.cpp): the
// registered icons, freed again with the windows; asking for attention, and
// the focus that ends it (x11_attention_seen, under the lock); the
// launcher's start-up id before the window is mapped, and the message that
// it is shown after (or, at exit, that it never will be).
void x11_icon_set(Window window);
void x11_icon_free();
void x11_set_attention(bool on);
void x11_attention_seen();
void x11_startup_id_set(Window window);
void x11_startup_complete(Window window);

// The scale (scale.cpp). scale_choose answers the first of: tandrel_scale
// when it holds 1 to 4, gdk_scale likewise, the Xft.dpi value over 96
// rounded and kept within 1 to 4, else 1; *ignored tells whether
// tandrel_scale held something else. x11_scale_choose asks the environment
// and the display, lowers the answer until the window fits the screen (not
// below 1, said once), and sets scale, width and height.
int32_t scale_choose(const char* tandrel_scale, const char* gdk_scale, const char* xft_dpi,
                     bool* ignored);
void x11_scale_choose();
// A window coordinate as a page coordinate: divided by the scale, rounded down.
inline int32_t x11_to_page(int32_t v) {
  const int32_t s = x11.scale > 1 ? x11.scale : 1;
  return v >= 0 ? v / s : -((s - 1 - v) / s);
}

// Events and the pointer (events.cpp).
void x11_handle_event(XEvent& event);
int x11_get_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip);
void x11_set_mouse(int32_t x, int32_t y, int32_t visible, int32_t clip);

// Full screen (fullscreen.cpp).
void x11_read_randr();    // at init: the sizes and rates for full screen
int x11_mode_switch();    // full screen: XRandR size, pointer and keyboard grabs; 0 or -1
void x11_mode_restore();  // undoes x11_mode_switch; harmless when nothing was switched
uint32_t* x11_fetch_modes(int32_t depth, int32_t* count);
int x11_desktop(int32_t* width, int32_t* height, int32_t* depth, int32_t* refresh);

// The update thread (update_thread.cpp), started by init.
void* x11_update_thread(void*);
void x11_wait_vsync();

// Between window and full screen (toggle.cpp).
void x11_toggle_fullscreen();

// Image layer (image.cpp). image_open answers 0 or -1.
int image_open();
void image_close();
// The shape mask builder for a screen's bytes per pixel.
MaskBuilder mask_builder_for(int32_t bytes_per_pixel);

// Rows (send_rows.cpp): rows_open after the image exists (false: out of
// memory), rows_close before it goes; rows_send sends the dirty rows, under
// the lock; rows_send_all makes the next pass send every row whole.
bool rows_open();
void rows_close();
void rows_send();
void rows_send_all();
// The 16-bit lookup table the converter is chosen with.
uint32_t* rows_lookup16();

// Keys (keys.cpp).
struct KeysymRow {
  uint64_t keysym;
  uint64_t scan;
};
constexpr int KEYSYM_ROWS = 103;
extern const std::array<KeysymRow, KEYSYM_ROWS> keysym_table;
// Scan code of a key symbol: the first matching row, 1 for Escape, else 0.
int32_t keysym_scan(uint64_t keysym);
void keycode_table_build(Display* display, uint8_t table[256]);
// Key code of a key event with the given scan code (0: nothing to post).
int32_t key_translate(XKeyEvent& event, int32_t scan);
// Extended key code of scan codes 59 to 83, else 0.
int32_t extended_key(int32_t scan);
// Forgets which keys are down.
void x11_clear_key_states();
