// What the desktop is told about the program beside its windows: the icon
// and the launcher's start-up notification id. Both are the program's, set
// before any screen, and kept across screens.
#include <cstdlib>
#include <string>

#include "gfx/screen_driver.hpp"

namespace {

const IconImage* icon_images = nullptr;
int32_t icon_count = 0;
std::string startup_id;  // empty: none, or already reported

}  // namespace

void screen_set_icon(const IconImage* images, int32_t count) {
  icon_images = count > 0 ? images : nullptr;
  icon_count = icon_images ? count : 0;
}

const IconImage* screen_icon(int32_t* count) {
  *count = icon_count;
  return icon_images;
}

void screen_take_startup_id() {
  const char* id = std::getenv("DESKTOP_STARTUP_ID");
  startup_id = id ? id : "";
  unsetenv("DESKTOP_STARTUP_ID");
}

const char* screen_startup_id() { return startup_id.empty() ? nullptr : startup_id.c_str(); }

void screen_startup_done() { startup_id.clear(); }
