// The latency graph in the right half of a panel: the last 100 samples
// scaled so that the largest is 190 pixels high, green while good, with the
// newest value marked and a tooltip for the sample under the pointer.
#include "app/graph.hpp"

#include "app/paint.hpp"
#include "app/palette.hpp"

namespace {

constexpr uint16_t dashed = 0xFF00;  // style of the newest value's line

constexpr int newest = latencySlots - 1;

int64_t sampleX(int k) { return 3 * k + 450; }

// A sample is good when it answered within 20 ms; missing (0) is bad.
uint32_t sampleColor(double v) { return 0 < v && v <= 20 ? goodSample : badSample; }

void tooltip(const HostRecord& host, int32_t t) {
  if (!(t < mouseY && mouseY < t + 200)) return;
  for (int k = 2; k <= newest; ++k) {
    if (host.latency[k] == 0) continue;
    if (!(sampleX(k) - 2 < mouseX && mouseX < sampleX(k) + 2)) continue;
    float x = float(sampleX(k));
    drawSegment(x, float(t), x, float(t + 196), separatorGrey);
    int64_t n = int64_t(host.timeStamps[k].size());
    // Sized for the time stamp; the value above it may be wider.
    fillBox(float(mouseX + 10), float(mouseY - 2), float(mouseX + 8 * n + 14), float(mouseY + 30),
            separatorGrey);
    setTextColor(darkText);
    drawLabel(float(mouseX + 12), float(mouseY), formatNumber(host.latency[k], "0.##") + " ms");
    drawLabel(float(mouseX + 12), float(mouseY + 15), host.timeStamps[k]);
  }
}

}  // namespace

void drawGraphFrame(const HostRecord&, int32_t top) {
  drawSegment(400, float(top), 400, float(top + 197), separatorGrey);
  fillBox(401, float(top + 1), float(screenWidth), float(top + 196), graphBackground);
}

void drawGraph(const HostRecord& host, int32_t top) {
  const double* latency = host.latency;
  double m = 0;
  for (int k = 1; k <= newest; ++k)
    if (latency[k] > m) m = latency[k];

  setTextColor(graphLabels);
  drawLabel(405, float(top + 182), "0 ms");
  drawLabel(405, float(top + 2), formatNumber(m, "0.#") + " ms");

  // Without a sample above 0 there is no scale: no value line, label or curve.
  if (m > 0) {
    double s = 190 / m;
    double base = top + 196;
    auto y = [&](double v) { return toCoordinate(base - s * v); };

    float yc = y(latency[newest]);
    drawSegment(401, yc, 800, yc, separatorGrey, dashed);
    drawLabel(735, yc, formatNumber(latency[newest], "0.##") + " ms");

    for (int k = 2; k <= newest; ++k)
      drawSegment(float(sampleX(k)), y(latency[k]), float(sampleX(k) - 3), y(latency[k - 1]),
                  sampleColor(latency[k]));
  }

  tooltip(host, top);
}
