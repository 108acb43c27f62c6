// The X11 driver's shared state, its lock and its process-wide set-up: the
// floor the driver's other files stand on.
#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "gfx/x11/x11_state.hpp"

X11State x11;
bool x11_focus;
std::atomic<bool> x11_running;
std::atomic<uint64_t> x11_passes;
std::atomic<int32_t> x11_refresh_rate;

namespace {

// Xlib calls this when the connection breaks; it must not return, and Xlib
// must not be entered again, so no exit handlers run.
int connection_lost(Display*) {
  screen_report("Die Verbindung zum X-Server ist abgebrochen. Programmende.\n");
  screen_lost();
  _exit(1);
}

// Protocol errors (a window the window manager destroyed under us, say) are
// reported and survived; Xlib's default would exit from inside Xlib.
int protocol_error(Display* display, XErrorEvent* error) {
  char text[128] = "";
  XGetErrorText(display, error->error_code, text, int(sizeof text));
  char message[256];
  snprintf(message, sizeof message, "X-Fehler: %s (Anfrage %d.%d)\n", text,
           int(error->request_code), int(error->minor_code));
  screen_report(message);
  return 0;
}

}  // namespace

void x11_lock() {
  if (!x11.sync_created) return;
  pthread_mutex_lock(&x11.mutex);
  XLockDisplay(x11.display);
}

void x11_unlock() {
  if (!x11.sync_created) return;
  XUnlockDisplay(x11.display);
  pthread_mutex_unlock(&x11.mutex);
}

void x11_process_setup() {
  static std::once_flag once;
  std::call_once(once, [] {
    XInitThreads();
    XSetIOErrorHandler(connection_lost);
    XSetErrorHandler(protocol_error);
  });
}
