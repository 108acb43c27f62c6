// The update thread: every pass sends the changed rows to the window and
// handles the X events that arrived; and the pace of wait_vsync.
#include <unistd.h>

#include "gfx/x11/driver.hpp"
#include "gfx/x11/x11_state.hpp"

void* x11_update_thread(void*) {
  bool ok = image_open() == 0;
  if (!ok) x11_running = false;
  // Mapped now: the launcher may stop its busy feedback.
  if (ok) x11_startup_complete(x11_managed_window());
  x11.cursor_visible = true;
  x11.have_root = false;
  pthread_mutex_lock(&x11.mutex);
  x11.thread_reported = true;
  x11.image_ok = ok;
  pthread_cond_broadcast(&x11.cond);
  pthread_mutex_unlock(&x11.mutex);

  while (x11_running) {
    x11_lock();
    rows_send();
    while (XPending(x11.display)) {
      XEvent event;
      XNextEvent(x11.display, &event);
      x11_handle_event(event);
    }
    pthread_cond_broadcast(&x11.cond);
    x11_passes++;
    x11_unlock();
    usleep(30000);
  }
  x11_lock();
  image_close();
  x11_unlock();
  return nullptr;
}

int x11_update_thread_clock(clockid_t* clock) {
  if (!x11.thread_started || !x11_running) return -1;
  return pthread_getcpuclockid(x11.thread, clock) == 0 ? 0 : -1;
}

uint64_t x11_update_passes() { return x11_passes; }

void x11_wait_vsync() {
  int32_t rate = x11_refresh_rate;
  usleep(useconds_t(rate > 0 ? 1000000 / rate : 16666));
}
