#pragma once
// Key queue, key-state lookup, mouse reading and sleeping.
#include <cstdint>
#include <string>

constexpr int32_t KEY_CLOSE_BOX = 0x6BFF;
// The same key as key text: 255 and the scan code.
constexpr char KEY_CLOSE_BOX_TEXT[] = {char(KEY_CLOSE_BOX & 0xFF), char(KEY_CLOSE_BOX >> 8), '\0'};
static_assert((KEY_CLOSE_BOX & 0xFF) == 0xFF);

extern int32_t key_hit_flag;

// Back-end side: append a key code (drops the oldest of a full queue).
void key_post(int32_t code);

// Next key as key text ("" when none): one byte, or 255 and the scan code.
std::string key_read();
int32_t key_wait();               // 0 once the screen is gone
int32_t key_available();          // 1 when a key is queued
int32_t key_hit_test();           // reads and clears key_hit_flag
int32_t key_state(int32_t scan);  // -1 while down

// 0 and the driver's values, or 1 with every value -1. Any output but x, y may be null.
int32_t mouse_read(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip);

// mode 0: a key press may cut the wait short; 1: plain; other: returns 1.
int32_t sleep_ms(int32_t ms, int32_t mode);
void timed_wait(int32_t ms);

// Key text of a key code.
std::string key_text(int32_t code);
