// The display drivers screen_open tries, in order; linked beside the back-ends
// it names, so that the graphics core itself names none.
#include "gfx/screen_driver.hpp"
#include "gfx/x11/driver.hpp"

const DisplayDriver* const display_drivers[] = {&x11_driver, nullptr};
