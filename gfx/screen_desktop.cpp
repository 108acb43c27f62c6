// What the desktop is told about the program beside its windows: the icon,
// the icon that asks for attention, and the launcher's start-up notification
// id. All are the program's, set before any screen, and kept across screens;
// asking for attention goes to the open screen's driver.
#include <cstdlib>
#include <string>

#include "gfx/screen_driver.hpp"

namespace {

struct IconSet {
  const IconImage* images = nullptr;
  int32_t count = 0;
};
IconSet icon, attention_icon;
std::string startup_id;  // empty: none, or already reported

void keep(IconSet& set, const IconImage* images, int32_t count) {
  set.images = count > 0 ? images : nullptr;
  set.count = set.images ? count : 0;
}

}  // namespace

void screen_set_icon(const IconImage* images, int32_t count) { keep(icon, images, count); }

void screen_set_attention_icon(const IconImage* images, int32_t count) {
  keep(attention_icon, images, count);
}

const IconImage* screen_icon(int32_t* count) {
  *count = icon.count;
  return icon.images;
}

const IconImage* screen_attention_icon(int32_t* count) {
  *count = attention_icon.count;
  return attention_icon.images;
}

void screen_set_attention(bool on) {
  const ScreenContext* s = screen_context;
  if (s && s->driver && s->driver->set_attention) s->driver->set_attention(on);
}

void screen_take_startup_id() {
  const char* id = std::getenv("DESKTOP_STARTUP_ID");
  startup_id = id ? id : "";
  unsetenv("DESKTOP_STARTUP_ID");
}

const char* screen_startup_id() { return startup_id.empty() ? nullptr : startup_id.c_str(); }

void screen_startup_done() { startup_id.clear(); }
