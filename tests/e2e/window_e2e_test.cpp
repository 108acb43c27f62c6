// The built tandrel as a user meets it: started in a folder with its
// tandrel.cfg, on a private Xvfb managed by openbox, with stub tools on PATH.
// gtest first: Xlib's macros (None, Bool, ...) would clash with it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/scratch.hpp"
#include "support/stub_tools.hpp"
#include "support/xserver.hpp"
#include "tools/png.hpp"

namespace {

// A tandrel process; killed at the end unless it has ended by itself.
class Monitor {
 public:
  // display "" runs it without DISPLAY.
  Monitor(const ScratchDir& folder, const std::string& display) : folder_(folder) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "ZORGFX=", 7) != 0)
        env.push_back(*e);
    if (!display.empty()) env.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string out = folder.file("stdout"), err = folder.file("stderr");
    const char* exe = TANDREL_EXE;
    const char* dir = folder.path().c_str();
    pid_ = fork();
    if (pid_ == 0) {
      int in = open("/dev/null", O_RDONLY);
      int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (in < 0 || o < 0 || e < 0 || chdir(dir) != 0) _exit(126);
      dup2(in, 0);
      dup2(o, 1);
      dup2(e, 2);
      char* argv[] = {const_cast<char*>("tandrel"), nullptr};
      execve(exe, argv, envp.data());
      _exit(127);
    }
  }
  ~Monitor() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // Exit status, or -1 when it is still running after timeout_ms.
  int wait(int timeout_ms) {
    if (ended_) return status_;
    int status = 0;
    bool done = wait_until([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout_ms, 10);
    if (!done) return -1;
    ended_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }
  std::string errors() const { return folder_.read("stderr"); }

 private:
  const ScratchDir& folder_;
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = -1;
};

const char* const threePorts =
    "Starting Nmap 7.93 ( https://nmap.org ) at 2026-12-09 01:00 UTC\n"
    "Nmap scan report for alpha.test (127.0.0.2)\nHost is up (0.0000030s latency).\n"
    "Not shown: 997 closed tcp ports (reset)\nPORT   STATE SERVICE\n"
    "21/tcp open  ftp\n22/tcp open  ssh\n80/tcp open  http\n\n"
    "Nmap done: 1 IP address (1 host up) scanned in 0.05 seconds\n";
const char* const hostDown =
    "Starting Nmap 7.93 ( https://nmap.org ) at 2026-12-09 01:00 UTC\n"
    "Note: Host seems down. If it is really up, but blocking our ping probes, try -Pn\n"
    "Nmap done: 1 IP address (0 hosts up) scanned in 3.02 seconds\n";
const char* const sshOnly =
    "Nmap scan report for gamma.test (127.0.0.4)\nHost is up.\nPORT   STATE SERVICE\n"
    "22/tcp open  ssh\n";

uint32_t rgb(uint32_t argb) { return argb & 0xFFFFFF; }

class MonitorWindow : public testing::Test {
 protected:
  void SetUp() override {
    if (!XServer::available()) GTEST_SKIP() << "no Xvfb";
    XServerOptions options;
    options.window_manager = true;
    x = std::make_unique<XServer>(options);
    ASSERT_TRUE(x->ok());
    tools.addTool("launcher");
    tools.answerAny("nslookup",
                    "Server:\t\t127.0.0.1\nAddress:\t127.0.0.1#53\n\n"
                    "Name:\tany.test\nAddress: 127.0.0.9\n");
    tools.answer("nmap", "alpha.test", threePorts);
    tools.answer("nmap", "beta.test", hostDown);
    tools.answer("nmap", "gamma.test", sshOnly);
    tools.answerAny("ping", StubTools::fixture("ping-reply.txt"));
    folder.write("tandrel.cfg", "terminal=launcher\nalpha.test\nbeta.test\ngamma.test\n");
  }

  // Starts the monitor and waits for its window, with the pointer off it.
  void start() {
    x->move_pointer(1023, 767);
    monitor = std::make_unique<Monitor>(folder, x->name());
    ASSERT_TRUE(wait_until([&] { return (window = x->find_window("Zeige 3 Server")) != 0; }, 20000))
        << monitor->errors();
    Window child;
    XTranslateCoordinates(x->display(), window, x->root(), 0, 0, &originX, &originY, &child);
    x->focus(window);
  }

  // Presses the left button at window position (wx, wy) until done() holds.
  bool pressUntil(int wx, int wy, const std::function<bool()>& done) {
    x->move_pointer(originX + wx, originY + wy);
    x->button(1, true);
    bool ok = wait_until(done, 10000);
    x->button(1, false);
    x->move_pointer(1023, 767);
    return ok;
  }

  // Per size width, height and the pixels, as the window's _NET_WM_ICON holds them.
  std::vector<long> netWmIcon() {
    Atom type;
    int format;
    unsigned long count = 0, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(x->display(), window, XInternAtom(x->display(), "_NET_WM_ICON", False), 0,
                       LONG_MAX / 4, False, XA_CARDINAL, &type, &format, &count, &after, &data);
    const std::vector<long> icon(reinterpret_cast<long*>(data),
                                 reinterpret_cast<long*>(data) + count);
    XFree(data);
    return icon;
  }

  // Whether the window's urgency flag is up and its icons are the marked ones: red where
  // the 16-pixel size carries the mark, and another hints pixmap than the first one seen.
  bool asks(bool urgent, bool marked) {
    XWMHints* hints = XGetWMHints(x->display(), window);
    if (!hints) return false;
    const bool up = hints->flags & XUrgencyHint;
    if (!firstPixmap) firstPixmap = hints->icon_pixmap;
    const bool other = hints->icon_pixmap != firstPixmap;
    XFree(hints);
    const std::vector<long> icon = netWmIcon();
    const bool red = icon.size() > 2 + 16 * 16 && uint32_t(icon[2 + 4 * 16 + 11]) == 0xFFE01B24;
    return up == urgent && red == marked && other == marked;
  }

  int callsFor(const std::string& tool, const std::string& args) {
    int n = 0;
    for (const StubCall& c : tools.calls(tool)) n += c.arguments() == args;
    return n;
  }

  StubTools tools;
  ScratchDir folder;
  std::unique_ptr<XServer> x;
  std::unique_ptr<Monitor> monitor;
  Window window = 0;
  Pixmap firstPixmap = 0;
  int originX = 0, originY = 0;
};

TEST_F(MonitorWindow, ShowsThreePanelsAsDrawn) {
  start();
  int w = 0, h = 0;
  ASSERT_TRUE(x->size_of(window, &w, &h));
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  // The first ping of alpha lands at the top of its graph in green.
  EXPECT_TRUE(wait_until([&] { return x->pixel(window, 750, 6) == rgb(0xFF00C800); }, 10000));
  for (int t : {0, 200, 400}) {
    SCOPED_TRACE(t);
    EXPECT_EQ(x->pixel(window, 5, t + 5), rgb(0xFF0066CC));     // reload face
    EXPECT_EQ(x->pixel(window, 225, t + 18), rgb(0xFF0066CC));  // interval face
    EXPECT_EQ(x->pixel(window, 250, t + 150), rgb(0xFF1E1E1E));
    EXPECT_EQ(x->pixel(window, 200, t + 65), rgb(0xFF888B8B));
    EXPECT_EQ(x->pixel(window, 600, t), rgb(0xFF888B8B));
    EXPECT_EQ(x->pixel(window, 400, t + 100), rgb(0xFF888B8B));
    EXPECT_EQ(x->pixel(window, 420, t + 100), rgb(0xFFFFFFFF));
  }
  EXPECT_EQ(x->pixel(window, 302, 69), rgb(0xFF0066CC));   // FTP-Client of alpha
  EXPECT_EQ(x->pixel(window, 302, 84), rgb(0xFF0066CC));   // SSH-Client of alpha
  EXPECT_EQ(x->pixel(window, 302, 469), rgb(0xFF0066CC));  // SSH-Client of gamma
  EXPECT_EQ(x->pixel(window, 302, 484), rgb(0xFF1E1E1E));
  // beta is down: its notice in its own colour, its graph empty.
  int notice = 0;
  for (int px = 70; px < 70 + 21 * 8; ++px)
    for (uint32_t v : x->column(window, px, 267, 14)) notice += v == rgb(0xFFE06C75);
  EXPECT_GT(notice, 100);
  EXPECT_EQ(x->pixel(window, 750, 206), rgb(0xFFFFFFFF));
  EXPECT_EQ(callsFor("ping", "beta.test -c 1"), 0);
  EXPECT_GE(callsFor("ping", "alpha.test -c 1"), 1);

  x->send_delete_window(window);
  EXPECT_EQ(monitor->wait(5000), 0) << monitor->errors();
}

TEST_F(MonitorWindow, ReloadReprobesExactlyThatHostAndFtpRunsTheLauncher) {
  start();
  ASSERT_EQ(tools.calls("nslookup").size(), 3u);
  tools.answer("nmap", "beta.test", threePorts);  // beta has come back

  ASSERT_TRUE(pressUntil(50, 210, [&] { return tools.calls("nmap").size() == 4; }));
  EXPECT_EQ(callsFor("nslookup", "beta.test"), 2);
  EXPECT_EQ(callsFor("nmap", "beta.test"), 2);
  EXPECT_EQ(callsFor("nslookup", "alpha.test") + callsFor("nslookup", "gamma.test"), 2);
  // Back up: reachable again, pinged, and with its FTP button.
  EXPECT_TRUE(wait_until([&] { return callsFor("ping", "beta.test -c 1") >= 1; }));
  EXPECT_TRUE(wait_until([&] { return x->pixel(window, 302, 269) == rgb(0xFF0066CC); }));

  // The shared debounce has run out after a second.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_TRUE(pressUntil(350, 72, [&] { return !tools.calls("launcher").empty(); }));
  std::vector<StubCall> launches = tools.calls("launcher");
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].args, std::vector<std::string>{"ftp -nv alpha.test"});
  EXPECT_EQ(tools.calls("nmap").size(), 4u);

  // Closed through the window manager's own key: Alt+F4 in openbox.
  x->key(XK_Alt_L, true);
  x->tap(XK_F4);
  x->key(XK_Alt_L, false);
  EXPECT_EQ(monitor->wait(5000), 0) << monitor->errors();
}

// Started by a launcher with a start-up id: the window carries the icon of
// data/icons and the id, the launcher hears "remove" once the window is
// mapped, and no tool started inherits the id.
TEST_F(MonitorWindow, CarriesTheIconAndEndsTheLaunchersStartUpOnceMapped) {
  Display* d = x->display();
  // Maps of top-level windows and the start-up messages, in the server's order.
  XSelectInput(d, x->root(), PropertyChangeMask | SubstructureNotifyMask);
  const Atom begin = XInternAtom(d, "_NET_STARTUP_INFO_BEGIN", False);
  const Atom more = XInternAtom(d, "_NET_STARTUP_INFO", False);
  setenv("DESKTOP_STARTUP_ID", "menu-7 \"x\"_TIME42", 1);
  monitor = std::make_unique<Monitor>(folder, x->name());
  unsetenv("DESKTOP_STARTUP_ID");
  std::string message;
  std::vector<Window> mapped;
  bool complete = false;
  ASSERT_TRUE(wait_until(
      [&] {
        for (XEvent e; !complete && XPending(d);) {
          XNextEvent(d, &e);
          if (e.type == MapNotify) mapped.push_back(e.xmap.window);
          if (e.type != ClientMessage ||
              (e.xclient.message_type != begin && e.xclient.message_type != more))
            continue;
          if (e.xclient.message_type == begin) message.clear();
          const size_t piece = strnlen(e.xclient.data.b, 20);
          message.append(e.xclient.data.b, piece);
          complete = piece < 20;
        }
        return complete;
      },
      20000))
      << monitor->errors();
  EXPECT_EQ(message, "remove: ID=\"menu-7 \\\"x\\\"_TIME42\"");
  window = x->wait_window("Zeige 3 Server");
  Window top = window, root = 0, parent = 0, *children = nullptr;  // the manager's frame around it
  for (unsigned n = 0; XQueryTree(d, top, &root, &parent, &children, &n); top = parent) {
    XFree(children);
    if (parent == root) break;
  }
  EXPECT_NE(std::find(mapped.begin(), mapped.end(), top), mapped.end()) << "told before the map";
  const std::vector<long> icon = netWmIcon();
  std::vector<long> sizes;
  for (size_t at = 0; at + 2 <= icon.size(); at += 2 + size_t(icon[at] * icon[at + 1])) {
    sizes.push_back(icon[at]);
    std::ifstream in(std::string(TANDREL_SOURCE_DIR) + "/data/icons/tandrel-" +
                         std::to_string(icon[at]) + ".png",
                     std::ios::binary);
    std::vector<uint8_t> png{std::istreambuf_iterator<char>(in), {}}, rgba;
    int w = 0, h = 0;
    ASSERT_TRUE(decodePngRgba(png, &w, &h, &rgba)) << icon[at];
    ASSERT_EQ(icon[at + 1], h);
    ASSERT_LE(at + 2 + size_t(w * h), icon.size());
    int wrong = 0;
    for (size_t p = 0; p < size_t(w * h); ++p)
      wrong += uint32_t(icon[at + 2 + p]) !=
               (uint32_t(rgba[4 * p + 3]) << 24 | uint32_t(rgba[4 * p]) << 16 |
                uint32_t(rgba[4 * p + 1]) << 8 | rgba[4 * p + 2]);
    EXPECT_EQ(wrong, 0) << w << " pixels";
  }
  EXPECT_EQ(sizes, (std::vector<long>{16, 32, 48, 64}));
  XWMHints* hints = XGetWMHints(d, window);
  ASSERT_NE(hints, nullptr);
  EXPECT_EQ(hints->flags & (IconPixmapHint | IconMaskHint), IconPixmapHint | IconMaskHint);
  XFree(hints);
  ASSERT_FALSE(tools.calls().empty());
  for (const StubCall& call : tools.calls()) EXPECT_FALSE(call.startupIdSet) << call.tool;
}

// alpha answers once, then its pings end without a reply; gamma never answers,
// beta is down. After alpha's second silent ping the window asks for attention and
// shows the marked icon; a reply ends both, the focus ends the attention alone.
TEST_F(MonitorWindow, AHostFallingSilentMarksTheIconAndAsksForAttention) {
  const std::string silent = StubTools::fixture("ping-unreachable.txt");
  tools.answer("ping", "gamma.test -c 1", silent);
  start();
  ASSERT_TRUE(wait_until([&] { return x->pixel(window, 750, 6) == rgb(0xFF00C800); }, 10000));
  EXPECT_TRUE(asks(false, false));
  for (int round = 0; round < 2; ++round) {
    const int before = callsFor("ping", "alpha.test -c 1");
    tools.answer("ping", "alpha.test -c 1", silent);
    EXPECT_TRUE(wait_until([&] { return asks(true, true); }, 15000)) << round;
    EXPECT_GE(callsFor("ping", "alpha.test -c 1") - before, 2);
    if (round == 1) break;
    tools.answer("ping", "alpha.test -c 1", StubTools::fixture("ping-reply.txt"));
    EXPECT_TRUE(wait_until([&] { return asks(false, false); }, 8000));
  }
  x->focus(x->create_window(0, 0, 20, 20));
  x->focus(window);
  EXPECT_TRUE(wait_until([&] { return asks(false, true); }, 3000));
}

// The bundled example's launcher: setsid -f returns at once, so while the
// terminal it opened stays open the monitor pings, draws and answers.
TEST_F(MonitorWindow, SshThroughSetsidLeavesTheMonitorRunningWhileTheTerminalStaysOpen) {
  const std::string terminal = tools.folder() + "/bin/x-terminal-emulator";
  std::ofstream(terminal) << "#!/bin/sh\necho \"$*\" > '" << folder.file("args") << "'\necho $$ > '"
                          << folder.file("pid") << "'\nexec sleep 20\n";
  chmod(terminal.c_str(), 0755);
  folder.write("tandrel.cfg",
               "terminal=setsid -f x-terminal-emulator -e\nalpha.test\nbeta.test\ngamma.test\n");
  start();
  ASSERT_TRUE(pressUntil(350, 472, [&] { return !folder.read("pid").empty(); }));
  const pid_t session = pid_t(std::stol(folder.read("pid")));
  EXPECT_EQ(folder.read("args"), "-e ssh -X root@gamma.test\n");
  auto green = [&] {  // alpha's graph: one sample more draws more of it in green
    int n = 0;
    for (int px = 451; px < 800; ++px)
      for (uint32_t v : x->column(window, px, 1, 196)) n += v == rgb(0xFF00C800);
    return n;
  };
  const int before = green();
  EXPECT_TRUE(wait_until([&] { return green() > before; }, 8000));
  x->move_pointer(originX + 50, originY + 10);
  EXPECT_TRUE(wait_until([&] { return x->pixel(window, 5, 5) == rgb(0xFFF5FFFF); }, 3000));
  EXPECT_EQ(kill(session, 0), 0) << "the terminal is gone already";
  kill(session, SIGKILL);
  x->send_delete_window(window);
  EXPECT_EQ(monitor->wait(5000), 0) << monitor->errors();
}

// From a terminal the probes show on one line rewritten in place, cleared
// once the window is there; nothing is left of it when the program ends.
TEST_F(MonitorWindow, ProgressOnATerminalNamesEachHostAndLeavesNoTrace) {
  x->make_default();
  std::ofstream(tools.folder() + "/bin/nslookup") << "#!/bin/sh\necho \"Failed: $1\" >&2\n";
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (chdir(folder.path().c_str()) == 0) execl(TANDREL_EXE, "tandrel", nullptr);
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  std::string out;
  auto drain = [&](int timeout_ms) {  // what the terminal got until it is quiet (or closed)
    char buffer[512];
    pollfd ready = {terminal, POLLIN, 0};
    for (ssize_t n = 1; n > 0 && poll(&ready, 1, timeout_ms) > 0;)
      if ((n = read(terminal, buffer, sizeof buffer)) > 0) out.append(buffer, size_t(n));
  };
  window = x->wait_window("Zeige 3 Server");
  drain(500);
  const size_t first = out.find("\rtandrel: prüfe alpha.test (1 von 3) …\x1b[K");
  const size_t last = out.find("\rtandrel: prüfe gamma.test (3 von 3) …\x1b[K");
  EXPECT_LT(first, last) << out;
  // A tool's error output on a line of its own, the progress line again below it.
  EXPECT_NE(out.find("\r\x1b[KFailed: beta.test\r\n\rtandrel: prüfe "), std::string::npos) << out;
  EXPECT_EQ(out.rfind("\r\x1b[K"), out.size() - 4) << "not cleared when the window opened: " << out;
  const size_t shown = out.size();
  if (window) x->send_delete_window(window);
  drain(5000);
  EXPECT_EQ(out.size(), shown) << out;
  kill(pid, SIGKILL);  // in case it is still running: it ends by the close box otherwise
  waitpid(pid, nullptr, 0);
  close(terminal);
}

TEST(MonitorStart, ZeroHostsEndsWithAMessage) {
  ScratchDir folder;
  folder.write("tandrel.cfg", "terminal=xterm -e\n# nothing to watch\n");
  StubTools tools;
  Monitor monitor(folder, ":99x");
  EXPECT_NE(monitor.wait(10000), 0);
  EXPECT_NE(monitor.errors().find("tandrel.cfg"), std::string::npos) << monitor.errors();
  EXPECT_TRUE(tools.calls().empty());
}

TEST(MonitorStart, WithoutADisplayEndsWithAMessageNamingIt) {
  StubTools tools;
  for (const std::string display : {"", ":99x"}) {
    SCOPED_TRACE(display);
    ScratchDir folder;
    folder.write("tandrel.cfg", "terminal=xterm -e\nalpha.test\n");
    Monitor monitor(folder, display);
    int status = monitor.wait(20000);
    EXPECT_NE(status, 0);
    EXPECT_NE(status, -1);
    std::string errors = monitor.errors();
    EXPECT_NE(errors.find("DISPLAY"), std::string::npos) << errors;
    if (!display.empty()) {
      EXPECT_NE(errors.find(display), std::string::npos) << errors;
    }
  }
}

}  // namespace
