// How large the window shows the page: each page pixel as an s x s block of
// screen pixels, s from 1 to 4, as the user or the desktop asks for it, and
// small enough for the window to fit the screen.
#include <X11/Xresource.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gfx/x11/x11_state.hpp"

namespace {

constexpr int32_t SCALE_MAX = 4;
// X keeps window sizes in 16 bits, and coordinates signed.
constexpr int64_t WINDOW_SIZE_MAX = 32767;

// 1 to 4 as the whole text, else 0.
int32_t small_whole(const char* text) {
  if (!text || text[0] < '1' || text[0] > '0' + SCALE_MAX || text[1]) return 0;
  return text[0] - '0';
}

// A dots-per-inch value ("192", "144.5") over 96, rounded, halves up, kept
// within 1 to 4; 0 when the text is no positive number.
int32_t scale_of_dpi(const char* text) {
  if (!text) return 0;
  while (*text == ' ' || *text == '\t') text++;
  const char* end = text + std::strlen(text);
  double dpi = 0;
  auto [rest, error] = std::from_chars(text, end, dpi, std::chars_format::fixed);
  if (error != std::errc() || rest == text) return 0;
  while (rest < end && (*rest == ' ' || *rest == '\t')) rest++;
  if (rest != end || !(dpi > 0)) return 0;
  if (dpi >= 96.0 * SCALE_MAX) return SCALE_MAX;
  const int32_t s = int32_t(dpi / 96 + 0.5);
  return s < 1 ? 1 : s;
}

// The display's Xft.dpi resource (desktop settings daemons and xrdb put it
// into RESOURCE_MANAGER), "" when it has none.
std::string xft_dpi(Display* display) {
  const char* resources = XResourceManagerString(display);
  if (!resources) return "";
  XrmInitialize();
  XrmDatabase database = XrmGetStringDatabase(resources);
  if (!database) return "";
  char* type = nullptr;
  XrmValue value{};
  std::string dpi;
  if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr)
    dpi.assign(value.addr, strnlen(value.addr, value.size));
  XrmDestroyDatabase(database);
  return dpi;
}

// Said once a process: a screen may be opened more than once.
void report_ignored(const char* value) {
  static bool reported = false;
  if (reported) return;
  reported = true;
  char shown[17];
  std::snprintf(shown, sizeof shown, "%s", value);
  for (char* c = shown; *c; c++)
    if (static_cast<unsigned char>(*c) < ' ') *c = '?';  // stays one line
  char line[128];
  std::snprintf(line, sizeof line, "TANDREL_SCALE=%s wird nicht beachtet: erlaubt sind 1 bis 4\n",
                shown);
  screen_report(line);
}

// Said once a process, as the scale above.
void report_smaller(int32_t asked, int32_t taken, int32_t screen_width, int32_t screen_height) {
  static bool reported = false;
  if (reported) return;
  reported = true;
  char line[160];
  std::snprintf(line, sizeof line,
                "Maßstab %d statt %d: mit %d wäre das Fenster größer als der Bildschirm "
                "(%d × %d)\n",
                taken, asked, asked, screen_width, screen_height);
  screen_report(line);
}

}  // namespace

int32_t scale_choose(const char* tandrel_scale, const char* gdk_scale, const char* xft_dpi,
                     bool* ignored) {
  const bool given = tandrel_scale && *tandrel_scale;
  if (ignored) *ignored = given && !small_whole(tandrel_scale);
  if (int32_t s = small_whole(tandrel_scale)) return s;
  if (int32_t s = small_whole(gdk_scale)) return s;
  if (int32_t s = scale_of_dpi(xft_dpi)) return s;
  return 1;
}

void x11_scale_choose() {
  const char* tandrel_scale = std::getenv("TANDREL_SCALE");
  bool ignored = false;
  int32_t s =
      scale_choose(tandrel_scale, std::getenv("GDK_SCALE"), xft_dpi(x11.display).c_str(), &ignored);
  if (ignored) report_ignored(tandrel_scale);
  // The window fits the screen it opens on, or else its last rows could
  // never be reached; at scale 1 it is as large as the page, whatever it takes.
  const int32_t asked = s, screen_width = DisplayWidth(x11.display, x11.screen),
                screen_height = DisplayHeight(x11.display, x11.screen);
  const int64_t most_width = std::min<int64_t>(WINDOW_SIZE_MAX, screen_width),
                most_height = std::min<int64_t>(WINDOW_SIZE_MAX, screen_height);
  while (s > 1 &&
         (int64_t(x11.page_width) * s > most_width || int64_t(x11.page_height) * s > most_height))
    s--;
  if (s < asked) report_smaller(asked, s, screen_width, screen_height);
  x11.scale = s;
  x11.width = x11.page_width * s;
  x11.height = x11.page_height * s;
}
