// Full screen and the window manager, against a real Xvfb with openbox where
// needed: Alt+Enter and back, resizing, opening in full screen, fixed
// screens, focus and closing by the manager, staying on top.
#include "x11_fixture.hpp"

#include <X11/Xatom.h>
#include <X11/keysym.h>

namespace {

// Alt+Enter goes to full screen and back; nothing is left over afterwards.
class X11FullScreen : public X11Suite {
 protected:
  static void SetUpTestSuite() { start(xvfb(640, 480, 24)); }

  void alt_enter() {
    server->key(XK_Alt_L, true);
    server->tap(XK_Return);
    server->key(XK_Alt_L, false);
  }
  bool full() {
    return locked([] { return (x11.flags & SCREEN_FULLSCREEN) != 0; });
  }
  bool viewable(Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(server->display(), w, &a) && a.map_state == IsViewable;
  }
  Window parent_of(Window w) {
    Window root, parent = 0, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(server->display(), w, &root, &parent, &children, &count);
    if (children) XFree(children);
    return parent;
  }
  int root_children() {
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(server->display(), server->root(), &root, &parent, &children, &count);
    if (children) XFree(children);
    return int(count);
  }
};

TEST_F(X11FullScreen, AltEnterIntoFullScreenAndBack) {
  int windows = root_children();
  server->move_pointer(10, 10);
  open(640, 480, 32, 0, "Vollbild");
  focus();
  std::vector<ScreenEvent> events;
  alt_enter();
  ASSERT_TRUE(wait_until([&] { return full(); }));
  EXPECT_TRUE(wait_until([&] { return viewable(x11.full_window) && viewable(x11.draw_window); }));
  EXPECT_EQ(parent_of(x11.draw_window), x11.full_window);
  EXPECT_FALSE(viewable(x11.frame_window));
  int32_t x, y, wheel, buttons, clip = 0;
  EXPECT_TRUE(
      wait_until([&] { return mouse_read(&x, &y, &wheel, &buttons, &clip) == 0 && clip == 1; }));
  EXPECT_EQ(key_read(), "");  // the toggle posts no key
  screen_lock();
  fill_rows32(0, 480, 0xFF335577);
  screen_unlock(-1, -1);
  EXPECT_TRUE(window_shows(639, 479, 0x335577));

  alt_enter();
  ASSERT_TRUE(wait_until([&] { return !full(); }));
  EXPECT_TRUE(wait_until([&] { return viewable(x11.frame_window) && !viewable(x11.full_window); }));
  EXPECT_EQ(parent_of(x11.draw_window), x11.frame_window);
  EXPECT_TRUE(window_shows(639, 479, 0x335577));
  EXPECT_EQ(key_state(28), 0);
  EXPECT_EQ(key_state(56), 0);
  screen_close();
  EXPECT_EQ(root_children(), windows);
}

// A window of another size than asked for is taken as a wish for full screen.
TEST_F(X11FullScreen, ResizedWindowGoesFullScreen) {
  open(640, 480, 32, 0, "Gross");
  XResizeWindow(server->display(), x11.frame_window, 500, 400);
  XSync(server->display(), False);
  EXPECT_TRUE(wait_until([&] { return full(); }));
  screen_close();
  EXPECT_TRUE(server->find_windows("Gross").empty());
}

TEST_F(X11FullScreen, OpensInFullScreen) {
  int windows = root_children();
  open(640, 480, 32, SCREEN_FULLSCREEN, "Gleich voll");
  EXPECT_TRUE(full());
  EXPECT_TRUE(wait_until([&] { return viewable(x11.full_window) && viewable(x11.draw_window); }));
  EXPECT_FALSE(viewable(x11.frame_window));
  screen_lock();
  fill_rows32(0, 480, 0xFF445566);
  screen_unlock(-1, -1);
  EXPECT_TRUE(window_shows(320, 240, 0x445566));
  int32_t x, y, wheel, buttons, clip = 0;
  EXPECT_TRUE(
      wait_until([&] { return mouse_read(&x, &y, &wheel, &buttons, &clip) == 0 && clip == 1; }));
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);
  screen_close();
  EXPECT_EQ(root_children(), windows);
}

TEST_F(X11FullScreen, FixedScreensStayInTheirWindow) {
  open(320, 200, 32, SCREEN_FIXED, "Fest");
  focus();
  std::vector<ScreenEvent> events;
  alt_enter();
  ASSERT_TRUE(wait_event(events, EVENT_KEY_RELEASE, 0x38));
  EXPECT_FALSE(full());
  EXPECT_EQ(key_read(), "\r");
}

// With a window manager the window is managed, framed and focused when mapped,
// and its close box reaches the program.
class X11Managed : public X11Suite {
 protected:
  static void SetUpTestSuite() {
    XServerOptions options = xvfb(800, 600, 24);
    options.window_manager = true;
    start(options);
  }
};

TEST_F(X11Managed, FocusedWhenMappedAndClosedByTheManager) {
  x11_focus = false;  // it carries over from earlier screens; this one must earn it
  open(300, 150, 32, 0, "Verwaltet");
  ASSERT_TRUE(wait_until([] { return locked([] { return x11_focus; }); }, 10000));
  Window focused = 0;
  int revert;
  XGetInputFocus(server->display(), &focused, &revert);
  EXPECT_EQ(focused, x11.frame_window);
  Window root, parent = 0, *children = nullptr;
  unsigned int count = 0;
  XQueryTree(server->display(), x11.frame_window, &root, &parent, &children, &count);
  if (children) XFree(children);
  EXPECT_NE(parent, root);  // reparented into the manager's decoration

  server->tap(XK_q);
  EXPECT_TRUE(wait_until([] { return key_available() == 1; }));
  EXPECT_EQ(key_read(), "q");

  std::vector<ScreenEvent> events;
  Display* d = server->display();
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = x11.frame_window;
  e.xclient.message_type = XInternAtom(d, "_NET_CLOSE_WINDOW", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = CurrentTime;
  e.xclient.data.l[1] = 2;
  XSendEvent(d, server->root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XSync(d, False);
  ASSERT_TRUE(wait_event(events, EVENT_CLOSE, INT32_MIN, 10000));
  EXPECT_EQ(key_read(), "\xFFk");
  EXPECT_FALSE(
      locked([] { return (x11.flags & SCREEN_FULLSCREEN) != 0; }));  // the frame kept its size
}

TEST_F(X11Managed, OnTopAsksTheManagerToKeepItAbove) {
  open(200, 100, 32, SCREEN_ON_TOP, "Oben");
  Display* d = server->display();
  Atom state = XInternAtom(d, "_NET_WM_STATE", False),
       above = XInternAtom(d, "_NET_WM_STATE_ABOVE", False);
  EXPECT_TRUE(wait_until(
      [&] {
        Atom type;
        int format;
        unsigned long count = 0, after;
        unsigned char* data = nullptr;
        bool found = false;
        if (XGetWindowProperty(d, x11.frame_window, state, 0, 32, False, XA_ATOM, &type, &format,
                               &count, &after, &data) == Success &&
            data) {
          for (unsigned long i = 0; i < count; i++)
            found |= reinterpret_cast<Atom*>(data)[i] == above;
          XFree(data);
        }
        return found;
      },
      10000));
}

}  // namespace
