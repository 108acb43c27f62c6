// The latency graph in the right half of a panel: the last 100 samples
// scaled so that the largest is 190 pixels high, green while good, with the
// newest value marked and a tooltip for the sample under the pointer.
#include "app/ui/graph.hpp"

#include <cstring>

#include "app/ui/paint.hpp"
#include "app/ui/palette.hpp"
#include "gfx/draw.hpp"

namespace {

constexpr uint16_t dashed = 0xFF00;  // style of the newest value's line

constexpr int newest = latencySlots - 1;

// The graph's field, relative to the panel's top: the edge line at x 400, the
// white field from x 401 and row 1 to row 196, which is also the zero line,
// the largest sample 190 rows above it, the scale labels at x 405.
constexpr int32_t edgeX = 400, fieldLeft = 401, fieldTop = 1, baseLine = 196;
constexpr double scaleHeight = 190;
constexpr int32_t scaleLabelX = 405, valueLabelX = 735;

int64_t sampleX(int k) { return 3 * k + 450; }

// A sample is good when it answered within 20 ms; missing (0) is bad.
uint32_t sampleColor(double v) { return 0 < v && v <= 20 ? goodSample : badSample; }

void tooltip(const HostRecord& host, int32_t t) {
  if (!(t < mouseY && mouseY < t + 200)) return;
  for (int k = 2; k <= newest; ++k) {
    if (host.latency[k] == 0) continue;
    if (!(sampleX(k) - 2 < mouseX && mouseX < sampleX(k) + 2)) continue;
    float x = float(sampleX(k));
    drawSegment(x, float(t), x, float(t + baseLine), separatorGrey);
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

namespace {

// The frame line and the white field, the scale labels, the newest value's
// line and label, and the curve.
void drawFieldAndCurve(const double* latency, int32_t top) {
  drawSegment(edgeX, float(top), edgeX, float(top + baseLine + 1), separatorGrey);
  fillBox(fieldLeft, float(top + fieldTop), float(screenWidth), float(top + baseLine),
          graphBackground);
  double m = 0;
  for (int k = 1; k <= newest; ++k)
    if (latency[k] > m) m = latency[k];

  drawLabel(scaleLabelX, float(top + 182), "0 ms");
  drawLabel(scaleLabelX, float(top + 2), formatNumber(m, "0.#") + " ms");

  // Without a sample above 0 there is no scale: no value line, label or curve.
  if (m <= 0) return;
  double s = scaleHeight / m;
  double base = top + baseLine;
  auto y = [&](double v) { return toCoordinate(base - s * v); };

  float yc = y(latency[newest]);
  drawSegment(fieldLeft, yc, float(screenWidth), yc, separatorGrey, dashed);
  drawLabel(valueLabelX, yc, formatNumber(latency[newest], "0.##") + " ms");
  for (int k = 2; k <= newest; ++k)
    drawSegment(float(sampleX(k)), y(latency[k]), float(sampleX(k) - 3), y(latency[k - 1]),
                sampleColor(latency[k]));
}

}  // namespace

void drawGraph(const HostRecord& host, int32_t top) {
  // All but the tooltip follows from the samples and the place alone: while
  // they stay, the last frame's drawing is repeated.
  struct {
    int32_t top, width;
    double latency[latencySlots];
  } key{top, screenWidth, {}};
  std::memcpy(key.latency, host.latency, sizeof key.latency);
  if (!draw_run_repeat(runId(RunPart::Graph, top), &key, sizeof key)) {
    setTextColor(graphLabels);
    drawFieldAndCurve(host.latency, top);
    draw_run_end();
  }
  tooltip(host, top);
}
