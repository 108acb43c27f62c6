// One ping of a host: its reply time shifted into the 100-sample history.
#include "app/latency.hpp"

#include <utility>

#include "app/commands.hpp"
#include "app/streams.hpp"

void applyPingLine(HostRecord& host, const Text& line) {
  const int64_t p = findText(1, line, "time=");
  if (p == 0) return;
  for (int k = 1; k <= 99; ++k) {
    host.latency[k] = host.latency[k + 1];
    host.timeStamps[k] = std::move(host.timeStamps[k + 1]);
  }
  host.latency[100] = parseNumber(substring(line, p + 5, 5));
  host.timeStamps[100] = timeOfDayText();  // taken after the value was read
}

void sampleLatency(HostRecord& host) {
  const Text command = pingCommand(host);
  if (command.empty()) return;
  StreamHandle ping = openCommandPipe(command, PipeMode::Tool);
  Text line;
  while (!atEndOfInput(ping)) {
    readLine(ping, line);
    applyPingLine(host, line);
  }
  closeStream(ping);
}
