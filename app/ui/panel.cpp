// One host panel: buttons, labels, port lines, client buttons and the ping
// check. The pointer is tested once against this frame's mouse snapshot, an
// accepted click acts at once, and the panel is painted after it from a plain
// view of what it shows, so all of it already shows the click's result.
#include "app/ui/panel.hpp"

#include <signal.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>

#include "app/commands.hpp"
#include "app/latency.hpp"
#include "app/probe.hpp"
#include "app/ui/alert.hpp"
#include "app/ui/graph.hpp"
#include "app/ui/paint.hpp"
#include "app/ui/palette.hpp"
#include "gfx/draw.hpp"

namespace {

// A button's face spans [left, right] across; the pointer takes it at
// hitLeft < x <= hitRight (the reload button only from its label on), and
// its label starts at labelX.
struct ButtonSpan {
  int32_t left, right, hitLeft, hitRight, labelX;
};
constexpr ButtonSpan reloadButton{0, 100, 20, 99, 20};
constexpr ButtonSpan intervalButton{120, 230, 120, 229, 128};
constexpr ButtonSpan clientButtonSpan{300, 390, 300, 389, 306};

bool pointerOver(const ButtonSpan& b, int32_t top, int32_t bottom) {
  return b.hitLeft < mouseX && mouseX <= b.hitRight && top < mouseY && mouseY < bottom;
}

constexpr double slowDebounce = 1.0;   // reload and client buttons
constexpr double fastDebounce = 0.25;  // interval button

// A left-button click, alone, once the debounce time has passed since the
// last accepted click on any button of any panel.
bool clickAccepted(double debounce) {
  double now = wallClock();
  return mouseButtons == 1 && now - debounce > lastClickTime;
}

void runClient(const Text& command) {
  // Its exit status tells us nothing useful, but how its shell ended may:
  // system() ignores SIGINT and SIGQUIT here while the client runs, so a
  // Ctrl-C in the starting terminal reaches only the client. Taken again
  // here, it ends the monitor as it would have without the client.
  const int status = std::system(command.c_str());
  lastClickTime = wallClock();
  if (status != -1 && WIFSIGNALED(status) &&
      (WTERMSIG(status) == SIGINT || WTERMSIG(status) == SIGQUIT))
    raise(WTERMSIG(status));
}

// The client buttons beside a port line, as bits; none for a name that is
// not safe for the shell, which has no client commands.
constexpr int ftpButton = 1, sshButton = 2;
int clientButtons(bool usable, const Text& name, const Text& line) {
  return usable && !line.empty() ? reportsOpenFtp(line) * ftpButton |
                                       (reportsOpenSsh(line) && sshNameIsSafe(name)) * sshButton
                                 : 0;
}

// The one button under the pointer: these, a port line 1..9 for its client
// button, or 0 for none.
constexpr int32_t pointedReload = -1, pointedInterval = -2;

int32_t pointedButton(const HostRecord& host, int32_t t) {
  if (pointerOver(reloadButton, t, t + 19)) return pointedReload;
  if (pointerOver(intervalButton, t, t + 19)) return pointedInterval;
  for (int i = 1; i <= 9; ++i) {
    const int32_t y = t + 52 + 15 * i;
    if (pointerOver(clientButtonSpan, y, y + 14) &&
        clientButtons(hostNameUsable(host), host.name, host.portLines[i]))
      return i;
  }
  return 0;
}

// An accepted click acts at once. Of a line's two client buttons the SSH one
// lies on top, but the FTP click comes first and its debounce holds the other.
void actOnClick(HostRecord& host, int32_t pointed) {
  if (!pointed || !clickAccepted(pointed == pointedInterval ? fastDebounce : slowDebounce)) return;
  if (pointed > 0) {
    const bool ftp =
        clientButtons(hostNameUsable(host), host.name, host.portLines[pointed]) & ftpButton;
    return runClient(ftp ? ftpCommand(host) : sshCommand(host));
  }
  if (pointed == pointedReload)
    probeHost(host);
  else
    host.pingInterval = int8_t(host.pingInterval >= 10 ? 1 : host.pingInterval + 1);
  lastClickTime = wallClock();  // counted from the end of the probe
}

// All the fixed part paints, after the click; the interval's new value shows next frame.
struct PanelView {
  int32_t top, width, pointed, interval;  // interval: the one before the click
  bool reachable, nameSafe;               // with the name: whether it may be put into commands
  const Text *name = nullptr, *alias = nullptr, *address = nullptr;
  const Text* ports = nullptr;  // 1..9 shown
};

// Every field of the view, as the bytes of the run's key (a text: its length, then its bytes).
const Text& keyOf(const PanelView& v) {
  static Text key;  // kept, and its room with it
  const int32_t numbers[] = {v.top, v.width, v.pointed, v.interval, v.reachable, v.nameSafe};
  key.assign(reinterpret_cast<const char*>(numbers), sizeof numbers);
  const auto add = [](const Text& text) {
    const uint32_t n = uint32_t(text.size());  // a longer key makes no run anyway
    key.append(reinterpret_cast<const char*>(&n), sizeof n).append(text);
  };
  for (const Text* text : {v.name, v.alias, v.address}) add(*text);
  for (int i = 1; i <= 9; ++i) add(v.ports[i]);
  return key;
}

// A face from top to bottom with its label at labelY.
void drawButton(const ButtonSpan& b, int32_t top, int32_t bottom, int32_t labelY, const Text& label,
                uint32_t face, uint32_t text) {
  fillBox(float(b.left), float(top), float(b.right), float(bottom), face);
  setTextColor(text);
  drawLabel(float(b.labelX), float(labelY), label);
}

void paintTopButtons(const PanelView& v) {
  const int32_t t = v.top;
  const Text interval = "Ping alle " + integerText(int32_t(int8_t(v.interval))) + "s";
  drawButton(reloadButton, t + 1, t + 19, t + 3, "Neuladen", buttonFace, lightText);
  drawButton(intervalButton, t + 1, t + 19, t + 3, interval, buttonFace, lightText);
  if (v.pointed == pointedReload)
    drawButton(reloadButton, t + 1, t + 19, t + 3, "Neuladen", lightText, darkText);
  else if (v.pointed == pointedInterval)
    drawButton(intervalButton, t + 1, t + 19, t + 3, interval, lightText, darkText);
}

// FTP or SSH button beside the port line at y. The SSH face is one row taller.
void paintClientButton(int32_t y, const char* label, int32_t faceBottom, bool pointed) {
  drawButton(clientButtonSpan, y, y + faceBottom, y, label, buttonFace, lightText);
  if (pointed) drawButton(clientButtonSpan, y, y + 14, y, label, lightText, darkText);
}

void paintPortLines(const PanelView& v, bool usable) {
  for (int i = 1; i <= 9; ++i) {
    const int32_t y = v.top + 52 + 15 * i;
    const Text& line = v.ports[i];
    setTextColor(lightText);
    if (line.empty()) continue;
    drawLabel(70, float(y), line);
    const int buttons = clientButtons(usable, *v.name, line);
    if (buttons & ftpButton) paintClientButton(y, "FTP-Client", 13, v.pointed == i);
    if (buttons & sshButton) paintClientButton(y, "SSH-Client", 14, v.pointed == i);
  }
}

// The part of a panel above and left of the graph.
void paintFixedPart(const PanelView& v) {
  const int32_t t = v.top;
  const bool usable = v.nameSafe && hostNameIsSafe(*v.name);
  paintTopButtons(v);

  setTextColor(lightText);
  drawLabel(10, float(t + 20), "Name:  " + *v.name);
  drawLabel(10, float(t + 35), "Alias: " + *v.alias);
  drawLabel(10, float(t + 50), "IP:    " + *v.address);

  drawSegment(0, float(t + 65), 400, float(t + 65), separatorGrey);
  drawLabel(10, float(t + 67), "NMAP:");
  paintPortLines(v, usable);

  if (!v.reachable) {
    // A refused name was never probed, so nothing is known about the host.
    setTextColor(noticeRed);
    drawLabel(70, float(t + 67), usable ? "Host nicht erreichbar" : "Name abgelehnt");
  }

  drawSegment(0, float(t - 3), float(v.width), float(t - 3), separatorGrey);
  drawSegment(0, float(t), float(v.width), float(t), separatorGrey);
}

// The interval counts from the end of the last ping, which is read here a
// little every frame; a ping that cannot start counts as one that ended.
void pingWhenDue(HostRecord& host) {
  const auto pingEnded = [&] { host.lastPingTime = int64_t(std::nearbyint(wallClock())); };
  const PingEnd end = collectPing(host);
  noteHostPing(host, end);
  if (end != PingEnd::None) pingEnded();
  double now = wallClock();
  if (host.reachable == 1 && host.ping.stream == 0 &&
      now - host.pingInterval > double(host.lastPingTime) && !sampleLatency(host))
    pingEnded();
}

}  // namespace

void drawHostPanel(HostRecord& host, uint16_t top) {
  const int32_t t = top;  // signed: the separator above the first panel lies at -3
  const int32_t pointed = pointedButton(host, t);
  const int32_t shownInterval = host.pingInterval;
  actOnClick(host, pointed);
  PanelView view{t, screenWidth, pointed, shownInterval, host.reachable != 0, host.nameSafe};
  view.name = &host.name, view.alias = &host.canonicalName, view.address = &host.address;
  view.ports = host.portLines;
  const Text& key = keyOf(view);
  if (!draw_run_repeat(runId(RunPart::Panel, t), key.data(), key.size())) {
    paintFixedPart(view);
    draw_run_end();  // a key too long for a run began none, and ends none
  }
  pingWhenDue(host);
  drawGraph(host, t);
}
