// Private X servers for tests: started on a free display, with a window
// manager or under a compositor when asked, and stopped again.
#include "support/xserver.hpp"

#include <X11/Xatom.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

bool on_path(const char* program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string file = dirs.substr(start, end - start) + "/" + program;
    if (access(file.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Starts a program with stdout and stderr sent to /dev/null; keep_fd stays
// open. Everything the child needs is built before fork: the parent may have
// threads, and the child must not allocate.
pid_t spawn(const std::vector<std::string>& args, int keep_fd, const std::string& display) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::string display_entry = "DISPLAY=" + display;
  std::vector<char*> env;
  for (char** e = environ; *e; e++)
    if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.push_back(*e);
  if (!display.empty()) env.push_back(display_entry.data());
  env.push_back(nullptr);
  pid_t pid = fork();
  if (pid != 0) return pid;
  int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
  }
  for (int fd = 3; fd < 1024; fd++)
    if (fd != keep_fd) close(fd);
  execvpe(argv[0], argv.data(), env.data());
  _exit(127);
}

// Ends a child: SIGTERM, then SIGKILL when it lingers.
void stop_child(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 300; i++) {
    int status;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || done < 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  int status;
  waitpid(pid, &status, 0);
}

}  // namespace

bool wait_until(const std::function<bool()>& done, int timeout_ms, int step_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(step_ms));
  }
}

namespace {

const uid_t nobody = 65534;

// Starts the server and waits for the display number it writes to the pipe
// once it accepts connections; -1 on failure.
int start_numbered(const std::vector<std::string>& args, int write_end, int read_end, pid_t* pid) {
  *pid = spawn(args, write_end, "");
  close(write_end);
  std::string text;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{read_end, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[32];
    ssize_t n = read(read_end, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, size_t(n));
  }
  close(read_end);
  if (text.find('\n') != std::string::npos) return std::atoi(text.c_str());
  stop_child(*pid);
  *pid = -1;
  return -1;
}

// Wide monitor ranges, so that the dummy driver keeps every mode named.
std::string xorg_conf(int width, int height) {
  std::string desktop = std::to_string(width) + "x" + std::to_string(height);
  return "Section \"Device\"\n  Identifier \"card\"\n  Driver \"dummy\"\n  VideoRam "
         "65536\nEndSection\n"
         "Section \"Monitor\"\n  Identifier \"monitor\"\n  HorizSync 5-1000\n  VertRefresh "
         "5-200\nEndSection\n"
         "Section \"Screen\"\n  Identifier \"screen\"\n  Device \"card\"\n  Monitor \"monitor\"\n"
         "  DefaultDepth 24\n  SubSection \"Display\"\n    Depth 24\n    Virtual " +
         std::to_string(width) + " " + std::to_string(height) + "\n    Modes \"" + desktop +
         "\" \"1024x768\" \"800x600\" \"640x480\"\n  EndSubSection\nEndSection\n";
}

}  // namespace

bool XServer::available(XServerKind kind) {
  switch (kind) {
    case XServerKind::Xvfb: return on_path("Xvfb");
    case XServerKind::Xorg:
      return geteuid() == 0 && on_path("Xorg") &&
             access("/usr/lib/xorg/modules/drivers/dummy_drv.so", R_OK) == 0;
    case XServerKind::Xvnc: return on_path("Xvnc");
    case XServerKind::Xwayland:
      return on_path("sway") && on_path("swaymsg") && on_path("Xwayland") && on_path("xhost") &&
             (geteuid() != 0 || on_path("setpriv"));
  }
  return false;
}

XServer::XServer(const XServerOptions& options) : kind_(options.kind) {
  XInitThreads();
  if (!available(kind_)) return;
  if (!(kind_ == XServerKind::Xwayland ? start_compositor() : start_server(options))) return;
  if (options.window_manager && !start_window_manager()) stop();
}

std::vector<std::string> XServer::client_prefix() const {
  if (kind_ != XServerKind::Xwayland || geteuid() != 0) return {};
  return {"setpriv", "--reuid=" + std::to_string(nobody), "--regid=" + std::to_string(nobody),
          "--clear-groups", "--"};
}

XServer::~XServer() { stop(); }

bool XServer::start_server(const XServerOptions& options) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  std::string fd = std::to_string(fds[1]);
  std::string w = std::to_string(options.width), h = std::to_string(options.height);
  std::vector<std::string> args;
  if (options.kind == XServerKind::Xorg) {
    // Started as a display manager would, but on no console.
    files_.write("xorg.conf", xorg_conf(options.width, options.height));
    args = {"Xorg",
            "-displayfd",
            fd,
            "-config",
            files_.file("xorg.conf"),
            "-logfile",
            files_.file("Xorg.log"),
            "-novtswitch",
            "-sharevts",
            "-keeptty"};
  } else if (options.kind == XServerKind::Xvnc) {
    args = {"Xvnc",
            "-displayfd",
            fd,
            "-geometry",
            w + "x" + h,
            "-depth",
            std::to_string(options.depth),
            "-rfbport",
            "-1",
            "-SecurityTypes",
            "None"};
  } else {
    args = {"Xvfb",    "-displayfd", fd,
            "-screen", "0",          w + "x" + h + "x" + std::to_string(options.depth)};
  }
  args.insert(args.end(), {options.tcp ? "-listen" : "-nolisten", "tcp", "-noreset"});
  args.insert(args.end(), options.extra_args.begin(), options.extra_args.end());
  args.insert(args.begin(), options.launcher.begin(), options.launcher.end());
  number_ = start_numbered(args, fds[1], fds[0], &server_pid_);
  if (number_ < 0) return false;
  name_ = (options.tcp ? "127.0.0.1:" : ":") + std::to_string(number_);
  return display() != nullptr;
}

// sway on its headless back-end, which starts Xwayland at once and, once our
// own connection is let in, says which display and control socket it has.
bool XServer::start_compositor() {
  files_.write("config",
               "xwayland force\n"
               "for_window [title=\".*\"] floating enable\n"
               "exec sh -c 'xhost +si:localuser:root >/dev/null && echo \"$DISPLAY $SWAYSOCK\" > " +
                   files_.file("ready.tmp") + " && mv " + files_.file("ready.tmp") + " " +
                   files_.file("ready") + "'\n");
  std::vector<std::string> args = client_prefix();
  if (!args.empty()) {
    if (chown(files_.path().c_str(), nobody, nobody) != 0) return false;
  }
  chmod(files_.path().c_str(), 0700);  // the run-time folder Wayland wants
  args.insert(args.end(), {"env", "HOME=" + files_.path(), "XDG_RUNTIME_DIR=" + files_.path(),
                           "WLR_BACKENDS=headless", "WLR_RENDERER=pixman",
                           "WLR_LIBINPUT_NO_DEVICES=1", "sway", "-c", files_.file("config")});
  server_pid_ = spawn(args, -1, "");
  if (!wait_until([&] { return files_.exists("ready"); }, 20000, 20)) {
    stop();
    return false;
  }
  std::string ready = files_.read("ready");
  size_t blank = ready.find(' ');
  name_ = ready.substr(0, blank);
  compositor_socket_ =
      blank == std::string::npos ? "" : ready.substr(blank + 1, ready.find('\n') - blank - 1);
  number_ = std::atoi(name_.c_str() + 1);
  return display() != nullptr;
}

int XServer::compositor(const std::string& command) {
  if (compositor_socket_.empty()) return -1;
  pid_t pid = spawn({"swaymsg", "-s", compositor_socket_, command}, -1, "");
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool XServer::start_window_manager() {
  if (!on_path("openbox")) return false;
  Display* d = display();
  Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  wm_pid_ = spawn({"openbox", "--sm-disable"}, -1, name_);
  // The window manager has started once it announces itself on the root
  // window, and is ready once it gives a newly mapped window the focus.
  bool announced = wait_until(
      [&] {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        bool found = XGetWindowProperty(d, root(), check, 0, 1, False, XA_WINDOW, &type, &format,
                                        &count, &after, &data) == Success &&
                     count == 1;
        if (data) XFree(data);
        return found;
      },
      20000, 20);
  if (!announced) return false;
  // A window mapped while it is still starting counts as found there and gets
  // no focus, so probe again until one does.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    Window probe = XCreateSimpleWindow(d, root(), 0, 0, 20, 20, 0, 0, 0);
    XMapWindow(d, probe);
    XSync(d, False);
    bool focused = wait_until(
        [&] {
          Window focus = 0;
          int revert;
          XGetInputFocus(d, &focus, &revert);
          return focus == probe;
        },
        700, 10);
    XDestroyWindow(d, probe);
    XSync(d, False);
    if (focused) return true;
  }
  return false;
}

void XServer::make_default() const { setenv("DISPLAY", name_.c_str(), 1); }

void XServer::close_display() {
  if (display_) XCloseDisplay(display_);
  display_ = nullptr;
}

void XServer::stop() {
  close_display();
  stop_child(wm_pid_);
  wm_pid_ = -1;
  stop_child(server_pid_);
  server_pid_ = -1;
  number_ = -1;
  compositor_socket_.clear();
}
