// Start-up notification (freedesktop): the launcher's id on the window
// before it is mapped, and once it is mapped, or the screen given up after
// the display was reached, the message that ends the launcher's busy feedback.
#include <cstring>
#include <string>

#include "gfx/x11/x11_state.hpp"

namespace {

// A value of a start-up message, quoted when it holds a blank, a quote or a
// backslash.
std::string quoted(const char* value) {
  if (!std::strpbrk(value, " \"\\")) return value;
  std::string out = "\"";
  for (const char* c = value; *c; ++c) {
    if (*c == '"' || *c == '\\') out += '\\';
    out += *c;
  }
  return out + "\"";
}

}  // namespace

void x11_startup_id_set(Window window) {
  const char* id = screen_startup_id();
  if (!id) return;
  Atom atom = XInternAtom(x11.display, "_NET_STARTUP_ID", False);
  Atom utf8 = XInternAtom(x11.display, "UTF8_STRING", False);
  XChangeProperty(x11.display, window, atom, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(id), int(std::strlen(id)));
}

void x11_startup_complete(Window window) {
  const char* id = screen_startup_id();
  if (!id) return;
  // The message with its closing NUL, in pieces of 20 bytes to the root
  // window: the first piece typed BEGIN, the rest continuing it.
  const std::string message = "remove: ID=" + quoted(id);
  Display* d = x11.display;
  Atom begin = XInternAtom(d, "_NET_STARTUP_INFO_BEGIN", False);
  Atom more = XInternAtom(d, "_NET_STARTUP_INFO", False);
  for (size_t at = 0; at <= message.size(); at += 20) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = d;
    event.xclient.window = window;
    event.xclient.message_type = at == 0 ? begin : more;
    event.xclient.format = 8;
    std::memcpy(event.xclient.data.b, message.data() + at,
                message.size() - at < 20 ? message.size() - at : 20);
    XSendEvent(d, x11.root, False, PropertyChangeMask, &event);
  }
  XFlush(d);
  screen_startup_done();
}
