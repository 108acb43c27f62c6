// Clicks through the real main loop: hit areas, the shared debounce, held
// buttons, the ping check and the client commands.
#include "app/ui/ui_support.hpp"

#include <unistd.h>

#include <cmath>
#include <thread>
#include <vector>

#include "app/commands.hpp"
#include "app/config.hpp"
#include "app/ui/window.hpp"
#include "gfx/input.hpp"
#include "gfx/screen.hpp"

using namespace ui;

namespace {

class LoopInput : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    launcherCommand = tools->launcher();
  }
  void open() { ASSERT_EQ(openWindow(hostCount), 0); }
};

const char* const filesScan =
    "PORT   STATE SERVICE\n21/tcp open  ftp\n22/tcp open  ssh\n80/tcp open  http\n";

enum Action { none, reload, interval, client };

struct Probe {
  int x, y;
  Action want;
};

// One left click per frame with the debounce cleared before each, and what
// each click did.
void clickEach(Tools& tools, HostRecord& host, const std::vector<Probe>& probes) {
  std::vector<Action> got;
  int reloads = 0, clients = 0, lastInterval = 0;
  runLoop([&](int frame, Pointer& p) {
    if (frame > 0) {
      int r = tools.calls("nslookup"), c = tools.calls("launcher");
      Action a = r > reloads                         ? reload
                 : c > clients                       ? client
                 : host.pingInterval != lastInterval ? interval
                                                     : none;
      if (a == none) {
        EXPECT_EQ(lastClickTime, 0) << "frame " << frame - 1;
      }
      got.push_back(a);
      reloads = r;
      clients = c;
    }
    if (frame == int(probes.size())) return false;
    lastClickTime = 0;
    host.pingInterval = 2;
    lastInterval = 2;
    p.x = probes[frame].x;
    p.y = probes[frame].y;
    p.buttons = 1;
    return true;
  });
  ASSERT_EQ(got.size(), probes.size());
  for (size_t i = 0; i < probes.size(); ++i)
    EXPECT_EQ(got[i], probes[i].want) << "click at (" << probes[i].x << ", " << probes[i].y << ")";
}

TEST_F(LoopInput, HitAreasOfTheSecondPanel) {
  placeHost("alpha.test");
  HostRecord& h = placeHost("beta.test");
  tools->answer("nmap", "beta.test", filesScan);
  h.portLines[1] = "21/tcp open  ftp";
  h.portLines[2] = "22/tcp open  ssh";
  open();
  const int t = 200, f = t + 67, s = t + 82;
  clickEach(
      *tools, h,
      {{20, t + 10, none},  {21, t + 10, reload},    {99, t + 10, reload},    {100, t + 10, none},
       {50, t, none},       {50, t + 1, reload},     {50, t + 18, reload},    {50, t + 19, none},
       {120, t + 10, none}, {121, t + 10, interval}, {229, t + 10, interval}, {230, t + 10, none},
       {150, t, none},      {150, t + 1, interval},  {150, t + 18, interval}, {150, t + 19, none},
       {300, f + 5, none},  {301, f + 5, client},    {389, f + 5, client},    {390, f + 5, none},
       {350, f, none},      {350, f + 1, client},    {350, f + 13, client},   {350, f + 14, none},
       {350, s, none},      {350, s + 1, client},    {350, s + 13, client},   {350, s + 14, none},
       {10, t + 100, none}});
  // Every reload probed the second host only.
  EXPECT_EQ(tools->calls("nslookup"), 4);
  EXPECT_EQ(tools->log("nmap"), "beta.test\nbeta.test\nbeta.test\nbeta.test\n");
}

TEST_F(LoopInput, OnlyTheLeftButtonAloneClicks) {
  HostRecord& h = placeHost("alpha.test");
  open();
  std::vector<int64_t> seen;
  const int32_t masks[] = {2, 4, 3, 5, 7, 0, 1};
  runLoop([&](int frame, Pointer& p) {
    if (frame > 0) seen.push_back(h.pingInterval);
    if (frame == 7) return false;
    lastClickTime = 0;
    p.x = 150;
    p.y = 10;
    p.buttons = masks[frame];
    return true;
  });
  EXPECT_EQ(seen, (std::vector<int64_t>{2, 2, 2, 2, 2, 2, 3}));
}

TEST_F(LoopInput, OneClickLocksEveryButtonOfEveryPanel) {
  HostRecord& a = placeHost("alpha.test");
  HostRecord& b = placeHost("beta.test");
  b.portLines[1] = "21/tcp open  ftp";
  open();
  struct Step {
    double after;  // seconds since the last accepted click
    int x, y;
    bool accept;
    double debounce;
  };
  // Reload on panel 0, then at once: reload, FTP and interval on panel 1 all
  // refused; the interval after 0.25 s; reload still refused until 1 s later.
  const std::vector<Step> steps = {
      {0, 50, 10, true, 1},       {0, 50, 210, false, 1},      {0, 350, 270, false, 1},
      {0, 150, 210, false, 0.25}, {0.3, 150, 210, true, 0.25}, {0, 50, 10, false, 1},
      {0.3, 350, 270, false, 1},  {1.05, 350, 270, true, 1},   {0, 150, 10, false, 0.25}};
  size_t i = 0;
  double before = 0, frameStart = 0;
  bool waiting = false;
  int accepted = 0;
  runLoop([&](int, Pointer& p) {
    double now = wallClock();
    if (!waiting && i > 0) {
      const Step& s = steps[i - 1];
      bool got = lastClickTime != before;
      // Decide only where the clock leaves no doubt.
      if (now - s.debounce <= before) {
        EXPECT_FALSE(got) << "step " << i - 1;
      }
      if (frameStart - s.debounce > before) {
        EXPECT_TRUE(got) << "step " << i - 1;
      }
      accepted += got;
    }
    if (i == steps.size()) return false;
    const Step& s = steps[i];
    if (now - lastClickTime < s.after) {  // pointer away while the time runs
      waiting = true;
      return true;
    }
    waiting = false;
    before = lastClickTime;
    frameStart = now;
    p.x = s.x;
    p.y = s.y;
    p.buttons = 1;
    ++i;
    return true;
  });
  EXPECT_EQ(accepted, 3);
  EXPECT_EQ(tools->log("nslookup"), "alpha.test\n");
  EXPECT_EQ(tools->calls("launcher"), 1);
  EXPECT_EQ(a.pingInterval, 2);
  EXPECT_EQ(b.pingInterval, 3);
}

TEST_F(LoopInput, HeldIntervalButtonAdvancesEveryQuarterSecondAndWraps) {
  HostRecord& h = placeHost("alpha.test");
  h.pingInterval = 8;
  open();
  std::vector<int> values{8};
  std::vector<double> clicks;
  double start = wallClock();
  runLoop([&](int, Pointer& p) {
    if (h.pingInterval != values.back()) {
      values.push_back(h.pingInterval);
      clicks.push_back(lastClickTime);
    }
    p.x = 150;
    p.y = 10;
    p.buttons = 1;
    return wallClock() - start < 1.2;
  });
  ASSERT_GE(values.size(), 4u);  // 1.2 s give four or five advances
  EXPECT_LE(values.size(), 6u);
  for (size_t k = 1; k < values.size(); ++k)
    EXPECT_EQ(values[k], values[k - 1] == 10 ? 1 : values[k - 1] + 1);
  EXPECT_EQ(values[3], 1);
  for (size_t k = 1; k < clicks.size(); ++k) EXPECT_GT(clicks[k] - clicks[k - 1], 0.25);
}

TEST_F(LoopInput, HeldReloadProbesOncePerSecondFromTheEndOfTheLastProbe) {
  HostRecord& h = placeHost("alpha.test");
  tools->delay("nmap", 0.3);
  open();
  std::vector<double> ends;
  double start = wallClock();
  runLoop([&](int, Pointer& p) {
    if (lastClickTime != 0 && (ends.empty() || ends.back() != lastClickTime))
      ends.push_back(lastClickTime);
    p.x = 50;
    p.y = 10;
    p.buttons = 1;
    return wallClock() - start < 2.9;
  });
  std::vector<double> starts = tools->starts("nslookup");
  ASSERT_GE(starts.size(), 2u);
  EXPECT_LE(starts.size(), 3u);
  ASSERT_GE(ends.size(), starts.size() - 1);
  for (size_t k = 1; k < starts.size(); ++k) {
    EXPECT_GT(starts[k] - ends[k - 1], 1.0);
    EXPECT_GT(ends[k - 1] - starts[k - 1], 0.3);  // set after the probe
  }
  EXPECT_EQ(h.reachable, 1);
}

TEST_F(LoopInput, IntervalClickCountsInTheSameFramesPingCheck) {
  HostRecord& h = placeHost("alpha.test");
  h.pingInterval = 10;
  open();
  runLoop([&](int frame, Pointer& p) {
    switch (frame) {
      case 0:  // 10 s: not due; after the click 1 s: due at once
        h.lastPingTime = int64_t(std::floor(wallClock())) - 5;
        p.x = 150;
        p.y = 10;
        p.buttons = 1;
        return true;
      case 1:
        EXPECT_EQ(h.pingInterval, 1);
        EXPECT_NE(h.ping.stream, 0) << "no ping started in the click's frame";
        // The label of the click's frame still shows the old value.
        EXPECT_TRUE(
            textAt(128, 3, "Ping alle 10s", dark, light, [](int x, int) { return x == 231; }));
        return true;  // pointer off the buttons
      default:
        if (h.ping.stream != 0 && frame < 1000) return true;  // read on while it runs
        EXPECT_EQ(tools->log("ping"), "alpha.test -c 1\n");
        EXPECT_DOUBLE_EQ(h.latency[100], 0.045);
        EXPECT_LE(std::fabs(double(h.lastPingTime) - wallClock()), 1.0);
        EXPECT_TRUE(textAt(128, 3, "Ping alle 1s", light, face));
        return false;
    }
  });
}

TEST_F(LoopInput, IntervalClickCanPostponeADuePing) {
  HostRecord& h = placeHost("alpha.test");
  open();
  int pingsBefore = -1;
  runLoop([&](int frame, Pointer& p) {
    double now = wallClock();
    if (frame == 0) {
      // With 2 s the ping is due, with 3 s it is not: last ping whole
      // seconds ago, early in a second so that the click's frame stays in it.
      while (now - std::floor(now) > 0.5) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        now = wallClock();
      }
      h.lastPingTime = int64_t(std::floor(now)) - 2;
      pingsBefore = tools->calls("ping");
      p.x = 150;
      p.y = 10;
      p.buttons = 1;
      return true;
    }
    EXPECT_EQ(h.pingInterval, 3);
    EXPECT_EQ(tools->calls("ping"), pingsBefore);
    return false;
  });
}

TEST_F(LoopInput, ReloadOfAnUnreachableHostProbesItAndPingsItInTheSameFrame) {
  placeHost("alpha.test");
  HostRecord& b = placeHost("beta.test", false);
  b.lastPingTime = 1;
  tools->answer("nmap", "beta.test", filesScan);
  open();
  runLoop([&](int frame, Pointer& p) {
    if (frame == 0) {
      EXPECT_EQ(tools->calls("ping"), 0);
      p.x = 50;
      p.y = 210;
      p.buttons = 1;
      return true;
    }
    if (frame == 1) {
      EXPECT_EQ(tools->log("nslookup"), "beta.test\n");
      EXPECT_EQ(tools->log("nmap"), "beta.test\n");
      EXPECT_EQ(b.reachable, 1);
      EXPECT_NE(b.ping.stream, 0) << "not pinged in the click's frame";
      // The click's own frame already shows the new scan, without the notice.
      EXPECT_TRUE(textAt(70, 267, "21/tcp open  ftp", light, background));
      EXPECT_TRUE(textAt(306, 267, "FTP-Client", light, face));
      EXPECT_TRUE(textAt(10, 235, "Alias: web.beta.test.", light, background));
    }
    if (b.ping.stream != 0 && frame < 1000) return true;  // read on while it runs
    EXPECT_EQ(tools->log("ping"), "beta.test -c 1\n");
    EXPECT_TRUE(textAt(735, 206, "0.04 ms", black, notText));  // 0.045: the half is dropped
    return false;
  });
}

TEST_F(LoopInput, ClientButtonsRunTheLauncherWithOneQuotedArgument) {
  HostRecord& h = placeHost("files.test");
  h.portLines[1] = "21/tcp open  ftp";
  h.portLines[2] = "22/tcp open  ssh";
  tools->delay("launcher", 0.2);
  open();
  double clickStart = 0;
  runLoop([&](int frame, Pointer& p) {
    switch (frame) {
      case 0:
        clickStart = wallClock();
        p = {350, 70, 1};
        return true;
      case 1:
        EXPECT_EQ(tools->log("launcher"), "1 [ftp -nv files.test]\n");
        EXPECT_GT(lastClickTime - clickStart, 0.2);  // taken after the command returned
        lastClickTime = 0;
        p = {350, 85, 1};
        return true;
      default:
        EXPECT_EQ(tools->log("launcher"), "1 [ftp -nv files.test]\n1 [ssh -X root@files.test]\n");
        return false;
    }
  });
}

TEST_F(LoopInput, UnsafeNamesNeverReachTheShell) {
  const std::string marker = tools->dir() + "/pwned";
  HostRecord& h = placeHost("x; touch " + marker);
  h.nameSafe = hostNameIsSafe(h.name);
  EXPECT_FALSE(h.nameSafe);
  h.portLines[1] = "21/tcp open  ftp";
  h.portLines[2] = "22/tcp open  ssh";
  open();
  runLoop([&](int frame, Pointer& p) {
    lastClickTime = 0;
    p = {350, frame == 0 ? 70 : 85, 1};
    return frame < 1;
  });
  EXPECT_EQ(tools->calls("launcher"), 0);
  EXPECT_NE(access(marker.c_str(), F_OK), 0);
}

TEST_F(LoopInput, OtherKeysAreDroppedOnePerFrame) {
  placeHost("alpha.test");
  open();
  int frames = runLoop([&](int frame, Pointer&) {
    if (frame == 0) {
      key_post('x');
      key_post(0x3BFF);  // F1
      key_post(KEY_CLOSE_BOX);
    }
    return true;
  });
  EXPECT_EQ(frames, 3);
}

TEST_F(LoopInput, PointerOffTheWindowReadsAsMinusOne) {
  placeHost("alpha.test");
  open();
  runLoop([&](int frame, Pointer& p) {
    if (frame == 0) {
      p.off = true;
      return true;
    }
    EXPECT_EQ(mouseX, -1);
    EXPECT_EQ(mouseY, -1);
    EXPECT_EQ(mouseButtons, -1);
    EXPECT_EQ(mouseWheel, -1);
    return false;
  });
}

}  // namespace
