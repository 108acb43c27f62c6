#pragma once
// A private X server for tests: Xvfb on a free display number (or Xorg with
// the dummy video driver, TigerVNC's Xvnc, or Xwayland under a headless sway),
// optionally with openbox managing its windows, stopped again by the
// destructor. Also a connection of the test's own for reading window pixels
// back and for sending input through XTEST or as synthetic events.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/scratch.hpp"

enum class XServerKind {
  Xvfb,
  Xorg,      // dummy video driver, root only; a screen of depth 24 whose desktop
             // mode is width x height, with 1024x768, 800x600 and 640x480 to switch to
  Xvnc,      // no VNC listener
  Xwayland,  // rootless, under sway (run as nobody when we are root) with floating windows
};

struct XServerOptions {
  XServerKind kind = XServerKind::Xvfb;
  int width = 1024;
  int height = 768;
  int depth = 24;
  bool window_manager = false;          // start openbox and wait until it manages windows
  std::vector<std::string> extra_args;  // e.g. {"-extension", "MIT-SHM"}
  std::vector<std::string> launcher;    // runs Xvfb, e.g. {"unshare", "--ipc"}
  bool tcp = false;                     // Xvfb listens on TCP; name() is "127.0.0.1:N"
};

class XServer {
 public:
  explicit XServer(const XServerOptions& options = {});
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  static bool available(XServerKind kind = XServerKind::Xvfb);  // installed, and we may run it
  bool ok() const { return number_ >= 0; }
  const std::string& name() const { return name_; }  // ":N", or "127.0.0.1:N"
  pid_t pid() const { return server_pid_; }
  void make_default() const;  // DISPLAY = name()
  void stop();                // closes the connection, then stops openbox and the server
  // Runs swaymsg with the command under Xwayland's compositor; its exit status.
  int compositor(const std::string& command);
  // Put before a client's command line, it runs as the compositor's user
  // (nobody when we are root: sway refuses root); empty for the other servers.
  std::vector<std::string> client_prefix() const;

  // The test's own connection, opened on first use.
  Display* display();
  Window root();
  void close_display();  // before the server is killed behind the helper's back

  // The first window (depth first from the root) whose WM_NAME is title, or 0;
  // all such windows.
  Window find_window(const std::string& title);
  std::vector<Window> find_windows(const std::string& title);
  bool size_of(Window window, int* width, int* height);
  // Waits for a viewable window with that title: the window, or 0.
  Window wait_window(const std::string& title, int timeout_ms = 20000);
  // Pixels of the rectangle at (x, y) of the window whose colour differs from
  // frame's (row by row, 0xAARRGGBB), all of them when it cannot be read.
  int mismatches(Window window, int x, int y, int width, int height,
                 const std::vector<uint32_t>& frame);
  // Pixel values as the server stores them (XGetImage); 0xFFFFFFFF when unreadable.
  uint32_t pixel(Window window, int x, int y);
  std::vector<uint32_t> column(Window window, int x, int y, int count);

  // XTEST input; each call is synchronised with the server.
  void key(unsigned long keysym, bool press);
  void tap(unsigned long keysym);
  void button(unsigned int button, bool press);
  void move_pointer(int root_x, int root_y);
  void focus(Window window);
  // A mapped top-level window of the test's own connection (another program's, as it were).
  Window create_window(int x, int y, int width, int height);
  // Synthetic events with chosen contents, sent to the window's owner.
  void send_button(Window window, unsigned int button, unsigned long time, bool press);
  void send_delete_window(Window window);

 private:
  bool start_server(const XServerOptions& options);
  bool start_compositor();
  bool start_window_manager();

  int number_ = -1;
  std::string name_;
  pid_t server_pid_ = -1;
  pid_t wm_pid_ = -1;
  Display* display_ = nullptr;
  XServerKind kind_ = XServerKind::Xvfb;
  ScratchDir files_;  // xorg.conf, the compositor's configuration and run-time folder
  std::string compositor_socket_;
};

// Polls until done() answers true or timeout_ms has passed; answers done()'s last value.
bool wait_until(const std::function<bool()>& done, int timeout_ms = 5000, int step_ms = 5);
