// tandrel: probes the hosts of tandrel.cfg, then shows them in one window.
#include <cstdio>
#include <cstdlib>

#include "app/config.hpp"
#include "app/config_path.hpp"
#include "app/notice_window.hpp"
#include "app/text.hpp"
#include "app/window.hpp"

int main() {
  adoptCharacterLocale();
  const ConfigLookup lookup = findConfiguration();
  if (!lookup.file.empty()) readConfiguration(lookup.file);
  // Checked before the monitor's window exists: without hosts there is nothing to show.
  if (hostCount == 0) return reportNoHosts(lookup);
  if (openWindow(hostCount) != 0) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
      std::fprintf(stderr, "tandrel: Fenster kann nicht geöffnet werden: DISPLAY ist nicht gesetzt\n");
    else
      std::fprintf(stderr,
                   "tandrel: Fenster kann nicht geöffnet werden: keine X-Anzeige unter "
                   "DISPLAY=%s erreichbar\n",
                   display);
    return 1;
  }
  // Killed in full screen, the desktop would keep the monitor's display mode.
  endOnStopSignals();
  mainLoop();
  closeWindow();
  return 0;
}
