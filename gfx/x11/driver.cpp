// Window layer of the X11 driver: display and windows, the update thread,
// X events into keys, mouse state and screen events, full-screen switching.
#include "gfx/x11/driver.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "gfx/input.hpp"
#include "gfx/x11/x11_state.hpp"

X11State x11;
bool x11_focus;
std::atomic<bool> x11_running;
std::atomic<uint64_t> x11_passes;
// The rate wait_vsync paces by; the mode switch changes it on the update thread.
static std::atomic<int32_t> refresh_rate;

static constexpr long EVENT_MASK = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                                   EnterWindowMask | LeaveWindowMask | PointerMotionMask | ExposureMask |
                                   StructureNotifyMask | FocusChangeMask;
static_assert(EVENT_MASK == 0x22807F);
static constexpr int32_t KEEP = INT32_MIN;  // set_mouse, set_window_pos: coordinate unchanged

// ---- process-wide set-up ------------------------------------------------

// Xlib calls this when the connection breaks; it must not return, and Xlib
// must not be entered again, so no exit handlers run.
static int connection_lost(Display*) {
  static const char message[] = "tandrel: Die Verbindung zum X-Server ist abgebrochen. Programmende.\n";
  ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
  (void)written;
  _exit(1);
}

// Protocol errors (a window the window manager destroyed under us, say) are
// reported and survived; Xlib's default would exit from inside Xlib.
static int protocol_error(Display* display, XErrorEvent* error) {
  char text[128] = "";
  XGetErrorText(display, error->error_code, text, int(sizeof text));
  char message[256];
  int n = snprintf(message, sizeof message, "tandrel: X-Fehler: %s (Anfrage %d.%d)\n", text,
                   int(error->request_code), int(error->minor_code));
  if (n > 0) {
    ssize_t written = write(STDERR_FILENO, message, size_t(n) < sizeof message ? size_t(n) : sizeof message - 1);
    (void)written;
  }
  return 0;
}

static void process_setup() {
  static std::once_flag once;
  std::call_once(once, [] {
    XInitThreads();
    XSetIOErrorHandler(connection_lost);
    XSetErrorHandler(protocol_error);
  });
}

// ---- lock and small helpers ---------------------------------------------

void x11_lock() {
  if (!x11.sync_created) return;
  pthread_mutex_lock(&x11.mutex);
  XLockDisplay(x11.display);
}

void x11_unlock() {
  if (!x11.sync_created) return;
  XUnlockDisplay(x11.display);
  pthread_mutex_unlock(&x11.mutex);
}

bool x11_wait_event(Window window, int type, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  XEvent event;
  for (;;) {
    if (XCheckTypedWindowEvent(x11.display, window, type, &event)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    usleep(1000);
  }
}

static void post(int32_t type, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  if (screen_context) event_post(ScreenEvent{type, a, b, c, d});
}

static uint8_t* key_states() { return screen_context ? screen_context->key_state : nullptr; }

static void clear_key_states() {
  if (uint8_t* keys = key_states()) std::memset(keys, 0, 128);
}

// ---- XRandR mode switch -------------------------------------------------

// A fresh configuration: the server refuses changes based on a stale one.
static bool randr_refresh() {
  if (!x11.randr_config) return false;
  XRRFreeScreenConfigInfo(x11.randr_config);
  x11.randr_config = XRRGetScreenInfo(x11.display, x11.root);
  return x11.randr_config != nullptr;
}

int x11_mode_switch() {
  Display* d = x11.display;
  if (x11.size_full >= 0 && randr_refresh()) {
    Status status;
    if (x11.rate_full > 0)
      status = XRRSetScreenConfigAndRate(d, x11.randr_config, x11.root, x11.size_full, x11.rotation,
                                         x11.rate_full, CurrentTime);
    else
      status = XRRSetScreenConfig(d, x11.randr_config, x11.root, x11.size_full, x11.rotation, CurrentTime);
    if (status == RRSetConfigInvalidTime) return -1;
    if (x11.rate_full > 0) refresh_rate = x11.rate_full;
  }
  x11.mode_switched = true;
  XWarpPointer(d, None, x11.draw_window, 0, 0, 0, 0, x11.width / 2, x11.height / 2 + x11.y_offset);
  // Another client may hold the pointer for a moment; do not wait for ever.
  for (int attempt = 0; attempt < 200; attempt++) {
    if (XGrabPointer(d, x11.draw_window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, x11.draw_window, None, CurrentTime) == GrabSuccess) {
      x11.grabbed = true;
      break;
    }
    usleep(10000);
  }
  if (XGrabKeyboard(d, x11.draw_window, True, GrabModeAsync, GrabModeAsync, CurrentTime) != GrabSuccess)
    return -1;
  return 0;
}

void x11_mode_restore() {
  if (!x11.mode_switched || !x11.display) return;
  x11.mode_switched = false;
  Display* d = x11.display;
  if (x11.size_desktop >= 0 && randr_refresh()) {
    Rotation rotation;
    int current = XRRConfigCurrentConfiguration(x11.randr_config, &rotation);
    if (current != x11.size_desktop) {
      Status status = RRSetConfigInvalidTime;
      if (x11.rate_full > 0)
        status = XRRSetScreenConfigAndRate(d, x11.randr_config, x11.root, x11.size_desktop, x11.rotation,
                                           x11.rate_desktop, CurrentTime);
      if (x11.rate_full <= 0 || status == RRSetConfigInvalidTime)
        XRRSetScreenConfig(d, x11.randr_config, x11.root, x11.size_desktop, x11.rotation, CurrentTime);
    }
    refresh_rate = x11.rate_desktop;
  }
  XUngrabPointer(d, CurrentTime);
  XUngrabKeyboard(d, CurrentTime);
  x11.grabbed = false;
}

// ---- driver operations --------------------------------------------------

static void x11_set_palette(int32_t index, int32_t r, int32_t g, int32_t b) {
  if (!x11.display || !x11.colormap8 || index < 0 || index > 255) return;
  auto channel = [](int32_t v) { return static_cast<unsigned short>((v < 0 ? 0 : v > 255 ? 255 : v) * 257); };
  XColor color{};
  color.pixel = static_cast<unsigned long>(index);
  color.red = channel(r);
  color.green = channel(g);
  color.blue = channel(b);
  color.flags = DoRed | DoGreen | DoBlue;
  XStoreColors(x11.display, x11.colormap8, &color, 1);
  image_send_all();
}

void x11_toggle_fullscreen() {
  image_close();
  x11.flags ^= SCREEN_FULLSCREEN;
  if (image_open() != 0) {
    image_close();
    x11.flags ^= SCREEN_FULLSCREEN;
    image_open();
  }
  if (ScreenContext* screen = screen_context; screen && screen->device_palette)
    for (int i = 0; i < 256; i++) {
      uint32_t c = screen->device_palette[i];
      x11_set_palette(i, int32_t(c & 0xFF), int32_t((c >> 8) & 0xFF), int32_t((c >> 16) & 0xFF));
    }
  clear_key_states();
}

static void x11_wait_vsync() {
  int32_t rate = refresh_rate;
  usleep(useconds_t(rate > 0 ? 1000000 / rate : 16666));
}

static int x11_get_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip) {
  if (!x11.display || !x11.inside || !x11_focus) return -1;
  int32_t px = x11.mouse_x, py = x11.mouse_y, pb = x11.buttons;
  Window root, child;
  int root_x, root_y, window_x, window_y;
  unsigned int mask;
  if (XQueryPointer(x11.display, x11.draw_window, &root, &child, &root_x, &root_y, &window_x, &window_y, &mask)) {
    px = window_x;
    py = window_y - x11.y_offset;
    pb = ((mask & Button1Mask) ? 1 : 0) | ((mask & Button3Mask) ? 2 : 0) | ((mask & Button2Mask) ? 4 : 0);
  }
  if (x) *x = px;
  if (y) *y = py;
  if (wheel) *wheel = x11.wheel;
  if (buttons) *buttons = pb;
  if (clip) *clip = x11.grabbed ? 1 : 0;
  return 0;
}

static void x11_set_mouse(int32_t x, int32_t y, int32_t visible, int32_t clip) {
  Display* d = x11.display;
  if (!d) return;
  if ((x != KEEP || y != KEEP) && x11_focus) {
    if (x == KEEP) x = x11.mouse_x;
    if (y == KEEP) y = x11.mouse_y;
    x = x < 0 ? 0 : x >= x11.width ? x11.width - 1 : x;
    y = y < 0 ? 0 : y >= x11.height ? x11.height - 1 : y;
    x11.mouse_x = x;
    x11.mouse_y = y;
    x11.inside = true;
    XWarpPointer(d, None, x11.draw_window, 0, 0, 0, 0, x, y + x11.y_offset);
  }
  if (visible > 0) {
    XDefineCursor(d, x11.draw_window, x11.arrow_cursor);
    x11.cursor_visible = true;
  } else if (visible == 0) {
    XDefineCursor(d, x11.draw_window, x11.invisible_cursor);
    x11.cursor_visible = false;
  }
  if (clip == 0) {
    XUngrabPointer(d, CurrentTime);
    x11.grabbed = false;
  } else if (clip > 0 && !x11.grabbed) {
    // Bounded: the caller holds the screen lock meanwhile.
    for (int attempt = 0; attempt < 20 && !x11.grabbed; attempt++) {
      if (XGrabPointer(d, x11.draw_window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                       GrabModeAsync, GrabModeAsync, x11.draw_window, None, CurrentTime) == GrabSuccess)
        x11.grabbed = true;
      else
        usleep(100000);
    }
  }
  XFlush(d);
}

static void x11_set_window_title(const char* title) {
  if (!x11.display) return;
  x11_lock();
  XStoreName(x11.display, x11.frame_window, title ? title : "");
  XFlush(x11.display);
  x11_unlock();
}

static int32_t x11_set_window_pos(int32_t x, int32_t y) {
  if (!x11.display || (x11.flags & SCREEN_FULLSCREEN)) return 0;
  x11_lock();
  Display* d = x11.display;
  // Offsets of the drawing window inside the top-level window (the window
  // manager's frame, when there is one).
  Window window = x11.draw_window, top = x11.draw_window;
  int32_t inner_x = 0, inner_y = 0;
  for (int depth = 0; depth < 32; depth++) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, window, &root, &parent, &children, &count)) break;
    if (children) XFree(children);
    top = window;
    if (!parent || parent == root) break;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, window, &attributes)) break;
    inner_x += attributes.x + attributes.border_width;
    inner_y += attributes.y + attributes.border_width;
    window = parent;
  }
  XWindowAttributes top_attributes{};
  XGetWindowAttributes(d, top, &top_attributes);
  int32_t old_x = top_attributes.x + inner_x, old_y = top_attributes.y + inner_y;
  Window moved = (x11.flags & SCREEN_NO_FRAME) ? x11.draw_window : x11.frame_window;
  XMoveWindow(d, moved, x == KEEP ? top_attributes.x : x - inner_x, y == KEEP ? top_attributes.y : y - inner_y);
  XClearWindow(d, x11.frame_window);
  XEvent event;
  while (XCheckWindowEvent(d, x11.draw_window, PointerMotionMask, &event)) {
  }
  x11_unlock();
  return int32_t((uint32_t(old_y) << 16) | (uint32_t(old_x) & 0xFFFF));
}

static bool depth_listed(int32_t depth) {
  return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

static uint32_t* x11_fetch_modes(int32_t depth, int32_t* count) {
  if (count) *count = 0;
  if (!depth_listed(depth)) return nullptr;
  process_setup();
  bool own = !x11.display;
  Display* d = own ? XOpenDisplay(nullptr) : x11.display;
  if (!d) return nullptr;
  if (!own) x11_lock();
  uint32_t* list = nullptr;
  int event_base, error_base;
  if (XRRQueryExtension(d, &event_base, &error_base)) {
    if (XRRScreenConfiguration* config = XRRGetScreenInfo(d, RootWindow(d, DefaultScreen(d)))) {
      int n = 0;
      XRRScreenSize* sizes = XRRConfigSizes(config, &n);
      if (n > 0 && (list = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * size_t(n))))) {
        for (int i = 0; i < n; i++) list[i] = (uint32_t(sizes[i].width) << 16) | (uint32_t(sizes[i].height) & 0xFFFF);
        if (count) *count = n;
      }
      XRRFreeScreenConfigInfo(config);
    }
  }
  if (own)
    XCloseDisplay(d);
  else
    x11_unlock();
  return list;
}

static int x11_desktop(int32_t* width, int32_t* height, int32_t* depth, int32_t* refresh) {
  process_setup();
  Display* d = XOpenDisplay(nullptr);
  if (!d) return -1;
  int screen = DefaultScreen(d);
  int32_t rate = 0;
  int event_base, error_base, major = 0, minor = 0;
  if (XRRQueryExtension(d, &event_base, &error_base) && XRRQueryVersion(d, &major, &minor) && major > 0)
    if (XRRScreenConfiguration* config = XRRGetScreenInfo(d, RootWindow(d, screen))) {
      rate = XRRConfigCurrentRate(config);
      XRRFreeScreenConfigInfo(config);
    }
  if (width) *width = DisplayWidth(d, screen);
  if (height) *height = DisplayHeight(d, screen);
  if (depth) *depth = DefaultDepth(d, screen);
  if (refresh) *refresh = rate;
  XCloseDisplay(d);
  return 0;
}

// ---- events -------------------------------------------------------------

static void on_key_press(XKeyEvent& event) {
  uint8_t* keys = key_states();
  int32_t scan = x11.keycodes[event.keycode & 0xFF];
  if (keys) keys[scan & 127] = 1;
  if (keys && keys[28] && keys[56] && !(x11.flags & SCREEN_FIXED)) {
    x11_toggle_fullscreen();
    post(EVENT_KEY_PRESS, scan, 0);
    return;
  }
  int32_t code = key_translate(event, scan);
  if (code) key_post(code);
  post(EVENT_KEY_PRESS, scan, code < 256 ? code : 0);
}

static void on_key_release(XKeyEvent& event) {
  int32_t scan = x11.keycodes[event.keycode & 0xFF];
  int32_t code = key_translate(event, scan);
  int32_t character = code < 256 ? code : 0;
  // Auto-repeat: the server sends a release and a press with the same time.
  if (XEventsQueued(x11.display, QueuedAfterReading) > 0) {
    XEvent next;
    XPeekEvent(x11.display, &next);
    if (next.type == KeyPress && next.xkey.keycode == event.keycode && next.xkey.time - event.time <= 1) {
      XNextEvent(x11.display, &next);
      if (code) key_post(code);
      post(EVENT_KEY_REPEAT, scan, character);
      return;
    }
  }
  if (uint8_t* keys = key_states()) keys[scan & 127] = 0;
  post(EVENT_KEY_RELEASE, scan, character);
}

static int32_t button_bit(unsigned int button) {
  return button == Button1 ? 1 : button == Button2 ? 4 : button == Button3 ? 2 : 0;
}

static void on_button_press(XButtonEvent& event) {
  if (int32_t bit = button_bit(event.button)) {
    x11.buttons |= bit;
    bool twice = x11.have_press && Time(event.time - x11.last_press) <= 249;
    post(twice ? EVENT_DOUBLE_CLICK : EVENT_BUTTON_PRESS, bit);
    x11.last_press = event.time;
    x11.have_press = true;
  } else if (event.button == 4 || event.button == 5) {
    post(EVENT_WHEEL, x11.wheel);
    x11.wheel += event.button == 4 ? 1 : -1;
  } else if (event.button == 6 || event.button == 7) {
    post(EVENT_HWHEEL, x11.hwheel);
    x11.hwheel += event.button == 7 ? 1 : -1;
  }
}

static void on_motion(XMotionEvent& event) {
  int32_t dx = x11.have_root ? event.x_root - x11.root_x : 0;
  int32_t dy = x11.have_root ? event.y_root - x11.root_y : 0;
  x11.root_x = event.x_root;
  x11.root_y = event.y_root;
  x11.have_root = true;
  x11.mouse_x = event.x;
  x11.mouse_y = event.y - x11.y_offset;
  x11.inside = x11.mouse_x >= 0 && x11.mouse_x < x11.width && x11.mouse_y >= 0 && x11.mouse_y < x11.height;
  if (x11_focus) post(EVENT_MOUSE_MOVE, x11.mouse_x, x11.mouse_y, dx, dy);
}

static void pointer_refresh() {
  Window root, child;
  int root_x, root_y, x, y;
  unsigned int mask;
  if (!XQueryPointer(x11.display, x11.draw_window, &root, &child, &root_x, &root_y, &x, &y, &mask)) return;
  x11.mouse_x = x;
  x11.mouse_y = y - x11.y_offset;
  x11.inside = x11.mouse_x >= 0 && x11.mouse_x < x11.width && x11.mouse_y >= 0 && x11.mouse_y < x11.height;
}

static void on_configure(XConfigureEvent& event) {
  if (event.width != x11.width || (event.height != x11.height && event.height != x11.mode_height))
    x11_toggle_fullscreen();
}

void x11_handle_event(XEvent& event) {
  switch (event.type) {
    case KeyPress:
      if (x11_focus) on_key_press(event.xkey);
      break;
    case KeyRelease:
      if (x11_focus) on_key_release(event.xkey);
      break;
    case ButtonPress:
      if (x11_focus) on_button_press(event.xbutton);
      break;
    case ButtonRelease:
      if (int32_t bit = button_bit(event.xbutton.button); bit && x11_focus) {
        x11.buttons &= ~bit;
        post(EVENT_BUTTON_RELEASE, bit);
      }
      break;
    case MotionNotify:
      on_motion(event.xmotion);
      break;
    case EnterNotify:
    case LeaveNotify:
      if (x11_focus) {
        x11.inside = event.type == EnterNotify;
        post(x11.inside ? EVENT_MOUSE_ENTER : EVENT_MOUSE_LEAVE);
      }
      break;
    case FocusIn:
    case MapNotify:
      if (!x11_focus) {
        x11_focus = true;
        post(EVENT_FOCUS_IN);
        // Losing the focus forgot the pointer; it may still be over the window.
        pointer_refresh();
      }
      image_send_all();
      break;
    case Expose:
      image_send_all();
      break;
    case FocusOut:
      // Focus passing from the frame to the drawing window stays with us.
      if (event.xfocus.detail == NotifyInferior) break;
      // In full screen our keyboard grab brings us the keys wherever the
      // window manager moves the focus meanwhile.
      if (event.xfocus.mode == NotifyWhileGrabbed && x11.mode_switched) break;
      clear_key_states();
      x11.inside = false;
      x11_focus = false;
      post(EVENT_FOCUS_OUT);
      break;
    case ConfigureNotify:
      on_configure(event.xconfigure);
      break;
    case ClientMessage:
      if (Atom(event.xclient.data.l[0]) == x11.delete_atom && x11.delete_atom) {
        key_post(KEY_CLOSE_BOX);
        post(EVENT_CLOSE);
      }
      break;
    default:
      break;
  }
}

// ---- update thread ------------------------------------------------------

static void* update_thread(void*) {
  bool ok = image_open() == 0;
  if (!ok) x11_running = false;
  x11.cursor_visible = true;
  x11.have_root = false;
  pthread_mutex_lock(&x11.mutex);
  x11.thread_reported = true;
  x11.image_ok = ok;
  pthread_cond_broadcast(&x11.cond);
  pthread_mutex_unlock(&x11.mutex);

  while (x11_running) {
    x11_lock();
    image_update();
    while (XPending(x11.display)) {
      XEvent event;
      XNextEvent(x11.display, &event);
      x11_handle_event(event);
    }
    pthread_cond_broadcast(&x11.cond);
    x11_passes++;
    x11_unlock();
    usleep(30000);
  }
  x11_lock();
  image_close();
  x11_unlock();
  return nullptr;
}

int x11_update_thread_clock(clockid_t* clock) {
  if (!x11.thread_started || !x11_running) return -1;
  return pthread_getcpuclockid(x11.thread, clock) == 0 ? 0 : -1;
}

uint64_t x11_update_passes() { return x11_passes; }

// ---- init and exit ------------------------------------------------------

// Releases whatever exists, in any state a failed init may leave.
static void x11_exit() {
  if (x11.thread_started) {
    x11_running = false;
    pthread_join(x11.thread, nullptr);
    x11.thread_started = false;
  }
  if (x11.sync_created) {
    pthread_cond_destroy(&x11.cond);
    pthread_mutex_destroy(&x11.mutex);
    x11.sync_created = false;
  }
  if (Display* d = x11.display) {
    x11_mode_restore();
    XSync(d, False);
    if (x11.draw_window) XUndefineCursor(d, x11.draw_window);
    if (x11.arrow_cursor) XFreeCursor(d, x11.arrow_cursor);
    if (x11.invisible_cursor) XFreeCursor(d, x11.invisible_cursor);
    if (x11.colormap8) XFreeColormap(d, x11.colormap8);
    if (x11.decoration_atom && x11.draw_window) XDeleteProperty(d, x11.draw_window, x11.decoration_atom);
    if (x11.draw_window) XDestroyWindow(d, x11.draw_window);
    if (x11.full_window) XDestroyWindow(d, x11.full_window);
    if (x11.frame_window) XDestroyWindow(d, x11.frame_window);
    if (x11.colormap) XFreeColormap(d, x11.colormap);
    if (x11.randr_config) XRRFreeScreenConfigInfo(x11.randr_config);
    XCloseDisplay(d);
  }
  x11 = X11State{};
}

static int32_t fallback_height(int32_t height) {
  if (height < 240) return 240;
  if (height < 480) return 480;
  if (height < 600) return 600;
  if (height < 768) return 768;
  if (height < 1024) return 1024;
  return height;
}

static bool open_display() {
  Display* d = x11.display = XOpenDisplay(nullptr);
  if (!d) return false;
  x11.screen = DefaultScreen(d);
  x11.visual = DefaultVisual(d, x11.screen);
  x11.depth = DefaultDepth(d, x11.screen);
  x11.root = RootWindow(d, x11.screen);
  int count = 0;
  if (XPixmapFormatValues* formats = XListPixmapFormats(d, &count)) {
    for (int i = 0; i < count; i++)
      if (formats[i].depth == x11.depth) x11.visual_bpp = formats[i].bits_per_pixel;
    XFree(formats);
  }
  if (x11.visual_bpp == 16 && x11.depth == 15) x11.visual_bpp = 15;
  return true;
}

static Window create_window(bool override_redirect) {
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(x11.display, x11.screen);
  attributes.border_pixel = BlackPixel(x11.display, x11.screen);
  attributes.backing_store = NotUseful;
  attributes.colormap = x11.colormap;
  attributes.event_mask = EVENT_MASK;
  attributes.override_redirect = override_redirect;
  unsigned long mask = CWBackPixel | CWBorderPixel | CWBackingStore | CWColormap | CWEventMask;
  if (override_redirect) mask |= CWOverrideRedirect;
  return XCreateWindow(x11.display, x11.root, 0, 0, unsigned(x11.width), unsigned(x11.height), 0, x11.depth,
                       InputOutput, x11.visual, mask, &attributes);
}

static void set_size_hints() {
  XSizeHints* hints = XAllocSizeHints();
  if (!hints) return;
  hints->flags = PMinSize | PMaxSize | PResizeInc | PBaseSize;
  hints->min_width = hints->base_width = x11.width;
  hints->min_height = hints->base_height = x11.height;
  hints->width_inc = hints->height_inc = 65536;
  bool fixed = x11.flags & SCREEN_FIXED;
  hints->max_width = fixed ? x11.width : DisplayWidth(x11.display, x11.screen);
  hints->max_height = fixed ? x11.height : DisplayHeight(x11.display, x11.screen);
  XSetWMNormalHints(x11.display, x11.draw_window, hints);
  XSetWMNormalHints(x11.display, x11.full_window, hints);
  hints->max_width = x11.width;
  hints->max_height = x11.height;
  XSetWMNormalHints(x11.display, x11.frame_window, hints);
  XFree(hints);
}

// Asks the window manager for no decorations; false when it knows no way.
static bool hide_decorations() {
  static const char* const names[] = {"_MOTIF_WM_HINTS", "KWM_WIN_DECORATION", "_WIN_HINTS"};
  for (const char* name : names) {
    Atom atom = XInternAtom(x11.display, name, True);
    if (!atom) continue;
    long motif[5] = {2, 0, 0, 0, 0};  // decorations field valid, no decorations
    long none[1] = {0};
    bool is_motif = name == names[0];
    XChangeProperty(x11.display, x11.draw_window, atom, atom, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(is_motif ? motif : none), is_motif ? 5 : 1);
    x11.decoration_atom = atom;
    return true;
  }
  return false;
}

static void create_cursors() {
  Display* d = x11.display;
  Pixmap bitmap = XCreatePixmap(d, x11.root, 1, 1, 1);
  GC gc = XCreateGC(d, bitmap, 0, nullptr);
  XDrawPoint(d, bitmap, gc, 0, 0);
  XFreeGC(d, gc);
  XColor black{};
  x11.invisible_cursor = XCreatePixmapCursor(d, bitmap, bitmap, &black, &black, 0, 0);
  x11.arrow_cursor = XCreateFontCursor(d, XC_left_ptr);
  XFreePixmap(d, bitmap);
}

// Sizes and rates for full screen; the context learns the resulting rate.
static void read_randr() {
  Display* d = x11.display;
  int event_base, error_base, major = 0, minor = 0;
  if (!XRRQueryExtension(d, &event_base, &error_base) || !XRRQueryVersion(d, &major, &minor) || major <= 0)
    return;
  x11.randr_config = XRRGetScreenInfo(d, x11.root);
  if (!x11.randr_config) return;
  x11.size_current = x11.size_desktop = XRRConfigCurrentConfiguration(x11.randr_config, &x11.rotation);
  x11.rate_desktop = XRRConfigCurrentRate(x11.randr_config);
  int count = 0;
  XRRScreenSize* sizes = XRRConfigSizes(x11.randr_config, &count);
  for (int pass = 0; pass < 2 && x11.size_full < 0; pass++) {
    int32_t wanted = pass == 0 ? x11.height : x11.fallback_height;
    for (int i = 0; i < count; i++)
      if (sizes[i].width == x11.width && sizes[i].height == wanted) {
        x11.size_full = i;
        x11.mode_height = sizes[i].height;
        break;
      }
  }
  int32_t rate = x11.refresh_requested;
  if (rate >= 1 && x11.size_full >= 0) {
    int rate_count = 0;
    short* rates = XRRConfigRates(x11.randr_config, x11.size_full, &rate_count);
    for (int i = 0; i < rate_count; i++)
      if (rates[i] == rate) x11.rate_full = rates[i];
  } else {
    rate = x11.rate_desktop;
  }
  refresh_rate = rate;
  if (screen_context) screen_context->refresh_rate = rate;
}

// Program file name, for the window's class: desktops group windows by it and
// match it against the StartupWMClass of a launcher entry.
static std::string program_name() {
  if (const char* name = std::getenv("RESOURCE_NAME"); name && *name) return name;
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "tandrel";
  path[n] = '\0';
  const char* base = std::strrchr(path, '/');
  return base ? base + 1 : path;
}

// WM_CLASS, WM_CLIENT_MACHINE and _NET_WM_PID, so that desktops can group and
// identify the window (the pid is only meaningful together with the machine).
static void identify_window(Window window) {
  std::string name = program_name();
  XClassHint hint = {name.data(), name.data()};
  XSetWMProperties(x11.display, window, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &hint);
  Atom pid_atom = XInternAtom(x11.display, "_NET_WM_PID", False);
  unsigned long pid = static_cast<unsigned long>(getpid());
  XChangeProperty(x11.display, window, pid_atom, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
}

static int x11_init(const char* title, int32_t width, int32_t height, int32_t depth, int32_t refresh,
                    int32_t flags) {
  if (flags & SCREEN_OPENGL) return -1;
  if (x11.display || x11.sync_created) x11_exit();
  x11 = X11State{};
  process_setup();

  x11.width = width;
  x11.height = height;
  x11.depth_requested = depth < 8 ? 8 : depth;
  x11.flags = flags;
  x11.refresh_requested = refresh;
  refresh_rate = refresh;
  x11.size_current = x11.size_desktop = x11.size_full = -1;
  x11.fallback_height = fallback_height(height);
  x11.mode_height = height;
  if (width <= 0 || height <= 0 || !open_display()) {
    x11_exit();
    return -1;
  }
  Display* d = x11.display;

  x11.colormap = XCreateColormap(d, x11.root, x11.visual, AllocNone);
  x11.draw_window = create_window(false);
  x11.frame_window = create_window(false);
  x11.full_window = create_window(true);
  if (!x11.draw_window) {
    x11_exit();
    return -1;
  }
  // The frame is what the window manager shows, so it carries the title too.
  XStoreName(d, x11.draw_window, title ? title : "");
  XStoreName(d, x11.frame_window, title ? title : "");
  identify_window(x11.frame_window);
  identify_window(x11.draw_window);
  set_size_hints();
  if ((flags & SCREEN_NO_FRAME) && !hide_decorations()) {
    x11_exit();
    return -1;
  }
  x11.delete_atom = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, x11.frame_window, &x11.delete_atom, 1);
  // Without a frame the drawing window is the managed one.
  if (flags & SCREEN_NO_FRAME) XSetWMProtocols(d, x11.draw_window, &x11.delete_atom, 1);
  if (x11.visual->c_class == PseudoColor) {
    x11.colormap8 = XCreateColormap(d, x11.root, x11.visual, AllocAll);
    XSetWindowColormap(d, x11.draw_window, x11.colormap8);
    Window windows[2] = {x11.draw_window, x11.frame_window};
    XSetWMColormapWindows(d, x11.frame_window, windows, 2);
  }
  XClearWindow(d, x11.draw_window);
  create_cursors();
  x11.gc = DefaultGC(d, x11.screen);
  XSync(d, False);
  read_randr();
  keycode_table_build(d, x11.keycodes);

  bool full = flags & SCREEN_FULLSCREEN;
  x11.inside = full;
  x11.mouse_x = full ? width / 2 : 0;
  x11.mouse_y = full ? height / 2 : 0;

  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  // Recursive: a caller holding the screen lock may use title and position.
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&x11.mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  pthread_cond_init(&x11.cond, nullptr);
  x11.sync_created = true;

  pthread_mutex_lock(&x11.mutex);
  x11_running = true;
  if (pthread_create(&x11.thread, nullptr, update_thread, nullptr) != 0) {
    x11_running = false;
    pthread_mutex_unlock(&x11.mutex);
    x11_exit();
    return -1;
  }
  x11.thread_started = true;
  while (!x11.thread_reported) pthread_cond_wait(&x11.cond, &x11.mutex);
  bool ok = x11.image_ok;
  pthread_mutex_unlock(&x11.mutex);
  if (!ok) {
    x11_exit();
    return -1;
  }
  return 0;
}

static void x11_driver_lock() { x11_lock(); }
static void x11_driver_unlock() { x11_unlock(); }

const DisplayDriver x11_driver = {
  .name = "X11",
  .init = x11_init,
  .exit = x11_exit,
  .lock = x11_driver_lock,
  .unlock = x11_driver_unlock,
  .set_palette = x11_set_palette,
  .wait_vsync = x11_wait_vsync,
  .get_mouse = x11_get_mouse,
  .set_mouse = x11_set_mouse,
  .set_window_title = x11_set_window_title,
  .set_window_pos = x11_set_window_pos,
  .fetch_modes = x11_fetch_modes,
  .flip = nullptr,
  .poll = nullptr,
  .desktop = x11_desktop,
};
