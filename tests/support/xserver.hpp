#pragma once
// A private X server for tests: Xvfb on a free display number, optionally
// with openbox managing its windows, stopped again by the destructor. Also a
// connection of the test's own for reading window pixels back and for sending
// input through XTEST or as synthetic events.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct XServerOptions {
  int width = 1024;
  int height = 768;
  int depth = 24;
  bool window_manager = false;          // start openbox and wait until it manages windows
  std::vector<std::string> extra_args;  // e.g. {"-extension", "MIT-SHM"}
  std::vector<std::string> launcher;    // runs Xvfb, e.g. {"unshare", "--ipc"}
};

class XServer {
 public:
  explicit XServer(const XServerOptions& options = {});
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  static bool available();       // Xvfb is installed
  bool ok() const { return number_ >= 0; }
  const std::string& name() const { return name_; }  // ":N"
  pid_t pid() const { return server_pid_; }
  void make_default() const;     // DISPLAY = name()
  void stop();                   // closes the connection, then stops openbox and Xvfb

  // The test's own connection, opened on first use.
  Display* display();
  Window root();
  void close_display();          // before the server is killed behind the helper's back

  // The first window (depth first from the root) whose WM_NAME is title, or 0;
  // all such windows.
  Window find_window(const std::string& title);
  std::vector<Window> find_windows(const std::string& title);
  bool size_of(Window window, int* width, int* height);
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
  bool start_window_manager();

  int number_ = -1;
  std::string name_;
  pid_t server_pid_ = -1;
  pid_t wm_pid_ = -1;
  Display* display_ = nullptr;
};

// Polls until done() answers true or timeout_ms has passed; answers done()'s last value.
bool wait_until(const std::function<bool()>& done, int timeout_ms = 5000, int step_ms = 5);
