// Faults injected into the built tandrel, each with the behaviour expected
// of it: tools missing or never ending, stop signals, the X server killed and
// the window manager restarted (a bad tandrel.cfg: config_faults_test.cpp).
// Only stub tools run here; the hosts are names the stubs answer for.
#include "e2e/faults_fixture.hpp"
#include "lab/window_pixels.hpp"

namespace {

// --- tools missing from PATH ----------------------------------------------
// Expected: the shell cannot find the tool, the probe or ping reads nothing,
// the fields stay as they were (empty) and the program runs on.

TEST_F(Faults, NoToolAtAllLeavesEveryFieldEmptyAndTheProgramRuns) {
  startX();
  startMonitor(onlyTools({}));
  ASSERT_TRUE(windowUp()) << "status " << monitor.wait(0) << ": " << errors();
  EXPECT_GT(count(66, 20, 170, 33, textColour), 0);              // the name itself
  EXPECT_EQ(count(66, 35, 299, 48, textColour), 0);              // no alias
  EXPECT_EQ(count(66, 50, 299, 63, textColour), 0);              // no address
  EXPECT_GT(count(70, 67, 70 + 21 * 8, 80, noticeColour), 100);  // never reached: unreachable
  std::this_thread::sleep_for(std::chrono::seconds(3));          // past a ping interval
  EXPECT_TRUE(monitor.running()) << errors();
  EXPECT_TRUE(tools.calls().empty());
  closeAndExpectZero();
}

TEST_F(Faults, MissingScannerShowsTheAddressAndTheHostAsUnreachable) {
  startX();
  startMonitor(onlyTools({"nslookup", "ping"}));
  ASSERT_TRUE(windowUp()) << errors();
  EXPECT_GT(count(66, 50, 299, 63, textColour), 0);  // the address from nslookup
  EXPECT_GT(count(70, 67, 70 + 21 * 8, 80, noticeColour), 100);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_TRUE(monitor.running());
  EXPECT_TRUE(tools.calls("ping").empty()) << "an unreachable host was pinged";
  closeAndExpectZero();
}

TEST_F(Faults, MissingPingAddsNoSampleAndTheLoopGoesOn) {
  startX();
  startMonitor(onlyTools({"nslookup", "nmap"}));
  ASSERT_TRUE(windowUp()) << errors();
  EXPECT_EQ(x->pixel(window, 302, 69), face);            // the scan's SSH line with its button
  std::this_thread::sleep_for(std::chrono::seconds(5));  // two ping attempts at least
  EXPECT_TRUE(monitor.running()) << errors();
  EXPECT_EQ(count(451, 1, 799, 195, good) + count(451, 1, 799, 195, bad), 0)
      << "a sample without ping";
  pointAtReload();  // the loop still turns: the button lights up under the pointer
  EXPECT_TRUE(wait_until([&] { return reloadHighlighted(); }, 3000));
  x->move_pointer(1023, 767);
  closeAndExpectZero();
}

// --- a tool that never ends its output until killed ------------------------
// Expected: the program waits for it (the window does not appear, or stands
// still, by design); once the tool is killed it carries on, and what the
// tool printed before is kept.

TEST_F(Faults, ScanThatNeverEndsHoldsTheStartUntilKilledAndItsLineIsKept) {
  startX();
  replaceTool("nmap",
              "echo $$ > \"$d/nmap.pid\"\n"
              "printf 'Nmap scan report for alpha.test (127.0.0.2)\\nPORT   STATE SERVICE\\n22/tcp "
              "open  ssh\\n'\n"
              "exec sleep 600\n");
  startMonitor(pathWithReplacements());
  ASSERT_TRUE(wait_until([&] { return pidIn(folder.file("nmap.pid")) > 0; }, 10000));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_TRUE(monitor.running());
  EXPECT_EQ(x->find_window("Zeige 1 Server"), Window(0))
      << "the window opened before the scan ended";

  ASSERT_EQ(kill(pidIn(folder.file("nmap.pid")), SIGKILL), 0);
  ASSERT_TRUE(windowUp(10000)) << "status " << monitor.wait(0) << ": " << errors();
  // The port line read before the kill: reachable, with its SSH button, and pinged.
  EXPECT_TRUE(wait_until([&] { return x->pixel(window, 302, 69) == face; }));
  EXPECT_EQ(count(70, 67, 70 + 21 * 8, 80, noticeColour), 0);
  EXPECT_TRUE(wait_until([&] { return greenSample(100); }, 5000));
  closeAndExpectZero();
}

TEST_F(Faults, PingThatHangsHoldsNeitherTheWindowNorTheOtherHostNorTheExit) {
  folder.write("tandrel.cfg", "terminal=true\nalpha.test\nbeta.test\n");
  startX();
  // alpha's first ping answers, its second hangs 10 s; beta's answer at once.
  replaceTool("ping",
              "[ $1 = alpha.test ] && [ -e \"$d/ping.pid\" ] && { echo $$ > \"$d/ping.pid\"; exec "
              "sleep 10; }\n[ $1 = alpha.test ] && : > \"$d/ping.pid\"\nexec '" +
                  tools.folder() + "/bin/ping' \"$@\"\n");
  startMonitor(pathWithReplacements());
  ASSERT_TRUE(windowUp(15000, "Zeige 2 Server")) << errors();
  ASSERT_TRUE(wait_until([&] { return pidIn(folder.file("ping.pid")) > 0; }, 10000));
  const pid_t hung = pidIn(folder.file("ping.pid"));
  const size_t before = tools.calls("ping").size();
  for (int i = 0; i < 6; ++i) {  // 6 s of the hang: hovers on beta's panel answer
    x->move_pointer(originX + 50, originY + 210);
    EXPECT_TRUE(wait_until([&] { return x->pixel(window, 5, 205) == textColour; }, 500)) << i;
    x->move_pointer(1023, 767);
    EXPECT_TRUE(wait_until([&] { return x->pixel(window, 5, 205) == face; }, 500)) << i;
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
  }
  EXPECT_GE(tools.calls("ping").size() - before, 2u) << "beta not pinged every 2 s";
  EXPECT_LE(tools.calls("ping").size() - before, 4u);
  ASSERT_TRUE(runs(hung)) << "the hanging ping ended early";
  x->send_delete_window(window);
  EXPECT_EQ(monitor.wait(1000), 0) << errors();
  EXPECT_TRUE(wait_until([&] { return !runs(hung); }, 1000)) << "the ping outlived the program";
}

// --- stop signals ------------------------------------------------------------
// Expected: ignored from the start (nohup, a script's background job), a
// signal stays ignored; Ctrl-C during a client ends the monitor as without one.

TEST_F(Faults, HangupAndInterruptIgnoredFromTheStartStayIgnored) {
  startX();
  startMonitor("", {}, {"sh", "-c", "trap '' HUP INT; exec \"$0\""});
  ASSERT_TRUE(windowUp()) << errors();
  for (int signal : {SIGHUP, SIGINT}) kill(monitor.pid(), signal);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(monitor.running()) << "status " << monitor.wait(0);
  closeAndExpectZero();
}

TEST_F(Faults, InterruptDuringAClientEndsTheMonitor) {
  startX();
  replaceTool("launcher", "echo $$ > \"$d/launcher.pid\"\nexec sleep 600\n");
  folder.write("tandrel.cfg", "terminal=launcher\nalpha.test\n");
  startMonitor(pathWithReplacements());
  ASSERT_TRUE(windowUp()) << errors();
  x->move_pointer(originX + 350, originY + 72);  // the SSH-Client button
  x->button(1, true);
  ASSERT_TRUE(wait_until([&] { return pidIn(folder.file("launcher.pid")) > 0; }, 10000));
  x->button(1, false);
  kill(-monitor.pid(), SIGINT);  // Ctrl-C in the terminal reaches its whole group
  EXPECT_EQ(monitor.wait(5000), 128 + SIGINT) << errors();
}

// --- the X server killed -----------------------------------------------------
// Expected: the program ends within a few seconds, says so on stderr and
// exits with a status other than 0 (not through a signal).

TEST_F(Faults, XServerKilledEndsTheProgramPromptlyWithAMessage) {
  startX();
  startMonitor();
  ASSERT_TRUE(windowUp()) << errors();
  ASSERT_TRUE(wait_until([&] { return greenSample(100); }, 5000));
  x->close_display();
  auto killed = std::chrono::steady_clock::now();
  ASSERT_EQ(kill(x->pid(), SIGKILL), 0);
  int status = monitor.wait(5000);
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - killed);
  ASSERT_NE(status, -1) << "still running 5 s after the server went";
  EXPECT_GT(status, 0);
  EXPECT_LT(status, 128) << "ended by a signal";
  EXPECT_NE(errors().find("X-Server"), std::string::npos) << errors();
  EXPECT_LT(took.count(), 3000);
}

TEST_F(Faults, XServerKilledDuringAHungPingEndsTheProgramAndThePing) {
  startX();
  replaceTool("ping", "echo $$ > \"$d/ping.pid\"\nexec sleep 600\n");
  startMonitor(pathWithReplacements());
  ASSERT_TRUE(windowUp(15000, "Zeige 1 Server", false)) << errors();  // its first frame pings
  ASSERT_TRUE(wait_until([&] { return pidIn(folder.file("ping.pid")) > 0; }, 10000));
  x->close_display();
  ASSERT_EQ(kill(x->pid(), SIGKILL), 0);
  auto killed = std::chrono::steady_clock::now();
  int status = monitor.wait(5000);
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - killed);
  ASSERT_NE(status, -1) << "still running while the ping hangs";
  EXPECT_LT(took.count(), 3000);
  EXPECT_GT(status, 0);
  EXPECT_LT(status, 128) << "ended by a signal";
  const pid_t hung = pidIn(folder.file("ping.pid"));
  EXPECT_TRUE(wait_until([&] { return !runs(hung); }, 1000)) << "the ping outlived the program";
  EXPECT_NE(errors().find("X-Server"), std::string::npos) << errors();
}

// --- the window manager restarted --------------------------------------------
// Expected: the program runs on; its window is still there, mapped, drawn
// and answering the pointer and the close box.

class WindowManaged : public Faults {
 protected:
  bool stillWorking() {
    if (!monitor.running()) return false;
    window = x->find_window("Zeige 1 Server");
    if (!window) return false;
    XWindowAttributes a;
    if (!XGetWindowAttributes(x->display(), window, &a) || a.map_state != IsViewable) return false;
    locate();
    x->focus(window);
    return x->pixel(window, 225, 18) == face && x->pixel(window, 302, 69) == face;
  }
  void pointerStillAnswers() {
    pointAtReload();
    EXPECT_TRUE(wait_until([&] { return reloadHighlighted(); }, 3000));
    x->move_pointer(1023, 767);
    EXPECT_TRUE(wait_until([&] { return !reloadHighlighted(); }, 3000));
  }
};

TEST_F(WindowManaged, OpenboxRestartKeepsTheWindow) {
  startX();
  startMonitor();
  ASSERT_TRUE(windowUp()) << errors();
  ChildProcess restart;
  ASSERT_TRUE(
      restart.start({"openbox", "--restart"}, "", environmentWith({"DISPLAY=" + x->name()})));
  EXPECT_EQ(restart.wait(10000), 0);
  std::this_thread::sleep_for(
      std::chrono::milliseconds(1000));  // openbox takes the windows over again
  EXPECT_TRUE(wait_until([&] { return stillWorking(); }, 10000, 50)) << errors();
  pointerStillAnswers();
  closeAndExpectZero();
}

TEST_F(WindowManaged, WindowManagerKilledAndStartedAgainKeepsTheWindow) {
  if (findProgram("openbox").empty()) GTEST_SKIP() << "no openbox";
  startX(false);
  Atom check = XInternAtom(x->display(), "_NET_SUPPORTING_WM_CHECK", False);
  auto announced = [&]() -> Window {  // the window manager's own window, while one runs
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    Window w = 0;
    if (XGetWindowProperty(x->display(), x->root(), check, 0, 1, False, XA_WINDOW, &type, &format,
                           &n, &after, &data) == Success &&
        n == 1)
      w = *reinterpret_cast<Window*>(data);
    if (data) XFree(data);
    XWindowAttributes a;
    return w && XGetWindowAttributes(x->display(), w, &a) ? w : 0;
  };
  auto wm = std::make_unique<ChildProcess>();
  ASSERT_TRUE(
      wm->start({"openbox", "--sm-disable"}, "", environmentWith({"DISPLAY=" + x->name()})));
  ASSERT_TRUE(wait_until([&] { return announced() != 0; }, 20000, 20));
  startMonitor();
  ASSERT_TRUE(windowUp()) << errors();
  ASSERT_TRUE(wait_until([&] { return stillWorking(); }, 5000, 50));

  // A crash rather than an orderly end: the server hands the window back to the root.
  kill(wm->pid(), SIGKILL);
  EXPECT_NE(wm->wait(5000), -1);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(wait_until([&] { return stillWorking(); }, 5000, 50))
      << "without a window manager: " << errors();

  wm = std::make_unique<ChildProcess>();
  ASSERT_TRUE(
      wm->start({"openbox", "--sm-disable"}, "", environmentWith({"DISPLAY=" + x->name()})));
  ASSERT_TRUE(wait_until([&] { return announced() != 0; }, 20000, 20));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(wait_until([&] { return stillWorking(); }, 10000, 50))
      << "under the new window manager: " << errors();
  pointerStillAnswers();
  closeAndExpectZero();
}

}  // namespace
