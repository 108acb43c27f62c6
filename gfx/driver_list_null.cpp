// No back-end: only the Null driver, which screen_open takes by name or flag.
// Linked into the unit tests and fuzzers, which never show a screen.
#include "gfx/screen_driver.hpp"

const DisplayDriver* const display_drivers[] = {nullptr};
