#pragma once
// The X11 display driver (the only code that includes Xlib lives beside it).
#include "gfx/screen.hpp"

extern const DisplayDriver x11_driver;
