// The key queue, key states, mouse reading and sleeping.
#include <chrono>
#include <thread>

#include "gfx/console.hpp"
#include "gfx/console_screen.hpp"
#include "gfx/input.hpp"
#include "gfx_fixture.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double elapsed_ms(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// The queue lives for the whole program: start each test with it empty.
class KeyScreen : public NullScreen {
 protected:
  void SetUp() override {
    NullScreen::SetUp();
    while (!key_read().empty()) {
    }
    key_hit_flag = 0;
  }
};

TEST_F(KeyScreen, AFullQueueDropsTheOldest) {
  for (int i = 1; i <= 16; ++i) key_post('a' + i - 1);
  EXPECT_EQ(key_hit_flag, 1);
  for (int i = 2; i <= 16; ++i) EXPECT_EQ(key_read(), std::string(1, char('a' + i - 1))) << i;
  EXPECT_EQ(key_read(), "");
  EXPECT_EQ(key_hit_flag, 0);
}

TEST_F(KeyScreen, KeyTexts) {
  key_post(KEY_CLOSE_BOX);
  key_post(0x3BFF);  // F1
  key_post(0x53FF);  // Delete
  key_post(0xE4);    // Latin-1 stays one byte
  EXPECT_EQ(key_read(), "\xFFk");
  EXPECT_EQ(key_read(), "\xFF;");
  EXPECT_EQ(key_read(), "\xFFS");
  EXPECT_EQ(key_read(), "\xE4");
  EXPECT_EQ(key_text(0x41), "A");
  EXPECT_EQ(key_text(0x4DFF), std::string("\xFFM"));
}

TEST_F(KeyScreen, WaitingPendingAndTheHitFlag) {
  key_post('x');
  EXPECT_EQ(key_available(), 1);
  EXPECT_EQ(key_hit_flag, 1);  // looking leaves the flag alone
  EXPECT_EQ(key_available(), 1);
  EXPECT_EQ(key_wait(), 'x');
  EXPECT_EQ(key_available(), 0);
  key_post('y');
  EXPECT_EQ(key_hit_test(), 1);
  EXPECT_EQ(key_hit_test(), 0);
  EXPECT_EQ(console_read_key(), "y");
  key_post('a');
  key_post(13);
  EXPECT_EQ(screen_line_input_fixed(nullptr, false, nullptr, 8), 0);  // read, kept nowhere
  screen_close();
  EXPECT_EQ(key_wait(), 0);
  EXPECT_EQ(key_read(), "");
}

TEST_F(KeyScreen, KeyStateByScanCode) {
  screen_context->key_state[0x1E] = 1;
  EXPECT_EQ(key_state(0x1E), -1);
  EXPECT_EQ(key_state(0x1F), 0);
  EXPECT_EQ(key_state(200), 0);
  EXPECT_EQ(key_state(-1), 0);
  screen_close();
  EXPECT_EQ(key_state(0x1E), 0);
}

TEST_F(KeyScreen, PlainSleepIsNotCutShortByKeys) {
  key_post('k');
  auto start = Clock::now();
  EXPECT_EQ(sleep_ms(1000, 1), 0);
  EXPECT_GE(elapsed_ms(start), 1000.0);
  EXPECT_EQ(key_hit_flag, 1);
  start = Clock::now();
  EXPECT_EQ(sleep_ms(50, 0), 0);  // below 100 ms not cut short either
  EXPECT_GE(elapsed_ms(start), 50.0);
  EXPECT_EQ(sleep_ms(1000, 2), 1);
  EXPECT_EQ(key_read(), "k");
}

TEST_F(KeyScreen, InterruptibleSleepEndsOnAKeyAndLeavesIt) {
  std::thread poster([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    key_post('q');
  });
  auto start = Clock::now();
  EXPECT_EQ(sleep_ms(5000, 0), 0);
  poster.join();
  EXPECT_LT(elapsed_ms(start), 2500.0);
  EXPECT_EQ(key_read(), "q");
  start = Clock::now();
  EXPECT_EQ(sleep_ms(0, 0), 0);
  EXPECT_EQ(sleep_ms(-5, 0), 0);
  EXPECT_LT(elapsed_ms(start), 1000.0);
}

TEST_F(KeyScreen, MouseWithoutABackEndMouse) {
  int32_t x = 0, y = 0, wheel = 0, buttons = 0, clip = 0;
  EXPECT_EQ(mouse_read(&x, &y, &wheel, &buttons, &clip), 1);
  EXPECT_EQ(x, -1);
  EXPECT_EQ(y, -1);
  EXPECT_EQ(wheel, -1);
  EXPECT_EQ(buttons, -1);
  EXPECT_EQ(clip, -1);
  EXPECT_EQ(mouse_read(&x, &y, nullptr, nullptr, nullptr), 1);
}

TEST_F(KeyScreen, MouseThroughTheDriverUnderTheLock) {
  CountingDriver::reset();
  screen_context->driver = &CountingDriver::driver;
  int32_t x, y, wheel, buttons, clip;
  EXPECT_EQ(console_read_mouse(&x, &y, &wheel, &buttons, &clip), 0);
  EXPECT_EQ(x, 12);
  EXPECT_EQ(y, 34);
  EXPECT_EQ(wheel, -1);
  EXPECT_EQ(buttons, 1);
  EXPECT_EQ(clip, 0);
  EXPECT_EQ(CountingDriver::locks, 1);
  EXPECT_EQ(CountingDriver::unlocks, 1);
  CountingDriver::mouse_result = -1;  // pointer off the window
  EXPECT_EQ(mouse_read(&x, &y, nullptr, &buttons, nullptr), 1);
  EXPECT_EQ(x, -1);
  EXPECT_EQ(y, -1);
  EXPECT_EQ(buttons, -1);
  screen_context->driver = &null_driver;
}

}  // namespace
