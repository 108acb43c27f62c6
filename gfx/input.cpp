// The key queue, key states, mouse reading and sleeping.
//
// The back-end posts keys while it holds the driver lock; the program takes
// them under the screen hold, whose outermost level takes that same lock.
#include "gfx/input.hpp"

#include <sys/select.h>

#include "gfx/draw_context.hpp"
#include "gfx/screen_driver.hpp"

int32_t key_hit_flag = 0;

namespace {

constexpr int32_t QUEUE_SIZE = 16;
int32_t key_queue[QUEUE_SIZE];
int32_t key_read_index = 0;
int32_t key_write_index = 0;

int32_t take_key() {
  screen_hold();
  int32_t code = 0;
  if (key_read_index != key_write_index) {
    code = key_queue[key_read_index];
    key_read_index = (key_read_index + 1) % QUEUE_SIZE;
  }
  key_hit_flag = 0;
  screen_release();
  return code;
}

}  // namespace

void key_post(int32_t code) {
  key_queue[key_write_index] = code;
  key_write_index = (key_write_index + 1) % QUEUE_SIZE;
  if (key_write_index == key_read_index) key_read_index = (key_read_index + 1) % QUEUE_SIZE;
  key_hit_flag = 1;
}

std::string key_text(int32_t code) {
  if (uint32_t(code) <= 0xFF) return std::string(1, char(code));
  return std::string{char(code & 0xFF), char((code >> 8) & 0xFF)};
}

std::string key_read() {
  if (!screen_context) return "";
  int32_t code = take_key();
  return code ? key_text(code) : "";
}

int32_t key_wait() {
  while (screen_context) {
    if (int32_t code = take_key()) return code;
    timed_wait(20);
  }
  return 0;
}

int32_t key_available() {
  screen_hold();
  int32_t pending = key_read_index != key_write_index;
  screen_release();
  return pending;
}

int32_t key_hit_test() {
  screen_hold();
  int32_t hit = key_hit_flag;
  key_hit_flag = 0;
  screen_release();
  return hit;
}

int32_t key_state(int32_t scan) {
  ScreenContext* s = screen_context;
  if (!s || uint32_t(scan) > 127 || !s->key_state) return 0;
  screen_hold();
  int32_t down = s->key_state[scan] ? -1 : 0;
  screen_release();
  return down;
}

int32_t mouse_read(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip) {
  int32_t v[5] = {-1, -1, -1, -1, -1};
  int32_t result = 1;
  const ScreenContext* s = screen_context;
  if (s && s->driver && s->driver->get_mouse) {
    int32_t got[5] = {0, 0, 0, 0, 0};
    screen_hold();
    int ok = s->driver->get_mouse(&got[0], &got[1], &got[2], &got[3], &got[4]);
    screen_release();
    if (ok == 0) {
      for (int i = 0; i < 5; ++i) v[i] = got[i];
      result = 0;
    }
  }
  int32_t* out[5] = {x, y, wheel, buttons, clip};
  for (int i = 0; i < 5; ++i)
    if (out[i]) *out[i] = v[i];
  return result;
}

void timed_wait(int32_t ms) {
  if (ms <= 0) return;
  timeval tv{};
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  select(0, nullptr, nullptr, nullptr, &tv);  // a signal may end it early
}

int32_t sleep_ms(int32_t ms, int32_t mode) {
  if (mode == 1) {
    timed_wait(ms);
    return 0;
  }
  if (mode != 0) return 1;
  if (!screen_context) {
    // No console keyboard to watch: a plain wait; "until a key" cannot end.
    timed_wait(ms);
    return 0;
  }
  if (ms == -1) {
    for (;;) {
      if (key_hit_test()) return 0;
      if (!screen_context) return 0;
      timed_wait(50);
    }
  }
  if (ms >= 100) {
    do {
      if (key_hit_test()) return 0;
      ms -= 50;
      timed_wait(50);
    } while (ms > 50);
    timed_wait(ms);
  } else if (ms >= 1) {
    timed_wait(ms);
  }
  return 0;
}
