// The update thread: every pass sends the changed rows to the window and
// handles the X events that arrived; and the pace of wait_vsync.
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include "gfx/x11/driver.hpp"
#include "gfx/x11/x11_state.hpp"

namespace {

constexpr int pass_pause_ms = 30;

// The pause between passes, watching the connection: true when something
// arrived on it meanwhile. Woken early, it sleeps out the rest, so passes
// keep their pace.
bool pause_watching(int fd) {
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  pollfd watched{fd, POLLIN, 0};
  const int ready = poll(&watched, 1, pass_pause_ms);
  if (ready == 0) return false;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long long used_us =
      (now.tv_sec - start.tv_sec) * 1000000LL + (now.tv_nsec - start.tv_nsec) / 1000;
  if (used_us < pass_pause_ms * 1000LL) usleep(useconds_t(pass_pause_ms * 1000LL - used_us));
  return true;  // a signal counts too: the events are read then, to be safe
}

}  // namespace

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

  // Asking Xlib for events costs two reads of the connection even when none
  // came. Events can only have arrived when the connection became readable,
  // or were read with the reply to a request: a pass that finds neither, and
  // none queued, leaves Xlib alone.
  bool arrived = true;
  unsigned long asked = 0;
  while (x11_running) {
    x11_lock();
    rows_send();
    if (arrived || XQLength(x11.display) > 0 || XNextRequest(x11.display) != asked) {
      while (XPending(x11.display)) {
        XEvent event;
        XNextEvent(x11.display, &event);
        x11_handle_event(event);
      }
      asked = XNextRequest(x11.display);
    }
    pthread_cond_broadcast(&x11.cond);
    x11_passes++;
    x11_unlock();
    arrived = pause_watching(ConnectionNumber(x11.display));
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
