#pragma once
// The program's icon in the sizes desktops show beside a window (16, 32, 48
// and 64 pixels), compiled in from data/icons by the build.
#include "gfx/screen.hpp"

extern const IconImage programIcon[];
extern const int32_t programIconCount;
