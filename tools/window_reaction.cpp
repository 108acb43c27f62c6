// How fast a window reacts, seen from outside as a user sees it. A developer
// tool for scripts/measure-silent-host.sh; it has its own display connection.
//   window_reaction WINDOW hover X Y AWAY_X AWAY_Y PIXEL_X PIXEL_Y COUNT PERIOD_MS
//     COUNT times, PERIOD_MS apart: moves the pointer (XTEST) to X,Y of the
//     window and prints "on SECONDS" once the pixel at PIXEL_X,PIXEL_Y has
//     changed colour, then to AWAY_X,AWAY_Y and prints "off SECONDS" once it
//     has its first colour again; "on timeout" after 30 s.
//   window_reaction WINDOW close
//     sends the window WM_DELETE_WINDOW, as a close box does.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

unsigned long pixelAt(Display* d, Window w, int x, int y) {
  XImage* image = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return ~0ul;
  const unsigned long p = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return p;
}

void pointerTo(Display* d, Window w, int x, int y) {
  int rootX = 0, rootY = 0;
  Window child;
  XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y, &rootX, &rootY, &child);
  XTestFakeMotionEvent(d, -1, rootX, rootY, CurrentTime);
  XSync(d, False);
}

// Seconds until the pixel is (or, with differ, is no longer) the colour; -1 after 30 s.
double until(Display* d, Window w, int x, int y, unsigned long colour, bool differ) {
  const auto start = Clock::now();
  while (Clock::now() - start < std::chrono::seconds(30)) {
    if ((pixelAt(d, w, x, y) != colour) == differ)
      return std::chrono::duration<double>(Clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return -1;
}

void report(const char* what, double seconds) {
  if (seconds < 0)
    std::printf("%s timeout\n", what);
  else
    std::printf("%s %.4f\n", what, seconds);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Display* d = argc >= 3 ? XOpenDisplay(nullptr) : nullptr;
  if (!d) {
    std::fprintf(stderr, "usage: window_reaction WINDOW hover|close ... (with a DISPLAY)\n");
    return 2;
  }
  const Window w = Window(std::strtoul(argv[1], nullptr, 0));
  if (std::strcmp(argv[2], "close") == 0) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XSync(d, False);
    return 0;
  }
  if (std::strcmp(argv[2], "hover") != 0 || argc != 11) return 2;
  int a[8];
  for (int i = 0; i < 8; ++i) a[i] = std::atoi(argv[3 + i]);
  const auto [x, y, awayX, awayY, px, py, count, period] = a;
  pointerTo(d, w, awayX, awayY);
  std::this_thread::sleep_for(std::chrono::milliseconds(period));
  for (int i = 0; i < count; ++i) {
    const auto next = Clock::now() + std::chrono::milliseconds(period);
    const unsigned long away = pixelAt(d, w, px, py);
    pointerTo(d, w, x, y);
    const double on = until(d, w, px, py, away, true);
    report("on", on);
    pointerTo(d, w, awayX, awayY);
    if (on >= 0) report("off", until(d, w, px, py, away, false));
    std::this_thread::sleep_until(next);
  }
  XCloseDisplay(d);
  return 0;
}
