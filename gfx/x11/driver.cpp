// The X11 display driver: init and exit, and the table that names the
// operations of its other files.
#include "gfx/x11/driver.hpp"

#include "gfx/x11/x11_state.hpp"

namespace {

// Releases whatever exists, in any state a failed init may leave.
void x11_exit() {
  if (x11.thread_started) {
    x11_running = false;
    pthread_join(x11.thread, nullptr);
    x11.thread_started = false;
  }
  if (x11.sync_created) {
    pthread_cond_destroy(&x11.cond);
    pthread_mutex_destroy(&x11.mutex);
    x11.sync_created = false;
  }
  if (Display* d = x11.display) {
    // A window that never showed ends the launcher's busy feedback all the
    // same; after it showed there is nothing left to end.
    x11_startup_complete(x11_managed_window());
    x11_mode_restore();
    XSync(d, False);
    x11_window_close();
    if (x11.randr_config) XRRFreeScreenConfigInfo(x11.randr_config);
    XCloseDisplay(d);
  }
  x11 = X11State{};
}

int32_t fallback_height(int32_t height) {
  if (height < 240) return 240;
  if (height < 480) return 480;
  if (height < 600) return 600;
  if (height < 768) return 768;
  if (height < 1024) return 1024;
  return height;
}

int x11_init(const char* title, int32_t width, int32_t height, int32_t depth, int32_t refresh,
             int32_t flags) {
  if (flags & SCREEN_OPENGL) {
    screen_fail("OpenGL wird nicht unterstützt");
    return -1;
  }
  if (x11.display || x11.sync_created) x11_exit();
  x11 = X11State{};
  x11_process_setup();

  x11.page_width = x11.width = width;
  x11.page_height = x11.height = height;
  x11.scale = 1;  // until the display is known
  x11.depth_requested = depth < 8 ? 8 : depth;
  x11.flags = flags;
  x11.refresh_requested = refresh;
  x11_refresh_rate = refresh;
  x11.size_current = x11.size_desktop = x11.size_full = -1;
  if (width <= 0 || height <= 0 || !x11_window_open(title)) {
    x11_exit();
    return -1;
  }
  x11.fallback_height = fallback_height(x11.height);
  x11.mode_height = x11.height;
  Display* d = x11.display;
  XSync(d, False);
  x11_read_randr();
  keycode_table_build(d, x11.keycodes);

  bool full = flags & SCREEN_FULLSCREEN;
  x11.inside = full;
  x11.mouse_x = full ? width / 2 : 0;
  x11.mouse_y = full ? height / 2 : 0;

  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  // Recursive: a caller holding the screen lock may use title and position.
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&x11.mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  pthread_cond_init(&x11.cond, nullptr);
  x11.sync_created = true;

  pthread_mutex_lock(&x11.mutex);
  x11_running = true;
  if (pthread_create(&x11.thread, nullptr, x11_update_thread, nullptr) != 0) {
    screen_fail("der Thread, der das Bild sendet, ließ sich nicht starten");
    x11_running = false;
    pthread_mutex_unlock(&x11.mutex);
    x11_exit();
    return -1;
  }
  x11.thread_started = true;
  while (!x11.thread_reported) pthread_cond_wait(&x11.cond, &x11.mutex);
  bool ok = x11.image_ok;
  pthread_mutex_unlock(&x11.mutex);
  if (!ok) {
    x11_exit();
    return -1;
  }
  return 0;
}

}  // namespace

const DisplayDriver x11_driver = {
    .name = "X11",
    .init = x11_init,
    .exit = x11_exit,
    .lock = x11_lock,
    .unlock = x11_unlock,
    .set_palette = x11_set_palette,
    .wait_vsync = x11_wait_vsync,
    .get_mouse = x11_get_mouse,
    .set_mouse = x11_set_mouse,
    .set_window_title = x11_set_window_title,
    .set_window_pos = x11_set_window_pos,
    .fetch_modes = x11_fetch_modes,
    .flip = nullptr,
    .poll = nullptr,
    .desktop = x11_desktop,
    .set_attention = x11_set_attention,
};
