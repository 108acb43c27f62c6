#pragma once
// The fixture of the fault tests: a private X server (with openbox unless
// asked otherwise), stub tools and a folder with tandrel.cfg for one tandrel.
// gtest first: Xlib's macros (None, Bool, ...) would clash with it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>
#include "lab/child_process.hpp"
#include "support/scratch.hpp"
#include "support/stub_tools.hpp"
#include "support/xserver.hpp"

namespace {

using lab::ChildProcess;
using lab::environmentWith;
using lab::findProgram;

constexpr uint32_t textColour = 0xF5FFFF;
constexpr uint32_t face = 0x0066CC;
constexpr uint32_t noticeColour = 0xE06C75;
constexpr uint32_t good = 0x00C800;
constexpr uint32_t bad = 0xC80000;

const char* const sshScan =
    "Starting Nmap 7.93 ( https://nmap.org ) at 2026-12-09 01:00 UTC\n"
    "Nmap scan report for alpha.test (127.0.0.2)\nHost is up (0.0000030s latency).\n"
    "PORT   STATE SERVICE\n22/tcp open  ssh\n";
const char* const lookup =
    "Server:\t\t127.0.0.1\nAddress:\t127.0.0.1#53\n\nName:\talpha.test\nAddress: 127.0.0.2\n";

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline pid_t pidIn(const std::string& file) {
  std::string text = readAll(file);
  return text.empty() ? -1 : pid_t(std::atol(text.c_str()));
}

// Whether the process runs: it exists and is no zombie.
inline bool runs(pid_t pid) {
  const std::string stat = readAll("/proc/" + std::to_string(pid) + "/stat");
  const size_t end = stat.rfind(')');
  return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] != 'Z';
}

// The test's own connection asks about windows that may be gone by then
// (a killed window manager's); Xlib's default handler would end the test.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

// A private X server (with openbox unless asked otherwise), stub tools and
// a folder with tandrel.cfg for one tandrel.
class Faults : public testing::Test {
 protected:
  void SetUp() override {
    if (!XServer::available()) GTEST_SKIP() << "no Xvfb";
    previousHandler = XSetErrorHandler(ignoreXErrors);
    tools.answerAny("nslookup", lookup);
    tools.answerAny("nmap", sshScan);
    tools.answerAny("ping", StubTools::fixture("ping-reply.txt"));
    folder.write("tandrel.cfg", "terminal=true\nalpha.test\n");
    mkdir(folder.file("bin").c_str(), 0755);
  }

  void TearDown() override {
    if (previousHandler) XSetErrorHandler(previousHandler);
  }

  void startX(bool windowManager = true) {
    XServerOptions options;
    options.window_manager = windowManager;
    x = std::make_unique<XServer>(options);
    ASSERT_TRUE(x->ok());
    x->move_pointer(1023, 767);
  }

  // Starts tandrel in the folder; path replaces PATH when given, env adds "NAME=value",
  // and prefix runs before it, given its path as the last argument.
  void startMonitor(const std::string& path = "", const std::vector<std::string>& env = {},
                    std::vector<std::string> prefix = {}) {
    std::vector<std::string> set = env;
    set.push_back("DISPLAY=" + x->name());
    if (!path.empty()) set.push_back("PATH=" + path);
    prefix.push_back(TANDREL_EXE);
    ASSERT_TRUE(monitor.start(prefix, folder.path(), environmentWith(set, {"ZORGFX"}),
                              {folder.file("stdout"), folder.file("stderr")}));
  }

  // Waits for the window, focuses it and notes where it is.
  bool windowUp(int timeout_ms = 15000, const std::string& title = "Zeige 1 Server",
                bool drawn = true) {
    if (!wait_until([&] { return (window = x->find_window(title)) != 0 || !monitor.running(); },
                    timeout_ms, 20) ||
        window == 0)
      return false;
    locate();
    x->focus(window);
    // Shown once the first frame has been copied in: the reload button's face.
    if (drawn) wait_until([&] { return x->pixel(window, 95, 5) == face; }, 5000);
    return true;
  }

  void locate() {
    Window child;
    XTranslateCoordinates(x->display(), window, x->root(), 0, 0, &originX, &originY, &child);
  }

  int count(int x1, int y1, int x2, int y2, uint32_t colour) {
    int n = 0;
    for (int px = x1; px <= x2; ++px)
      for (uint32_t v : x->column(window, px, y1, y2 - y1 + 1)) n += v == colour;
    return n;
  }

  // Sample k (1..100) of the first panel's graph is drawn green.
  bool greenSample(int k) { return count(3 * k + 448, 1, 3 * k + 449, 196, good) > 0; }

  bool reloadHighlighted() { return x->pixel(window, 5, 5) == textColour; }
  void pointAtReload() { x->move_pointer(originX + 50, originY + 10); }

  // A folder holding only the named stubs and the few programs the stubs
  // use themselves: as PATH it makes every other tool missing.
  std::string onlyTools(const std::vector<std::string>& kept) {
    std::string dir = folder.file("only");
    mkdir(dir.c_str(), 0755);
    for (const std::string& tool : kept)
      symlink((tools.folder() + "/bin/" + tool).c_str(), (dir + "/" + tool).c_str());
    for (const char* helper : {"od", "tr", "cat", "readlink", "timeout"}) {
      std::string real = findProgram(helper);
      if (!real.empty()) symlink(real.c_str(), (dir + "/" + helper).c_str());
    }
    return dir;
  }

  // A script of our own first on PATH in place of a stub.
  void replaceTool(const std::string& tool, const std::string& body) {
    folder.write("bin/" + tool, "#!/bin/sh\nd='" + folder.path() + "'\n" + body, 0755);
  }
  std::string pathWithReplacements() { return folder.file("bin") + ":" + std::getenv("PATH"); }

  void closeAndExpectZero() {
    x->send_delete_window(window);
    EXPECT_EQ(monitor.wait(5000), 0) << errors();
  }
  std::string errors() { return folder.read("stderr"); }

  StubTools tools;
  ScratchDir folder;
  std::unique_ptr<XServer> x;
  ChildProcess monitor;  // after x: ended before the server goes
  Window window = 0;
  int originX = 0, originY = 0;
  XErrorHandler previousHandler = nullptr;
};

}  // namespace
