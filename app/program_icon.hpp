#pragma once
// The program's icon in the sizes desktops show beside a window (16, 32, 48
// and 64 pixels), compiled in from data/icons by the build; and the same
// sizes with a red mark in the top right corner, shown while a host that
// answered has stopped answering.
#include "gfx/screen.hpp"

extern const IconImage programIcon[];
extern const IconImage markedProgramIcon[];
extern const int32_t programIconCount;
