// X events into keys, key states, mouse state and screen events, against a
// real Xvfb: XTEST for real input, synthetic events where the timing matters.
#include "x11_fixture.hpp"

#include "gfx/console.hpp"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>

namespace {

class X11Input : public X11Suite {
 protected:
  static void SetUpTestSuite() { start(xvfb(1024, 768, 24)); }

  void SetUp() override {
    X11Suite::SetUp();
    if (IsSkipped()) return;
    server->move_pointer(50, 50);
    open(320, 200, 32, 0, "Eingabe");
    focus();
  }

  // Taps a key and waits until its release (or repeat) has been handled.
  void tap(KeySym sym) {
    events.clear();
    server->tap(sym);
    int32_t scan = x11.keycodes[XKeysymToKeycode(server->display(), sym)];
    ASSERT_TRUE(wait_event(events, EVENT_KEY_RELEASE, scan)) << "key " << sym;
  }

  // A key event for the driver's own queue, as the server would send it.
  XEvent key_event(int type, KeySym sym, Time time) {
    XEvent e{};
    e.xkey.type = type;
    e.xkey.display = x11.display;
    e.xkey.window = x11.draw_window;
    e.xkey.root = x11.root;
    e.xkey.time = time;
    e.xkey.keycode = XKeysymToKeycode(x11.display, sym);
    e.xkey.same_screen = True;
    return e;
  }

  std::vector<ScreenEvent> events;
};

TEST_F(X11Input, KeysGiveTheirKeyText) {
  tap(XK_F1);
  EXPECT_EQ(key_read(), "\xFF;");
  tap(XK_Delete);
  EXPECT_EQ(key_read(), "\xFFS");
  tap(XK_F11);
  EXPECT_EQ(key_read(), "");
  tap(XK_a);
  EXPECT_EQ(key_read(), "a");
  server->key(XK_Shift_L, true);
  tap(XK_a);
  server->key(XK_Shift_L, false);
  EXPECT_EQ(key_read(), "A");
  tap(XK_KP_Home);  // keypad keys share the cursor block's codes
  EXPECT_EQ(key_read(), "\xFFG");
  tap(XK_Return);
  EXPECT_EQ(key_read(), "\r");
  EXPECT_EQ(key_read(), "");
}

TEST_F(X11Input, KeyStatesFollowPressAndRelease) {
  server->key(XK_a, true);
  ASSERT_TRUE(wait_event(events, EVENT_KEY_PRESS, 0x1E));
  EXPECT_EQ(key_state(0x1E), -1);
  server->key(XK_a, false);
  ASSERT_TRUE(wait_event(events, EVENT_KEY_RELEASE, 0x1E));
  EXPECT_EQ(key_state(0x1E), 0);
  EXPECT_EQ(key_state(200), 0);
  for (const ScreenEvent& e : events) {
    if (e.type == EVENT_KEY_PRESS) {
      EXPECT_EQ(e.b, 'a');
    }
  }

  // Shift+a: the text changes, the key state is the same key's.
  server->key(XK_Shift_L, true);
  server->key(XK_a, true);
  ASSERT_TRUE(wait_until([] { return key_state(0x1E) == -1 && key_state(0x2A) == -1; }));
  server->key(XK_a, false);
  server->key(XK_Shift_L, false);
  EXPECT_TRUE(wait_until([] { return key_state(0x1E) == 0 && key_state(0x2A) == 0; }));
}

// A release and a press of the same key at the same or the next millisecond
// is one repeat: a key each time, no release, the key stays down.
TEST_F(X11Input, ReleaseFollowedByPressIsARepeat) {
  server->key(XK_a, true);
  ASSERT_TRUE(wait_event(events, EVENT_KEY_PRESS, 0x1E));
  EXPECT_EQ(key_read(), "a");
  screen_lock();
  for (Time t : {Time(100000), Time(100050)}) {
    XEvent press = key_event(KeyPress, XK_a, t + 1);
    XPutBackEvent(x11.display, &press);
    XEvent release = key_event(KeyRelease, XK_a, t);
    x11_handle_event(release);
  }
  screen_unlock_quiet();
  EXPECT_EQ(key_read(), "a");
  EXPECT_EQ(key_read(), "a");
  EXPECT_EQ(key_read(), "");
  EXPECT_EQ(key_state(0x1E), -1);
  for (const ScreenEvent& e : take_events()) events.push_back(e);
  EXPECT_EQ(count_events(events, EVENT_KEY_REPEAT), 2);
  EXPECT_EQ(count_events(events, EVENT_KEY_RELEASE), 0);

  // Two milliseconds apart it is a release and a new press.
  screen_lock();
  XEvent press = key_event(KeyPress, XK_a, 200002);
  XPutBackEvent(x11.display, &press);
  XEvent release = key_event(KeyRelease, XK_a, 200000);
  x11_handle_event(release);
  EXPECT_EQ(screen_context->key_state[0x1E], 0);
  screen_unlock_quiet();
  ASSERT_TRUE(wait_until([] { return key_state(0x1E) == -1; }));
  for (const ScreenEvent& e : take_events()) events.push_back(e);
  EXPECT_EQ(count_events(events, EVENT_KEY_RELEASE), 1);
  EXPECT_EQ(count_events(events, EVENT_KEY_PRESS), 2);
  server->key(XK_a, false);
  EXPECT_TRUE(wait_until([] { return key_state(0x1E) == 0; }));
}

// The server's own auto-repeat, made quick, while XTEST holds the key.
TEST_F(X11Input, HeldKeyRepeatsWithoutReleases) {
  Display* d = server->display();
  unsigned int delay = 660, interval = 40;
  XkbGetAutoRepeatRate(d, XkbUseCoreKbd, &delay, &interval);
  XkbSetAutoRepeatRate(d, XkbUseCoreKbd, 150, 20);
  XAutoRepeatOn(d);
  XSync(d, False);
  server->key(XK_b, true);
  bool repeated = wait_until(
      [&] {
        for (const ScreenEvent& e : take_events()) events.push_back(e);
        return count_events(events, EVENT_KEY_REPEAT) >= 3;
      },
      5000);
  server->key(XK_b, false);
  XkbSetAutoRepeatRate(d, XkbUseCoreKbd, delay, interval);
  ASSERT_TRUE(repeated) << "the server sent no auto-repeat";
  ASSERT_TRUE(wait_event(events, EVENT_KEY_RELEASE, 0x30));
  EXPECT_EQ(count_events(events, EVENT_KEY_PRESS), 1);
  EXPECT_EQ(count_events(events, EVENT_KEY_RELEASE), 1);
  int keys = 0;
  while (key_read() == "b") keys++;
  int repeats = count_events(events, EVENT_KEY_REPEAT);
  EXPECT_EQ(keys, std::min(1 + repeats, 15));  // the queue keeps 15
}

TEST_F(X11Input, CloseBoxGivesItsKeyAndAnEvent) {
  server->send_delete_window(x11.frame_window);
  ASSERT_TRUE(wait_event(events, EVENT_CLOSE));
  EXPECT_EQ(key_read(), "\xFFk");
  EXPECT_EQ(screen_context->driver, &x11_driver);  // the window stays until the program closes it
  EXPECT_EQ(server->find_window("Eingabe"), x11.frame_window);
}

TEST_F(X11Input, MouseInsideAndOutside) {
  server->move_pointer(30, 40);
  int32_t x = 0, y = 0, wheel = 0, buttons = 0, clip = 0;
  ASSERT_TRUE(
      wait_until([&] { return mouse_read(&x, &y, &wheel, &buttons, &clip) == 0 && x == 30; }));
  EXPECT_EQ(y, 40);
  EXPECT_EQ(buttons, 0);
  EXPECT_EQ(clip, 0);
  server->button(3, true);
  EXPECT_TRUE(
      wait_until([&] { return mouse_read(&x, &y, &wheel, &buttons, &clip) == 0 && buttons == 2; }));
  server->button(3, false);
  server->button(1, true);
  EXPECT_TRUE(
      wait_until([&] { return mouse_read(&x, &y, &wheel, &buttons, &clip) == 0 && buttons == 1; }));
  server->button(1, false);

  server->move_pointer(700, 500);
  EXPECT_TRUE(wait_until([&] { return mouse_read(&x, &y, &wheel, &buttons, &clip) == 1; }));
  EXPECT_EQ(x, -1);
  EXPECT_EQ(y, -1);
  EXPECT_EQ(wheel, -1);
  EXPECT_EQ(buttons, -1);
  EXPECT_EQ(clip, -1);
  ASSERT_TRUE(wait_event(events, EVENT_MOUSE_LEAVE));
  EXPECT_GE(count_events(events, EVENT_MOUSE_MOVE), 1);
}

TEST_F(X11Input, SetMouseWarpsClampsAndConfines) {
  server->move_pointer(20, 20);
  int32_t x = 0, y = 0, wheel, buttons, clip = -1;
  ASSERT_TRUE(wait_until([&] { return mouse_read(&x, &y, nullptr, nullptr, nullptr) == 0; }));
  console_hooks.set_mouse(50, 60, 1, -1);
  EXPECT_TRUE(wait_until(
      [&] { return mouse_read(&x, &y, nullptr, nullptr, nullptr) == 0 && x == 50 && y == 60; }));
  console_hooks.set_mouse(5000, INT32_MIN, -1, 1);  // x clamped, y kept, confined
  EXPECT_TRUE(
      wait_until([&] { return mouse_read(&x, &y, &wheel, &buttons, &clip) == 0 && x == 319; }));
  EXPECT_EQ(y, 60);
  EXPECT_EQ(clip, 1);
  server->move_pointer(900, 700);  // the grab keeps the pointer inside
  EXPECT_TRUE(wait_passes(2));
  EXPECT_EQ(mouse_read(&x, &y, &wheel, &buttons, &clip), 0);
  console_hooks.set_mouse(INT32_MIN, INT32_MIN, 0, 0);
  EXPECT_EQ(mouse_read(&x, &y, &wheel, &buttons, &clip), 0);
  EXPECT_EQ(clip, 0);
}

// Xft.dpi 192 in the display's resources, set as a desktop does it, doubles
// the window: the pointer arrives in page pixels, rounded down, and a warp
// lands on its pixel's block. TANDREL_SCALE=1 wins over the resource.
TEST_F(X11Input, DisplayResourcesDoubleTheWindowUnlessTandrelScaleSaysOne) {
  auto xrdb = [](const char* arguments, const char* input) {
    FILE* pipe = popen((std::string("xrdb -nocpp ") + arguments).c_str(), "w");
    if (!pipe) return -1;
    std::fputs(input, pipe);
    return pclose(pipe);
  };
  screen_close();
  ASSERT_EQ(xrdb("-merge", "Xft.dpi: 192\n"), 0);
  open(320, 200, 32, 0, "Doppelt");
  focus();
  int w = 0, h = 0;
  EXPECT_TRUE(server->size_of(x11.frame_window, &w, &h));
  EXPECT_EQ(std::pair(w, h), std::pair(640, 400));
  server->move_pointer(61, 399);
  int32_t x = 0, y = 0;
  EXPECT_TRUE(wait_until([&] { return mouse_read(&x, &y, nullptr, nullptr, nullptr) == 0; }));
  EXPECT_EQ(std::pair(x, y), std::pair(30, 199));
  console_hooks.set_mouse(50, 60, -1, -1);  // read back from the server, divided again
  EXPECT_TRUE(wait_until(
      [&] { return mouse_read(&x, &y, nullptr, nullptr, nullptr) == 0 && x == 50 && y == 60; }));

  screen_close();
  setenv("TANDREL_SCALE", "1", 1);
  open(320, 200, 32, 0, "Einfach");
  unsetenv("TANDREL_SCALE");
  EXPECT_TRUE(server->size_of(x11.frame_window, &w, &h));
  EXPECT_EQ(std::pair(w, h), std::pair(320, 200));
  EXPECT_EQ(xrdb("-remove", ""), 0);

  screen_close();  // four times would not fit the 1024 x 768 screen, three times does
  setenv("TANDREL_SCALE", "4", 1);
  testing::internal::CaptureStderr();
  open(320, 200, 32, 0, "Passend");
  unsetenv("TANDREL_SCALE");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Maßstab 3 statt 4"), std::string::npos);
  EXPECT_TRUE(server->size_of(x11.frame_window, &w, &h));
  EXPECT_EQ(std::pair(w, h), std::pair(960, 600));
}

TEST_F(X11Input, DoubleClickWithin249Milliseconds) {
  server->move_pointer(20, 20);
  int32_t x, y;
  ASSERT_TRUE(wait_until([&] { return mouse_read(&x, &y, nullptr, nullptr, nullptr) == 0; }));
  take_events();
  events.clear();
  server->send_button(x11.draw_window, 1, 100000, true);
  server->send_button(x11.draw_window, 1, 100100, false);
  server->send_button(x11.draw_window, 1, 100249, true);
  server->send_button(x11.draw_window, 1, 100300, false);
  server->send_button(x11.draw_window, 1, 200000, true);
  server->send_button(x11.draw_window, 1, 200100, false);
  server->send_button(x11.draw_window, 1, 200250, true);
  server->send_button(x11.draw_window, 1, 200300, false);
  ASSERT_TRUE(wait_until([&] {
    for (const ScreenEvent& e : take_events()) events.push_back(e);
    return count_events(events, EVENT_BUTTON_RELEASE) == 4;
  }));
  std::vector<int32_t> presses;
  for (const ScreenEvent& e : events)
    if (e.type == EVENT_BUTTON_PRESS || e.type == EVENT_DOUBLE_CLICK) {
      presses.push_back(e.type);
      EXPECT_EQ(e.a, 1);
    }
  EXPECT_EQ(presses, (std::vector<int32_t>{5, 7, 5, 5}));

  // Middle and right buttons map to bits 4 and 2.
  events.clear();
  server->send_button(x11.draw_window, 2, 300000, true);
  server->send_button(x11.draw_window, 3, 301000, true);
  ASSERT_TRUE(wait_until([&] {
    for (const ScreenEvent& e : take_events()) events.push_back(e);
    return count_events(events, EVENT_BUTTON_PRESS) == 2;
  }));
  EXPECT_EQ(events[events.size() - 2].a, 4);
  EXPECT_EQ(events.back().a, 2);
  server->send_button(x11.draw_window, 2, 302000, false);
  server->send_button(x11.draw_window, 3, 302000, false);
}

TEST_F(X11Input, WheelStepsUpAndDown) {
  server->move_pointer(20, 20);
  int32_t x, y, wheel = 99;
  ASSERT_TRUE(wait_until([&] { return mouse_read(&x, &y, &wheel, nullptr, nullptr) == 0; }));
  EXPECT_EQ(wheel, 0);
  for (unsigned int b : {4u, 5u, 5u}) {
    server->send_button(x11.draw_window, b, 1000, true);
    server->send_button(x11.draw_window, b, 1000, false);
  }
  ASSERT_TRUE(wait_until([&] {
    for (const ScreenEvent& e : take_events()) events.push_back(e);
    return count_events(events, EVENT_WHEEL) == 3;
  }));
  ASSERT_EQ(mouse_read(&x, &y, &wheel, nullptr, nullptr), 0);
  EXPECT_EQ(wheel, -1);
  std::vector<int32_t> before;
  for (const ScreenEvent& e : events)
    if (e.type == EVENT_WHEEL) before.push_back(e.a);
  EXPECT_EQ(before, (std::vector<int32_t>{0, 1, 0}));
  EXPECT_EQ(count_events(events, EVENT_BUTTON_RELEASE), 0);
}

TEST_F(X11Input, LosingFocusReleasesEveryKey) {
  server->key(XK_c, true);
  ASSERT_TRUE(wait_until([] { return key_state(0x2E) == -1; }));
  Window other = server->create_window(600, 400, 50, 50);
  server->focus(other);
  ASSERT_TRUE(wait_event(events, EVENT_FOCUS_OUT));
  EXPECT_EQ(key_state(0x2E), 0);
  int32_t x, y;
  EXPECT_EQ(mouse_read(&x, &y, nullptr, nullptr, nullptr), 1);
  server->key(XK_c, false);
  // Regaining it repaints everything.
  ASSERT_TRUE(settle());
  screen_lock();
  fill_rows32(0, 200, 0xFF445566);
  screen_unlock_quiet();
  ASSERT_TRUE(wait_passes(2));
  EXPECT_NE(server->pixel(x11.draw_window, 10, 10), 0x445566u);
  server->focus(x11.frame_window);
  ASSERT_TRUE(wait_event(events, EVENT_FOCUS_IN));
  EXPECT_TRUE(window_shows(10, 10, 0x445566));
  XDestroyWindow(server->display(), other);
}

TEST_F(X11Input, ExposeRepaintsTheWholeWindow) {
  ASSERT_TRUE(settle());
  screen_lock();
  fill_rows32(0, 200, 0xFF778899);
  screen_unlock_quiet();
  ASSERT_TRUE(wait_passes(2));
  EXPECT_NE(server->pixel(x11.draw_window, 300, 190), 0x778899u);
  XEvent e{};
  e.xexpose.type = Expose;
  e.xexpose.window = x11.draw_window;
  e.xexpose.width = 10;
  e.xexpose.height = 10;
  XSendEvent(server->display(), x11.draw_window, False, ExposureMask, &e);
  XSync(server->display(), False);
  EXPECT_TRUE(window_shows(300, 190, 0x778899));
}

}  // namespace
