// One host panel: buttons, labels, port lines, client buttons and the ping
// check. Drawing and input handling are one pass: every button is drawn, then
// tested against this frame's mouse snapshot, and an accepted click acts at
// once, so whatever is drawn after it already shows the result.
#include "app/panel.hpp"

#include <cmath>
#include <cstdlib>

#include "app/commands.hpp"
#include "app/graph.hpp"
#include "app/latency.hpp"
#include "app/paint.hpp"
#include "app/probe.hpp"

namespace {

constexpr uint32_t buttonFace = 0xFF0066CC;
constexpr uint32_t lightText = 0xFFF5FFFF;  // also the face under the pointer
constexpr uint32_t darkText = 0xFF010101;
constexpr uint32_t separator = 0xFF888B8B;
constexpr uint32_t warning = 0xFFE06C75;

constexpr double slowDebounce = 1.0;   // reload and client buttons
constexpr double fastDebounce = 0.25;  // interval button

// A left-button click, alone, once the debounce time has passed since the
// last accepted click on any button of any panel.
bool clickAccepted(double debounce) {
  double now = wallClock();
  return mouseButtons == 1 && now - debounce > lastClickTime;
}

Text intervalLabel(const HostRecord& host) {
  return "Ping alle " + integerText(int32_t(host.pingInterval)) + "s";
}

void runClient(const Text& command) {
  std::system(command.c_str());  // its exit status tells us nothing useful
  lastClickTime = wallClock();
}

// FTP or SSH button beside the port line at y. The SSH face is one row taller.
void clientButton(int32_t y, const char* label, int32_t faceBottom, const Text& command) {
  fillBox(300, float(y), 390, float(y + faceBottom), buttonFace);
  setTextColor(lightText);
  drawLabel(306, float(y), label);
  if (300 < mouseX && mouseX <= 389 && y < mouseY && mouseY < y + 14) {
    fillBox(300, float(y), 390, float(y + 14), lightText);
    setTextColor(darkText);
    drawLabel(306, float(y), label);
    if (clickAccepted(slowDebounce)) runClient(command);
  }
}

void topButtons(HostRecord& host, int32_t t) {
  fillBox(0, float(t + 1), 100, float(t + 19), buttonFace);
  fillBox(120, float(t + 1), 230, float(t + 19), buttonFace);
  setTextColor(lightText);
  drawLabel(20, float(t + 3), "Neuladen");
  drawLabel(128, float(t + 3), intervalLabel(host));

  bool inBand = t < mouseY && mouseY < t + 19;
  if (inBand && 20 < mouseX && mouseX <= 99) {
    fillBox(0, float(t + 1), 100, float(t + 19), lightText);
    setTextColor(darkText);
    drawLabel(20, float(t + 3), "Neuladen");
    if (clickAccepted(slowDebounce)) {
      probeHost(host);
      lastClickTime = wallClock();  // counted from the end of the probe
    }
  } else if (inBand && 120 < mouseX && mouseX <= 229) {
    fillBox(120, float(t + 1), 230, float(t + 19), lightText);
    setTextColor(darkText);
    drawLabel(128, float(t + 3), intervalLabel(host));  // the new value shows next frame
    if (clickAccepted(fastDebounce)) {
      host.pingInterval = int8_t(host.pingInterval + 1);
      if (host.pingInterval > 10) host.pingInterval = 1;
      lastClickTime = wallClock();
    }
  }
}

void portLines(const HostRecord& host, int32_t t) {
  // A name that is not safe for the shell has no client commands, so no buttons.
  const Text ftp = ftpCommand(host), ssh = sshCommand(host);
  for (int i = 1; i <= 9; ++i) {
    int32_t y = t + 52 + 15 * i;
    const Text& line = host.portLines[i];
    setTextColor(lightText);
    if (!line.empty()) drawLabel(70, float(y), line);
    if (!ftp.empty() && reportsOpenFtp(line)) clientButton(y, "FTP-Client", 13, ftp);
    if (!ssh.empty() && reportsOpenSsh(line)) clientButton(y, "SSH-Client", 14, ssh);
  }
}

void pingWhenDue(HostRecord& host) {
  double now = wallClock();
  if (host.reachable == 1 && now - host.pingInterval > double(host.lastPingTime)) {
    sampleLatency(host);
    host.lastPingTime = int64_t(std::nearbyint(wallClock()));
  }
}

}  // namespace

void drawHostPanel(HostRecord& host, uint16_t top) {
  int32_t t = top;  // signed: the separator above the first panel lies at -3
  topButtons(host, t);

  setTextColor(lightText);
  drawLabel(10, float(t + 20), "Name:  " + host.name);
  drawLabel(10, float(t + 35), "Alias: " + host.canonicalName);
  drawLabel(10, float(t + 50), "IP:    " + host.address);

  drawSegment(0, float(t + 65), 400, float(t + 65), separator);
  drawLabel(10, float(t + 67), "NMAP:");
  portLines(host, t);

  if (host.reachable == 0) {
    // A refused name was never probed, so nothing is known about the host.
    bool refused = !hostNameUsable(host);
    setTextColor(warning);
    drawLabel(70, float(t + 67), refused ? "Name abgelehnt" : "Host nicht erreichbar");
  }

  drawSegment(0, float(t - 3), float(screenWidth), float(t - 3), separator);
  drawSegment(0, float(t), float(screenWidth), float(t), separator);

  drawGraphFrame(host, t);
  pingWhenDue(host);
  drawGraph(host, t);
}
