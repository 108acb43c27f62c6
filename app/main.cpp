// tandrel: probes the hosts of tandrel.cfg, then shows them in one window.
#include "app/config.hpp"
#include "app/config_path.hpp"
#include "app/messages.hpp"
#include "app/program_icon.hpp"
#include "app/streams.hpp"
#include "app/text.hpp"
#include "app/ui/notice_window.hpp"
#include "app/ui/window.hpp"
#include "gfx/screen.hpp"

int main() {
  // Before any screen: the graphics layer's own messages carry the name too.
  screen_set_program_name(programName);
  // A lost display ends the program at once: the pings it runs end with it.
  screen_set_lost_hook(killWatchedStreams);
  // Taken before the probes start tools, which must not inherit it.
  screen_take_startup_id();
  screen_set_icon(programIcon, programIconCount);
  screen_set_attention_icon(markedProgramIcon, programIconCount);
  adoptCharacterLocale();
  const ConfigLookup lookup = findConfiguration();
  if (!lookup.file.empty()) readConfiguration(lookup.file);
  // Checked before the monitor's window exists: without hosts there is nothing to show.
  if (hostCount == 0) return reportNoHosts(lookup);
  if (openWindow(hostCount) != 0) {
    reportMessage(Text("Fenster kann nicht geöffnet werden: ") + screen_failure());
    return 1;
  }
  // Killed in full screen, the desktop would keep the monitor's display mode.
  endOnStopSignals();
  mainLoop();
  closeWindow();
  return 0;
}
