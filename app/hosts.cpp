// The host table and the variables the whole monitor shares.
#include "app/hosts.hpp"

#include <sys/time.h>

HostRecord hosts[hostSlots];
uint8_t hostCount = 0;

Text launcherCommand;
uint16_t screenWidth = 0;
uint16_t screenHeight = 0;
int64_t mouseX = 0, mouseY = 0, mouseWheel = 0, mouseButtons = 0;
double lastClickTime = 0;

double wallClock() {
  struct timeval now;
  gettimeofday(&now, nullptr);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) * 1e-6;
}

namespace {

// Records cannot be reassigned (they stay in their slots), so empty each field.
void emptyRecord(HostRecord& host) {
  host.name.clear();
  host.address.clear();
  host.canonicalName.clear();
  for (Text& line : host.portLines) line.clear();
  for (double& sample : host.latency) sample = 0;
  for (Text& stamp : host.timeStamps) stamp.clear();
  host.lastPingTime = 0;
  host.reachable = 0;
  host.pingInterval = 0;
  host.nameSafe = true;
}

}  // namespace

void resetHostTable() {
  for (HostRecord& host : hosts) emptyRecord(host);
  hostCount = 0;
  launcherCommand.clear();
  screenWidth = screenHeight = 0;
  mouseX = mouseY = mouseWheel = mouseButtons = 0;
  lastClickTime = 0;
}
