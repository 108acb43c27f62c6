// tandrel: probes the hosts of tandrel.cfg, then shows them in one window.
#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "app/config.hpp"
#include "app/text.hpp"
#include "app/window.hpp"
#include "gfx/screen.hpp"

int main() {
  adoptCharacterLocale();
  const Text configuration = "tandrel.cfg";
  readConfiguration(configuration);
  if (hostCount == 0) {
    // Checked before any window exists: without hosts there is nothing to show.
    std::fprintf(stderr, "%s\n", noHostsMessage(configuration).c_str());
    return 1;
  }
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
  if (int signal = stopSignal()) {
    screen_close();
    raise(signal);  // ends the process as the signal would have
  }
  return 0;
}
