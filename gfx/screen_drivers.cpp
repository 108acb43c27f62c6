// The Null driver, how a screen's driver is chosen from the list, and what
// the list tells without a screen. The list itself is linked beside the
// back-ends it names (gfx/driver_list.cpp).
#include <strings.h>

#include "gfx/screen_driver.hpp"

namespace {

void null_lock() {}

}  // namespace

const DisplayDriver null_driver = {
    .name = "Null",
    .init = nullptr,
    .exit = nullptr,
    .lock = null_lock,
    .unlock = null_lock,
    .set_palette = nullptr,
    .wait_vsync = nullptr,
    .get_mouse = nullptr,
    .set_mouse = nullptr,
    .set_window_title = nullptr,
    .set_window_pos = nullptr,
    .fetch_modes = nullptr,
    .flip = nullptr,
    .poll = nullptr,
    .desktop = nullptr,
    .set_attention = nullptr,
};

const DisplayDriver* driver_select(const DisplayDriver* const* list, const char* name,
                                   const char* title, int32_t width, int32_t height, int32_t depth,
                                   int32_t refresh, int32_t flags) {
  if (name && !*name) name = nullptr;
  if (flags == SCREEN_NULL || (name && strcasecmp(name, "null") == 0)) return &null_driver;
  // With a name, even passes try only that driver; halfway the full-screen
  // bit is inverted, so a request no driver can meet falls back to the other
  // window kind.
  const int passes = name ? 4 : 2;
  for (int pass = passes; pass >= 1; --pass) {
    if (pass == passes / 2) flags ^= SCREEN_FULLSCREEN;
    for (const DisplayDriver* const* it = list; *it; ++it) {
      const DisplayDriver* d = *it;
      bool eligible = !name || (pass & 1) || (d->name && strcasecmp(d->name, name) == 0);
      if (!eligible || !d->init) continue;
      for (int attempt = 0; attempt < 2; ++attempt) {
        if (d->init(title, width, height, depth, attempt == 0 ? refresh : 0, flags) == 0) return d;
        if (d->exit) d->exit();
      }
    }
  }
  return nullptr;
}

void screen_info(int32_t* width, int32_t* height, int32_t* depth, int32_t* bytes_per_pixel,
                 int32_t* pitch, int32_t* refresh, const char** driver_name) {
  int32_t w = 0, h = 0, d = 0, bpp = 0, p = 0, r = 0;
  const char* name = "";
  if (const ScreenContext* s = screen_context) {
    w = s->width, h = s->height, d = s->depth, bpp = s->bytes_per_pixel, p = s->pitch;
    r = s->refresh_rate;
    if (s->driver && s->driver->name) name = s->driver->name;
  } else {
    for (const DisplayDriver* const* it = display_drivers; *it; ++it) {
      if ((*it)->desktop && (*it)->desktop(&w, &h, &d, &r) == 0) break;
      w = h = d = r = 0;
    }
  }
  if (width) *width = w;
  if (height) *height = h;
  if (depth) *depth = d;
  if (bytes_per_pixel) *bytes_per_pixel = bpp;
  if (pitch) *pitch = p;
  if (refresh) *refresh = r;
  if (driver_name) *driver_name = name;
}

bool screen_shown() {
  const ScreenContext* s = screen_context;
  return s && s->driver && s->driver != &null_driver;
}
