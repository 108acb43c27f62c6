// Full screen through XRandR: the sizes and rates the server offers, switching
// to the screen's size and back, and the grabs that go with it.
#include <unistd.h>

#include <cstdlib>

#include "gfx/x11/x11_state.hpp"

namespace {

// A fresh configuration: the server refuses changes based on a stale one.
bool randr_refresh() {
  if (!x11.randr_config) return false;
  XRRFreeScreenConfigInfo(x11.randr_config);
  x11.randr_config = XRRGetScreenInfo(x11.display, x11.root);
  return x11.randr_config != nullptr;
}

bool depth_listed(int32_t depth) {
  return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

}  // namespace

int x11_mode_switch() {
  Display* d = x11.display;
  if (x11.size_full >= 0 && randr_refresh()) {
    Status status;
    if (x11.rate_full > 0)
      status = XRRSetScreenConfigAndRate(d, x11.randr_config, x11.root, x11.size_full, x11.rotation,
                                         x11.rate_full, CurrentTime);
    else
      status = XRRSetScreenConfig(d, x11.randr_config, x11.root, x11.size_full, x11.rotation,
                                  CurrentTime);
    if (status == RRSetConfigInvalidTime) return -1;
    if (x11.rate_full > 0) x11_refresh_rate = x11.rate_full;
  }
  x11.mode_switched = true;
  XWarpPointer(d, None, x11.draw_window, 0, 0, 0, 0, x11.width / 2, x11.height / 2 + x11.y_offset);
  // Another client may hold the pointer for a moment; do not wait for ever.
  for (int attempt = 0; attempt < 200; attempt++) {
    if (XGrabPointer(d, x11.draw_window, True,
                     ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, x11.draw_window, None, CurrentTime) == GrabSuccess) {
      x11.grabbed = true;
      break;
    }
    usleep(10000);
  }
  if (XGrabKeyboard(d, x11.draw_window, True, GrabModeAsync, GrabModeAsync, CurrentTime) !=
      GrabSuccess)
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
        status = XRRSetScreenConfigAndRate(d, x11.randr_config, x11.root, x11.size_desktop,
                                           x11.rotation, x11.rate_desktop, CurrentTime);
      if (x11.rate_full <= 0 || status == RRSetConfigInvalidTime)
        XRRSetScreenConfig(d, x11.randr_config, x11.root, x11.size_desktop, x11.rotation,
                           CurrentTime);
    }
    x11_refresh_rate = x11.rate_desktop;
  }
  XUngrabPointer(d, CurrentTime);
  XUngrabKeyboard(d, CurrentTime);
  x11.grabbed = false;
}

uint32_t* x11_fetch_modes(int32_t depth, int32_t* count) {
  if (count) *count = 0;
  if (!depth_listed(depth)) return nullptr;
  x11_process_setup();
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
        for (int i = 0; i < n; i++)
          list[i] = (uint32_t(sizes[i].width) << 16) | (uint32_t(sizes[i].height) & 0xFFFF);
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

int x11_desktop(int32_t* width, int32_t* height, int32_t* depth, int32_t* refresh) {
  x11_process_setup();
  Display* d = XOpenDisplay(nullptr);
  if (!d) return -1;
  int screen = DefaultScreen(d);
  int32_t rate = 0;
  int event_base, error_base, major = 0, minor = 0;
  if (XRRQueryExtension(d, &event_base, &error_base) && XRRQueryVersion(d, &major, &minor) &&
      major > 0)
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

// Sizes and rates for full screen; the context learns the resulting rate.
void x11_read_randr() {
  Display* d = x11.display;
  int event_base, error_base, major = 0, minor = 0;
  if (!XRRQueryExtension(d, &event_base, &error_base) || !XRRQueryVersion(d, &major, &minor) ||
      major <= 0)
    return;
  x11.randr_config = XRRGetScreenInfo(d, x11.root);
  if (!x11.randr_config) return;
  x11.size_current = x11.size_desktop =
      XRRConfigCurrentConfiguration(x11.randr_config, &x11.rotation);
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
  x11_refresh_rate = rate;
  if (screen_context) screen_context->refresh_rate = rate;
}
