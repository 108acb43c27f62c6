// The X11 driver's windows: the connection and its visual, the drawing
// window, its frame and the full-screen window, their names, hints, cursors
// and colours, and moving them.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gfx/x11/x11_state.hpp"

namespace {

constexpr long EVENT_MASK = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            EnterWindowMask | LeaveWindowMask | PointerMotionMask | ExposureMask |
                            StructureNotifyMask | FocusChangeMask;
static_assert(EVENT_MASK == 0x22807F);

bool open_display() {
  Display* d = x11.display = XOpenDisplay(nullptr);
  if (!d) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
      screen_fail("DISPLAY ist nicht gesetzt");
    else
      screen_fail("keine X-Anzeige unter DISPLAY=%s erreichbar", name);
    return false;
  }
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

Window create_window(bool override_redirect) {
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(x11.display, x11.screen);
  attributes.border_pixel = BlackPixel(x11.display, x11.screen);
  attributes.backing_store = NotUseful;
  attributes.colormap = x11.colormap;
  attributes.event_mask = EVENT_MASK;
  attributes.override_redirect = override_redirect;
  unsigned long mask = CWBackPixel | CWBorderPixel | CWBackingStore | CWColormap | CWEventMask;
  if (override_redirect) mask |= CWOverrideRedirect;
  return XCreateWindow(x11.display, x11.root, 0, 0, unsigned(x11.width), unsigned(x11.height), 0,
                       x11.depth, InputOutput, x11.visual, mask, &attributes);
}

void set_size_hints() {
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
bool hide_decorations() {
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

void create_cursors() {
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

// Program file name, for the window's class: desktops group windows by it and
// match it against the StartupWMClass of a launcher entry.
std::string program_name() {
  if (const char* name = std::getenv("RESOURCE_NAME"); name && *name) return name;
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return screen_program_name();
  path[n] = '\0';
  const char* base = std::strrchr(path, '/');
  return base ? base + 1 : path;
}

// WM_CLASS, WM_CLIENT_MACHINE and _NET_WM_PID, so that desktops can group and
// identify the window (the pid is only meaningful together with the machine).
void identify_window(Window window) {
  std::string name = program_name();
  XClassHint hint = {name.data(), name.data()};
  XSetWMProperties(x11.display, window, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &hint);
  Atom pid_atom = XInternAtom(x11.display, "_NET_WM_PID", False);
  unsigned long pid = static_cast<unsigned long>(getpid());
  XChangeProperty(x11.display, window, pid_atom, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
}

}  // namespace

bool x11_window_open(const char* title) {
  if (!open_display()) return false;
  x11_scale_choose();
  Display* d = x11.display;
  x11.colormap = XCreateColormap(d, x11.root, x11.visual, AllocNone);
  x11.draw_window = create_window(false);
  x11.frame_window = create_window(false);
  x11.full_window = create_window(true);
  if (!x11.draw_window) {
    screen_fail("der X-Server legte kein Fenster an");
    return false;
  }
  // The frame is what the window manager shows, so it carries the title too.
  XStoreName(d, x11.draw_window, title ? title : "");
  XStoreName(d, x11.frame_window, title ? title : "");
  identify_window(x11.frame_window);
  identify_window(x11.draw_window);
  x11_icon_set(x11_managed_window());
  x11_startup_id_set(x11_managed_window());
  set_size_hints();
  if ((x11.flags & SCREEN_NO_FRAME) && !hide_decorations()) {
    screen_fail("der Fenstermanager kennt kein Fenster ohne Rahmen");
    return false;
  }
  x11.delete_atom = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, x11.frame_window, &x11.delete_atom, 1);
  // Without a frame the drawing window is the managed one.
  if (x11.flags & SCREEN_NO_FRAME) XSetWMProtocols(d, x11.draw_window, &x11.delete_atom, 1);
  if (x11.visual->c_class == PseudoColor) {
    x11.colormap8 = XCreateColormap(d, x11.root, x11.visual, AllocAll);
    XSetWindowColormap(d, x11.draw_window, x11.colormap8);
    Window windows[2] = {x11.draw_window, x11.frame_window};
    XSetWMColormapWindows(d, x11.frame_window, windows, 2);
  }
  XClearWindow(d, x11.draw_window);
  create_cursors();
  x11.gc = DefaultGC(d, x11.screen);
  return true;
}

void x11_window_close() {
  Display* d = x11.display;
  if (x11.draw_window) XUndefineCursor(d, x11.draw_window);
  if (x11.arrow_cursor) XFreeCursor(d, x11.arrow_cursor);
  if (x11.invisible_cursor) XFreeCursor(d, x11.invisible_cursor);
  if (x11.colormap8) XFreeColormap(d, x11.colormap8);
  if (x11.decoration_atom && x11.draw_window)
    XDeleteProperty(d, x11.draw_window, x11.decoration_atom);
  if (x11.draw_window) XDestroyWindow(d, x11.draw_window);
  if (x11.full_window) XDestroyWindow(d, x11.full_window);
  if (x11.frame_window) XDestroyWindow(d, x11.frame_window);
  if (x11.colormap) XFreeColormap(d, x11.colormap);
  x11_icon_free();
}

Window x11_managed_window() {
  return (x11.flags & SCREEN_NO_FRAME) ? x11.draw_window : x11.frame_window;
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

void x11_set_palette(int32_t index, int32_t r, int32_t g, int32_t b) {
  if (!x11.display || !x11.colormap8 || index < 0 || index > 255) return;
  auto channel = [](int32_t v) {
    return static_cast<unsigned short>((v < 0 ? 0 : v > 255 ? 255 : v) * 257);
  };
  XColor color{};
  color.pixel = static_cast<unsigned long>(index);
  color.red = channel(r);
  color.green = channel(g);
  color.blue = channel(b);
  color.flags = DoRed | DoGreen | DoBlue;
  XStoreColors(x11.display, x11.colormap8, &color, 1);
  rows_send_all();
}

void x11_set_window_title(const char* title) {
  if (!x11.display) return;
  x11_lock();
  XStoreName(x11.display, x11.frame_window, title ? title : "");
  XFlush(x11.display);
  x11_unlock();
}

int32_t x11_set_window_pos(int32_t x, int32_t y) {
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
  XMoveWindow(d, moved, x == X11_KEEP ? top_attributes.x : x - inner_x,
              y == X11_KEEP ? top_attributes.y : y - inner_y);
  XClearWindow(d, x11.frame_window);
  XEvent event;
  while (XCheckWindowEvent(d, x11.draw_window, PointerMotionMask, &event)) {
  }
  x11_unlock();
  return int32_t((uint32_t(old_y) << 16) | (uint32_t(old_x) & 0xFFFF));
}
