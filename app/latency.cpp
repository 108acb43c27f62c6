// A host's ping: started without waiting, read a little every frame, each
// reply line's time shifted into the 100-sample history.
#include "app/latency.hpp"

#include <cstdlib>
#include <utility>

#include "app/commands.hpp"
#include "app/streams.hpp"

namespace {

// Read per host and frame: a ping that prints without end never holds a frame.
constexpr size_t readLimit = 4096;
// A line without its end is kept up to this length, then only as far as the
// "time=" rule can still need it.
constexpr size_t lineKept = 4096;

// Keeps the first "time=" and the 6 bytes after it (one more than are read,
// so that taking a CR off the line's end never shortens them); without one,
// the last 4 bytes, where one may begin.
void shortenLongLine(Text& line) {
  if (line.size() <= lineKept) return;
  const size_t p = line.find("time=");
  if (p == Text::npos)
    line.erase(0, line.size() - 4);
  else if (line.size() > p + 11)
    line.resize(p + 11);
}

// Takes off the LF and a CR before it, or a CR that is the last byte of the data.
void applyLine(HostRecord& host, Text line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (applyPingLine(host, line)) host.ping.answered = true;
}

void applyCompleteLines(HostRecord& host, size_t from) {
  Text& part = host.ping.partLine;
  size_t start = 0;
  for (size_t end = part.find('\n', from); end != Text::npos; end = part.find('\n', start)) {
    applyLine(host, part.substr(start, end + 1 - start));
    start = end + 1;
  }
  part.erase(0, start);
  shortenLongLine(part);
}

}  // namespace

bool applyPingLine(HostRecord& host, const Text& line) {
  const int64_t p = findText(1, line, "time=");
  if (p == 0) return false;
  for (int k = 1; k <= 99; ++k) {
    host.latency[k] = host.latency[k + 1];
    host.timeStamps[k] = std::move(host.timeStamps[k + 1]);
  }
  host.latency[100] = parseNumber(substring(line, p + 5, 5));
  host.timeStamps[100] = timeOfDayText();  // taken after the value was read
  return true;
}

bool sampleLatency(HostRecord& host) {
  if (host.ping.stream != 0) return true;  // one ping per host at a time
  const Text command = pingCommand(host);
  if (command.empty()) return false;
  static bool endsWithProgram = false;
  if (!endsWithProgram) endsWithProgram = std::atexit(endPings) == 0;
  host.ping = PingRun{openCommandPipe(command, PipeMode::Watched), Text(), false};
  return host.ping.stream != 0;
}

PingEnd collectPing(HostRecord& host) {
  PingRun& run = host.ping;
  if (run.stream == 0) return PingEnd::None;
  const size_t before = run.partLine.size();
  const StreamState state = readAvailable(run.stream, run.partLine, readLimit);
  applyCompleteLines(host, before);
  if (state == StreamState::Open) return PingEnd::None;
  if (!run.partLine.empty()) applyLine(host, std::move(run.partLine));  // the last line had no LF
  const bool answered = run.answered;
  run = PingRun();
  return answered ? PingEnd::Answered : PingEnd::Silent;
}

void endPings() {
  for (HostRecord& host : hosts) {
    if (host.ping.stream != 0) abortStream(host.ping.stream);
    host.ping = PingRun();
  }
}
