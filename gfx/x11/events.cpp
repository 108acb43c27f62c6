// X events into what the core knows: keys and their states, the mouse, focus
// and screen events; and the pointer as the driver reports and moves it.
#include <unistd.h>

#include "gfx/input.hpp"
#include "gfx/x11/x11_state.hpp"

namespace {

void post(int32_t type, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  if (screen_context) event_post(ScreenEvent{type, a, b, c, d});
}

uint8_t* key_states() { return screen_context ? screen_context->key_state : nullptr; }

void on_key_press(XKeyEvent& event) {
  uint8_t* keys = key_states();
  int32_t scan = x11.keycodes[event.keycode & 0xFF];
  if (keys) keys[scan & 127] = 1;
  if (keys && keys[28] && keys[56] && !(x11.flags & SCREEN_FIXED)) {
    x11_toggle_fullscreen();
    post(EVENT_KEY_PRESS, scan, 0);
    return;
  }
  int32_t code = key_translate(event, scan);
  if (code) key_post(code);
  post(EVENT_KEY_PRESS, scan, code < 256 ? code : 0);
}

void on_key_release(XKeyEvent& event) {
  int32_t scan = x11.keycodes[event.keycode & 0xFF];
  int32_t code = key_translate(event, scan);
  int32_t character = code < 256 ? code : 0;
  // Auto-repeat: the server sends a release and a press with the same time.
  if (XEventsQueued(x11.display, QueuedAfterReading) > 0) {
    XEvent next;
    XPeekEvent(x11.display, &next);
    if (next.type == KeyPress && next.xkey.keycode == event.keycode &&
        next.xkey.time - event.time <= 1) {
      XNextEvent(x11.display, &next);
      if (code) key_post(code);
      post(EVENT_KEY_REPEAT, scan, character);
      return;
    }
  }
  if (uint8_t* keys = key_states()) keys[scan & 127] = 0;
  post(EVENT_KEY_RELEASE, scan, character);
}

int32_t button_bit(unsigned int button) {
  return button == Button1 ? 1 : button == Button2 ? 4 : button == Button3 ? 2 : 0;
}

void on_button_press(XButtonEvent& event) {
  if (int32_t bit = button_bit(event.button)) {
    x11.buttons |= bit;
    bool twice = x11.have_press && Time(event.time - x11.last_press) <= 249;
    post(twice ? EVENT_DOUBLE_CLICK : EVENT_BUTTON_PRESS, bit);
    x11.last_press = event.time;
    x11.have_press = true;
  } else if (event.button == 4 || event.button == 5) {
    post(EVENT_WHEEL, x11.wheel);
    x11.wheel += event.button == 4 ? 1 : -1;
  } else if (event.button == 6 || event.button == 7) {
    post(EVENT_HWHEEL, x11.hwheel);
    x11.hwheel += event.button == 7 ? 1 : -1;
  }
}

// The pointer at window position (x, y), in page pixels.
void pointer_at(int x, int y) {
  x11.mouse_x = x11_to_page(x);
  x11.mouse_y = x11_to_page(y - x11.y_offset);
  x11.inside = x11.mouse_x >= 0 && x11.mouse_x < x11.page_width && x11.mouse_y >= 0 &&
               x11.mouse_y < x11.page_height;
}

void on_motion(XMotionEvent& event) {
  // Differences of the divided positions: no step is lost to the rounding.
  const int32_t root_x = x11_to_page(event.x_root), root_y = x11_to_page(event.y_root);
  int32_t dx = x11.have_root ? root_x - x11.root_x : 0;
  int32_t dy = x11.have_root ? root_y - x11.root_y : 0;
  x11.root_x = root_x;
  x11.root_y = root_y;
  x11.have_root = true;
  pointer_at(event.x, event.y);
  if (x11_focus) post(EVENT_MOUSE_MOVE, x11.mouse_x, x11.mouse_y, dx, dy);
}

void pointer_refresh() {
  Window root, child;
  int root_x, root_y, x, y;
  unsigned int mask;
  if (XQueryPointer(x11.display, x11.draw_window, &root, &child, &root_x, &root_y, &x, &y, &mask))
    pointer_at(x, y);
}

void on_configure(XConfigureEvent& event) {
  if (event.width != x11.width || (event.height != x11.height && event.height != x11.mode_height))
    x11_toggle_fullscreen();
}

}  // namespace

void x11_handle_event(XEvent& event) {
  switch (event.type) {
    case KeyPress:
      if (x11_focus) on_key_press(event.xkey);
      break;
    case KeyRelease:
      if (x11_focus) on_key_release(event.xkey);
      break;
    case ButtonPress:
      if (x11_focus) on_button_press(event.xbutton);
      break;
    case ButtonRelease:
      if (int32_t bit = button_bit(event.xbutton.button); bit && x11_focus) {
        x11.buttons &= ~bit;
        post(EVENT_BUTTON_RELEASE, bit);
      }
      break;
    case MotionNotify: on_motion(event.xmotion); break;
    case EnterNotify:
    case LeaveNotify:
      if (x11_focus) {
        x11.inside = event.type == EnterNotify;
        post(x11.inside ? EVENT_MOUSE_ENTER : EVENT_MOUSE_LEAVE);
      }
      break;
    case FocusIn:
    case MapNotify:
      if (event.type == FocusIn) x11_attention_seen();
      if (!x11_focus) {
        x11_focus = true;
        post(EVENT_FOCUS_IN);
        // Losing the focus forgot the pointer; it may still be over the window.
        pointer_refresh();
      }
      rows_send_all();
      break;
    case Expose: rows_send_all(); break;
    case FocusOut:
      // Focus passing from the frame to the drawing window stays with us.
      if (event.xfocus.detail == NotifyInferior) break;
      // In full screen our keyboard grab brings us the keys wherever the
      // window manager moves the focus meanwhile.
      if (event.xfocus.mode == NotifyWhileGrabbed && x11.mode_switched) break;
      x11_clear_key_states();
      x11.inside = false;
      x11_focus = false;
      post(EVENT_FOCUS_OUT);
      break;
    case ConfigureNotify: on_configure(event.xconfigure); break;
    case ClientMessage:
      if (Atom(event.xclient.data.l[0]) == x11.delete_atom && x11.delete_atom) {
        key_post(KEY_CLOSE_BOX);
        post(EVENT_CLOSE);
      }
      break;
    default: break;
  }
}

int x11_get_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip) {
  if (!x11.display || !x11.inside || !x11_focus) return -1;
  int32_t px = x11.mouse_x, py = x11.mouse_y, pb = x11.buttons;
  Window root, child;
  int root_x, root_y, window_x, window_y;
  unsigned int mask;
  if (XQueryPointer(x11.display, x11.draw_window, &root, &child, &root_x, &root_y, &window_x,
                    &window_y, &mask)) {
    px = x11_to_page(window_x);
    py = x11_to_page(window_y - x11.y_offset);
    pb = ((mask & Button1Mask) ? 1 : 0) | ((mask & Button3Mask) ? 2 : 0) |
         ((mask & Button2Mask) ? 4 : 0);
  }
  if (x) *x = px;
  if (y) *y = py;
  if (wheel) *wheel = x11.wheel;
  if (buttons) *buttons = pb;
  if (clip) *clip = x11.grabbed ? 1 : 0;
  return 0;
}

void x11_set_mouse(int32_t x, int32_t y, int32_t visible, int32_t clip) {
  Display* d = x11.display;
  if (!d) return;
  if ((x != X11_KEEP || y != X11_KEEP) && x11_focus) {
    if (x == X11_KEEP) x = x11.mouse_x;
    if (y == X11_KEEP) y = x11.mouse_y;
    x = x < 0 ? 0 : x >= x11.page_width ? x11.page_width - 1 : x;
    y = y < 0 ? 0 : y >= x11.page_height ? x11.page_height - 1 : y;
    x11.mouse_x = x;
    x11.mouse_y = y;
    x11.inside = true;
    XWarpPointer(d, None, x11.draw_window, 0, 0, 0, 0, x * x11.scale, y * x11.scale + x11.y_offset);
  }
  if (visible > 0) {
    XDefineCursor(d, x11.draw_window, x11.arrow_cursor);
    x11.cursor_visible = true;
  } else if (visible == 0) {
    XDefineCursor(d, x11.draw_window, x11.invisible_cursor);
    x11.cursor_visible = false;
  }
  if (clip == 0) {
    XUngrabPointer(d, CurrentTime);
    x11.grabbed = false;
  } else if (clip > 0 && !x11.grabbed) {
    // Bounded: the caller holds the screen lock meanwhile.
    for (int attempt = 0; attempt < 20 && !x11.grabbed; attempt++) {
      if (XGrabPointer(d, x11.draw_window, True,
                       ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                       GrabModeAsync, x11.draw_window, None, CurrentTime) == GrabSuccess)
        x11.grabbed = true;
      else
        usleep(100000);
    }
  }
  XFlush(d);
}
