// One host panel: buttons, labels, port lines, client buttons and the ping
// check. Drawing and input handling are one pass: every button is drawn, then
// tested against this frame's mouse snapshot, and an accepted click acts at
// once, so whatever is drawn after it already shows the result.
#include "app/ui/panel.hpp"

#include <signal.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

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

// A face from top to bottom with its label at labelY.
void drawButton(const ButtonSpan& b, int32_t top, int32_t bottom, int32_t labelY, const Text& label,
                uint32_t face, uint32_t text) {
  fillBox(float(b.left), float(top), float(b.right), float(bottom), face);
  setTextColor(text);
  drawLabel(float(b.labelX), float(labelY), label);
}

constexpr double slowDebounce = 1.0;   // reload and client buttons
constexpr double fastDebounce = 0.25;  // interval button

// A left-button click, alone, once the debounce time has passed since the
// last accepted click on any button of any panel.
bool clickAccepted(double debounce) {
  double now = wallClock();
  return mouseButtons == 1 && now - debounce > lastClickTime;
}

// Made once per value, not once per frame.
const Text& intervalLabel(const HostRecord& host) {
  static Text labels[256];
  Text& label = labels[uint8_t(host.pingInterval)];
  if (label.empty()) label = "Ping alle " + integerText(int32_t(host.pingInterval)) + "s";
  return label;
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

// FTP or SSH button beside the port line at y. The SSH face is one row taller.
// The command is put together only for a click.
void clientButton(int32_t y, const char* label, int32_t faceBottom, const HostRecord& host,
                  Text (*command)(const HostRecord&)) {
  drawButton(clientButtonSpan, y, y + faceBottom, y, label, buttonFace, lightText);
  if (pointerOver(clientButtonSpan, y, y + 14)) {
    drawButton(clientButtonSpan, y, y + 14, y, label, lightText, darkText);
    if (clickAccepted(slowDebounce)) runClient(command(host));
  }
}

void topButtons(HostRecord& host, int32_t t) {
  drawButton(reloadButton, t + 1, t + 19, t + 3, "Neuladen", buttonFace, lightText);
  drawButton(intervalButton, t + 1, t + 19, t + 3, intervalLabel(host), buttonFace, lightText);

  if (pointerOver(reloadButton, t, t + 19)) {
    drawButton(reloadButton, t + 1, t + 19, t + 3, "Neuladen", lightText, darkText);
    if (clickAccepted(slowDebounce)) {
      probeHost(host);
      lastClickTime = wallClock();  // counted from the end of the probe
    }
  } else if (pointerOver(intervalButton, t, t + 19)) {
    // The new value shows next frame.
    drawButton(intervalButton, t + 1, t + 19, t + 3, intervalLabel(host), lightText, darkText);
    if (clickAccepted(fastDebounce)) {
      host.pingInterval = int8_t(host.pingInterval + 1);
      if (host.pingInterval > 10) host.pingInterval = 1;
      lastClickTime = wallClock();
    }
  }
}

void portLines(const HostRecord& host, int32_t t) {
  // A name that is not safe for the shell has no client commands, so no buttons.
  const bool clients = hostNameUsable(host);
  for (int i = 1; i <= 9; ++i) {
    int32_t y = t + 52 + 15 * i;
    const Text& line = host.portLines[i];
    setTextColor(lightText);
    if (line.empty()) continue;
    drawLabel(70, float(y), line);
    if (clients && reportsOpenFtp(line)) clientButton(y, "FTP-Client", 13, host, ftpCommand);
    if (clients && reportsOpenSsh(line)) clientButton(y, "SSH-Client", 14, host, sshCommand);
  }
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

// The part of a panel above and left of the graph; the graph's frame follows it.
void fixedPart(HostRecord& host, int32_t t) {
  topButtons(host, t);

  setTextColor(lightText);
  drawLabel(10, float(t + 20), "Name:  " + host.name);
  drawLabel(10, float(t + 35), "Alias: " + host.canonicalName);
  drawLabel(10, float(t + 50), "IP:    " + host.address);

  drawSegment(0, float(t + 65), 400, float(t + 65), separatorGrey);
  drawLabel(10, float(t + 67), "NMAP:");
  portLines(host, t);

  if (host.reachable == 0) {
    // A refused name was never probed, so nothing is known about the host.
    bool refused = !hostNameUsable(host);
    setTextColor(noticeRed);
    drawLabel(70, float(t + 67), refused ? "Name abgelehnt" : "Host nicht erreichbar");
  }

  drawSegment(0, float(t - 3), float(screenWidth), float(t - 3), separatorGrey);
  drawSegment(0, float(t), float(screenWidth), float(t), separatorGrey);
}

// Whether the pointer may be over one of the panel's buttons: then the fixed
// part highlights and takes clicks.
bool nearButtons(int32_t t) {
  return pointerOver(reloadButton, t, t + 19) || pointerOver(intervalButton, t, t + 19) ||
         pointerOver(clientButtonSpan, t + 66, t + 202);
}

// Everything the fixed part draws from, as bytes. False when it would not fit.
struct PanelKey {
  uint8_t bytes[1024];
  size_t size = 0;
};

bool addKey(PanelKey& key, const void* data, size_t n) {
  if (n > sizeof key.bytes - key.size) return false;
  std::memcpy(key.bytes + key.size, data, n);
  key.size += n;
  return true;
}

bool addKey(PanelKey& key, const Text& text) {
  const size_t n = text.size();
  return addKey(key, &n, sizeof n) && addKey(key, text.data(), n);
}

bool panelKey(const HostRecord& host, int32_t t, PanelKey& key) {
  // Whether the name may be used follows from the flag and the name, both in
  // the key: no need to check the name again every frame.
  const int32_t numbers[] = {t, host.pingInterval, host.reachable, host.nameSafe, screenWidth};
  bool fits = addKey(key, numbers, sizeof numbers) && addKey(key, host.name) &&
              addKey(key, host.canonicalName) && addKey(key, host.address);
  for (int i = 1; i <= 9 && fits; ++i) fits = addKey(key, host.portLines[i]);
  return fits;
}

constexpr uint32_t fixedPartRun = 0x10000u;  // apart from the graph's run ids

}  // namespace

void drawHostPanel(HostRecord& host, uint16_t top) {
  int32_t t = top;  // signed: the separator above the first panel lies at -3
  // Away from the pointer the fixed part and the graph's frame only draw,
  // the same for the same fields: the last frame's drawing is repeated. The
  // colours are set the same on both sides, as a repeat needs; the graph
  // sets its own.
  PanelKey key;
  const bool keyed = !nearButtons(t) && panelKey(host, t, key);
  if (keyed) setTextColor(lightText);
  if (!keyed || !draw_run_repeat(fixedPartRun + uint32_t(t), key.bytes, key.size)) {
    fixedPart(host, t);
    drawGraphFrame(host, t);
    if (keyed) {
      setTextColor(lightText);
      draw_run_end();
    }
  }
  pingWhenDue(host);
  drawGraph(host, t);
}
