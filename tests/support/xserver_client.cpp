// The test's own connection to a private X server: windows found by title,
// pixels read back, input sent through XTEST or as synthetic events.
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "support/xserver.hpp"

Display* XServer::display() {
  if (!display_ && number_ >= 0 && server_pid_ > 0) display_ = XOpenDisplay(name_.c_str());
  return display_;
}

Window XServer::root() { return display() ? DefaultRootWindow(display_) : 0; }

static void collect(Display* d, Window window, const std::string& title,
                    std::vector<Window>& found) {
  char* name = nullptr;
  if (XFetchName(d, window, &name) && name) {
    if (title == name) found.push_back(window);
    XFree(name);
  }
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, window, &root, &parent, &children, &count)) return;
  for (unsigned int i = 0; i < count; i++) collect(d, children[i], title, found);
  if (children) XFree(children);
}

// Windows of other clients may vanish while the tree is walked; such a
// BadWindow must not end the test program through Xlib's default handler.
static int ignore_error(Display*, XErrorEvent*) { return 0; }

std::vector<Window> XServer::find_windows(const std::string& title) {
  std::vector<Window> found;
  if (display()) {
    XSync(display_, False);
    XErrorHandler previous = XSetErrorHandler(ignore_error);
    collect(display_, root(), title, found);
    XSync(display_, False);
    XSetErrorHandler(previous);
  }
  return found;
}

Window XServer::wait_window(const std::string& title, int timeout_ms) {
  Window found = 0;
  wait_until(
      [&] {
        XErrorHandler previous = XSetErrorHandler(ignore_error);  // it may vanish meanwhile
        for (Window w : find_windows(title)) {
          XWindowAttributes a;
          if (XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable) found = w;
        }
        XSync(display_, False);
        XSetErrorHandler(previous);
        return found != 0;
      },
      timeout_ms, 20);
  return found;
}

int XServer::mismatches(Window window, int x, int y, int width, int height,
                        const std::vector<uint32_t>& frame) {
  if (!display() || frame.size() < size_t(width) * size_t(height)) return width * height;
  XErrorHandler previous = XSetErrorHandler(ignore_error);
  XImage* image =
      XGetImage(display_, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
  XSync(display_, False);
  XSetErrorHandler(previous);
  if (!image) return width * height;
  int wrong = 0;
  for (int row = 0; row < height; row++)
    for (int col = 0; col < width; col++)
      wrong += (XGetPixel(image, col, row) & 0xFFFFFF) !=
               (frame[size_t(row) * size_t(width) + size_t(col)] & 0xFFFFFF);
  XDestroyImage(image);
  return wrong;
}

Window XServer::find_window(const std::string& title) {
  std::vector<Window> found = find_windows(title);
  return found.empty() ? 0 : found.front();
}

bool XServer::size_of(Window window, int* width, int* height) {
  XWindowAttributes a;
  if (!display() || !XGetWindowAttributes(display_, window, &a)) return false;
  *width = a.width;
  *height = a.height;
  return true;
}

uint32_t XServer::pixel(Window window, int x, int y) {
  std::vector<uint32_t> one = column(window, x, y, 1);
  return one.empty() ? 0xFFFFFFFFu : one[0];
}

std::vector<uint32_t> XServer::column(Window window, int x, int y, int count) {
  std::vector<uint32_t> values;
  if (!display()) return values;
  XImage* image = XGetImage(display_, window, x, y, 1, unsigned(count), AllPlanes, ZPixmap);
  if (!image) return values;
  for (int i = 0; i < count; i++) values.push_back(uint32_t(XGetPixel(image, 0, i)));
  XDestroyImage(image);
  return values;
}

void XServer::key(unsigned long keysym, bool press) {
  if (!display()) return;
  XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, KeySym(keysym)), press, CurrentTime);
  XSync(display_, False);
}

void XServer::tap(unsigned long keysym) {
  key(keysym, true);
  key(keysym, false);
}

void XServer::button(unsigned int button, bool press) {
  if (!display()) return;
  XTestFakeButtonEvent(display_, button, press, CurrentTime);
  XSync(display_, False);
}

void XServer::move_pointer(int root_x, int root_y) {
  if (!display()) return;
  XTestFakeMotionEvent(display_, -1, root_x, root_y, CurrentTime);
  XSync(display_, False);
}

void XServer::focus(Window window) {
  if (!display()) return;
  XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
  XSync(display_, False);
}

Window XServer::create_window(int x, int y, int width, int height) {
  if (!display()) return 0;
  XSetWindowAttributes a{};
  a.override_redirect = True;  // placed where asked, with or without a window manager
  Window w = XCreateWindow(display_, root(), x, y, unsigned(width), unsigned(height), 0,
                           CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect, &a);
  XMapRaised(display_, w);
  XSync(display_, False);
  return w;
}

void XServer::send_button(Window window, unsigned int button, unsigned long time, bool press) {
  if (!display()) return;
  XEvent e{};
  e.xbutton.type = press ? ButtonPress : ButtonRelease;
  e.xbutton.display = display_;
  e.xbutton.window = window;
  e.xbutton.root = root();
  e.xbutton.time = time;
  e.xbutton.x = e.xbutton.y = 5;
  e.xbutton.button = button;
  e.xbutton.same_screen = True;
  XSendEvent(display_, window, False, press ? ButtonPressMask : ButtonReleaseMask, &e);
  XSync(display_, False);
}

void XServer::send_delete_window(Window window) {
  if (!display()) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = long(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window, False, NoEventMask, &e);
  XSync(display_, False);
}
