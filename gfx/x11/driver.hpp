#pragma once
// The X11 display driver (the only code that includes Xlib lives beside it).
#include <cstdint>
#include <ctime>

#include "gfx/screen_driver.hpp"

extern const DisplayDriver x11_driver;

// CPU-time clock of the running update thread (0), or -1 without one.
int x11_update_thread_clock(clockid_t* clock);
// Update passes made in this process so far.
uint64_t x11_update_passes();
