// The monitor window and the program's only loop: one mouse snapshot, one
// redrawn frame and one key per turn, until the close box is used.
#include "app/ui/window.hpp"

#include <signal.h>

#include "app/hosts.hpp"
#include "app/latency.hpp"
#include "app/ui/paint.hpp"
#include "app/ui/palette.hpp"
#include "app/ui/panel.hpp"
#include "gfx/console.hpp"
#include "gfx/draw.hpp"
#include "gfx/input.hpp"
#include "gfx/screen.hpp"

namespace {

constexpr int32_t panelHeight = 200;
volatile sig_atomic_t stopSignalSeen = 0;

void noteStopSignal(int signal) { stopSignalSeen = signal; }

}  // namespace

int32_t openWindow(uint8_t count) {
  screenWidth = 800;
  screenHeight = uint16_t(count * panelHeight);
  int32_t result = screen_open(screenWidth, screenHeight, 32, 1, 0, 0);
  screen_set_title("Zeige " + integerText(uint32_t(count)) + " Server");
  selectFontHeight(14);
  return result;
}

bool selectFontHeight(int32_t h) {
  int32_t width = 0, height = 0;
  screen_info(&width, &height, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (h != 8 && h != 14 && h != 16) return false;
  console_width(width / 8, height / h);
  return true;
}

void drawFrame() {
  screen_lock();
  console_clear(CLEAR_DEFAULT);
  fillBox(0, 0, float(screenWidth), float(screenHeight), windowBackground);
  for (int i = 0; i < hostCount; ++i) drawHostPanel(hosts[i], uint16_t(i * panelHeight));
  screen_unlock(-1, -1);
}

void endOnStopSignals() {
  struct sigaction action {};
  action.sa_handler = noteStopSignal;
  // Restarted: a tool's output is still read to its end. Reset: a second
  // signal is not caught.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    // One ignored from the start stays ignored: nohup, or a start in the
    // background by a script, must not end the monitor.
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

void closeWindow() {
  endPings();
  screen_close();
  if (stopSignalSeen) raise(stopSignalSeen);
}

void mainLoop(void (*draw)()) {
  while (!stopSignalSeen) {
    console_sleep(5, 1);
    int32_t x = -1, y = -1, wheel = -1, buttons = -1, clip = -1;
    console_read_mouse(&x, &y, &wheel, &buttons, &clip);
    mouseX = x;
    mouseY = y;
    mouseWheel = wheel;
    mouseButtons = buttons;
    draw();
    if (console_read_key() == KEY_CLOSE_BOX_TEXT) return;
  }
}
