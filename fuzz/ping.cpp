// The ping parser over arbitrary output: a line with "time=" shifts both
// histories one place toward the start and appends one sample; any other
// line changes nothing; index 0 is never touched.
#include <cmath>
#include <cstdint>
#include <vector>

#include "app/hosts.hpp"
#include "app/latency.hpp"
#include "check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HostRecord host;
  double latency[latencySlots];
  Text stamps[latencySlots];
  for (int i = 0; i < latencySlots; ++i) {
    host.latency[i] = latency[i] = i == 0 ? -1.0 : i * 0.5;
    host.timeStamps[i] = stamps[i] = "stamp " + integerText(i);
  }

  const Text output(reinterpret_cast<const char*>(data), size);
  for (size_t at = 0; at <= size;) {
    const size_t lf = output.find('\n', at);
    const size_t end = lf == Text::npos ? size : lf;
    const Text line = output.substr(at, end - at);
    at = end + 1;

    applyPingLine(host, line);
    const size_t p = line.find("time=");
    if (p != Text::npos) {
      for (int k = 1; k <= 99; ++k) {
        latency[k] = latency[k + 1];
        stamps[k] = stamps[k + 1];
      }
      // At most five bytes after the first "time=" are read.
      latency[100] = parseNumber(line.substr(p + 5, 5));
      FUZZ_CHECK(!std::isnan(host.latency[100]));
      FUZZ_CHECK(host.latency[100] == latency[100]);
      // "HH:MM:SS", or empty when the local time is unknown.
      const Text& stamp = host.timeStamps[100];
      FUZZ_CHECK(stamp.empty() || (stamp.size() == 8 && stamp[2] == ':' && stamp[5] == ':'));
      stamps[100] = stamp;
    }
    for (int k = 0; k < latencySlots; ++k) {
      FUZZ_CHECK(host.latency[k] == latency[k]);
      FUZZ_CHECK(host.timeStamps[k] == stamps[k]);
    }
  }
  FUZZ_CHECK(host.latency[0] == -1.0);
  FUZZ_CHECK(host.timeStamps[0] == "stamp 0");
  return 0;
}
