// Placeholder until the X11 window layer lands: no display can be opened.
#include "gfx/x11/driver.hpp"

static int x11_init(const char*, int32_t, int32_t, int32_t, int32_t, int32_t) { return -1; }

const DisplayDriver x11_driver = {
  .name = "X11",
  .init = x11_init,
};
