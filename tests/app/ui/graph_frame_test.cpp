// The latency graph and its tooltip as one frame draws them.
#include "app/ui/ui_support.hpp"

#include <cmath>
#include <limits>

#include "app/ui/window.hpp"
#include "gfx/screen.hpp"

using namespace ui;

namespace {

class GraphFrame : public FrameTest {};

// The dashes of the newest-value line on row y, drawn over the upper label.
std::function<bool(int, int)> dashesOn(int row) {
  return [row](int x, int y) { return y == row && (x - 401) % 16 < 8; };
}

// The curve, drawn over the newest-value label, near the newest samples.
bool onCurve(int x, int y) {
  (void)y;
  uint32_t c = pixel(x, y);
  return x >= 738 && (c == green || c == red);
}

// Whether the dashed newest-value line shows on row y between x1 and x2:
// runs of 8 drawn and 8 skipped, counted from x = 401.
testing::AssertionResult dashedRow(int y, int x1, int x2) {
  for (int x = x1; x <= x2; ++x) {
    uint32_t want = (x - 401) % 16 < 8 ? grey : white;
    if (pixel(x, y) != want)
      return testing::AssertionFailure() << "dash pixel (" << x << ", " << y << ") wrong";
  }
  return testing::AssertionSuccess();
}

TEST_F(GraphFrame, NoSampleShowsOnlyTheFrameAndTheTwoScaleLabels) {
  placeHost("alpha.test");
  drawOne();
  EXPECT_TRUE(textAt(405, 182, "0 ms", black, white));
  EXPECT_TRUE(textAt(405, 2, "0. ms", black, white));
  // No value line, no label at the right, no curve: the rest is white.
  EXPECT_TRUE(boxIs(445, 1, 799, 181, white));
  EXPECT_TRUE(boxIs(401, 16, 799, 181, white));
  EXPECT_TRUE(boxIs(437, 182, 799, 196, white));
  EXPECT_TRUE(boxIs(401, 196, 799, 196, white));
}

TEST_F(GraphFrame, NegativeSamplesMakeNoScaleButKeepTheirTooltip) {
  HostRecord& h = placeHost("alpha.test");
  setSample(h, 50, -1);
  pointerAt(600, 100);
  drawOne();
  EXPECT_TRUE(textAt(405, 2, "0. ms", black, white));
  EXPECT_TRUE(boxIs(401, 196, 599, 196, white));
  EXPECT_TRUE(boxIs(600, 0, 600, 196, grey));  // guide line
  EXPECT_TRUE(textAt(612, 100, "-1. ms", dark, grey));
}

TEST_F(GraphFrame, OneSampleOf12_5AndNinetyNineZeros) {
  HostRecord& h = placeHost("alpha.test");
  setSample(h, 100, 12.5);
  drawOne();
  EXPECT_TRUE(textAt(405, 2, "12.5 ms", black, notText, dashesOn(6)));
  EXPECT_EQ(pixel(406, 6), grey);  // the value line runs over the upper label
  EXPECT_TRUE(textAt(405, 182, "0 ms", black, white));
  // The newest sample lies at T+6, its label there too.
  EXPECT_TRUE(textAt(735, 6, "12.5 ms", black, notText, onCurve));
  EXPECT_TRUE(dashedRow(6, 461, 734));
  EXPECT_TRUE(dashedRow(6, 791, 799));
  // Red along the base line up to 747, then the green rise to (750, T+6).
  EXPECT_EQ(pixel(452, 196), white);
  EXPECT_TRUE(boxIs(453, 196, 746, 196, red));
  EXPECT_EQ(pixel(747, 196), green);
  EXPECT_EQ(pixel(750, 6), green);
  int lastX = 750;
  for (int y = 20; y <= 196; ++y) {
    ASSERT_EQ(countInRow(y, 401, 799, green), 1) << "row " << y;
    int x = 747;
    while (pixel(x, y) != green) ++x;
    EXPECT_LE(x, lastX) << "row " << y;  // falls toward the left
    lastX = x;
  }
  EXPECT_EQ(countInRow(195, 401, 799, red), 0);
}

TEST_F(GraphFrame, ACurveRepeatedFromTheLastFrameTakesAChangedSampleAtOnce) {
  HostRecord& h = placeHost("alpha.test");
  for (int k = 90; k <= 100; ++k) setSample(h, k, 10);
  drawOne();
  drawFrame();  // the same samples: the curve repeats the last frame's
  EXPECT_EQ(pixel(735, 101), white);
  setSample(h, 95, 5);  // y = 196 - 190 * 5 / 10 at x = 3 * 95 + 450
  drawFrame();
  std::vector<uint32_t> shown;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 800; ++x) shown.push_back(pixel(x, y));
  EXPECT_EQ(pixel(735, 101), green);
  screen_close();
  drawOne();  // the same picture drawn afresh
  for (int y = 0, i = 0; y < 200; ++y)
    for (int x = 0; x < 800; ++x, ++i) ASSERT_EQ(pixel(x, y), shown[size_t(i)]) << x << ", " << y;
}

TEST_F(GraphFrame, TwentyIsGoodAndTwentyPointZeroOneIsNot) {
  HostRecord& h = placeHost("alpha.test");
  setSample(h, 97, 20);
  setSample(h, 98, 20.01);
  setSample(h, 99, 0);
  setSample(h, 100, 5);
  drawOne();
  // Largest 20.01 is shown with one decimal: "20."; the newest 5 as "5.".
  EXPECT_TRUE(textAt(405, 2, "20. ms", black, white));
  // y(5) = 196 - 190 * 5 / 20.01 = 148.52..., so the label sits on row 149.
  EXPECT_TRUE(textAt(735, 149, "5. ms", black, notText, onCurve));
  EXPECT_TRUE(dashedRow(149, 401, 734));
  // Segment 97 rises steeply from (738, 196) to (741, 6): green.
  EXPECT_EQ(countInRow(100, 737, 742, green), 1);
  // Segment 98 runs flat on row 6 from 744 back to 741: red.
  EXPECT_EQ(pixel(742, 6), red);
  EXPECT_EQ(pixel(743, 6), red);
  // Segment 99 falls from (744, 6) to the zero at (747, 196): red.
  EXPECT_EQ(countInRow(100, 743, 748, red), 1);
  EXPECT_EQ(countInRow(100, 743, 748, green), 0);
  // Segment 100 rises from (747, 196) to (750, 149): green again.
  EXPECT_EQ(countInRow(170, 746, 751, green), 1);
  EXPECT_EQ(pixel(747, 196), green);
  // Every earlier sample is 0 and lies red on the base line.
  EXPECT_TRUE(boxIs(453, 196, 737, 196, red));
}

TEST_F(GraphFrame, LargestSampleOfExactlyTwelve) {
  HostRecord& h = placeHost("alpha.test");
  setSample(h, 99, 12);
  setSample(h, 100, 12);
  drawOne();
  EXPECT_TRUE(textAt(405, 2, "12. ms", black, notText, dashesOn(6)));
  EXPECT_TRUE(textAt(735, 6, "12. ms", black, notText, onCurve));
  // The curve comes after the newest-value label: a bit of the "2" is green.
  EXPECT_EQ(pixel(747, 8), green);
  // Flat at the top: segment 100 from (750, 6) to (747, 6), green.
  EXPECT_EQ(pixel(748, 6), green);
  EXPECT_EQ(pixel(749, 6), green);
}

// Samples 2..100 hold k milliseconds; sample 1 holds 1.
HostRecord& rampHost(const char* name) {
  HostRecord& h = placeHost(name);
  for (int k = 1; k <= 100; ++k) setSample(h, k, k);
  return h;
}

// The tooltip for the pointer at (mx, my) showing value text and stamp.
testing::AssertionResult tooltipAt(int64_t mx, int64_t my, const std::string& value,
                                   const std::string& stamp) {
  int x = int(mx), y = int(my);
  testing::AssertionResult r = boxIs(x + 10, y - 2, x + 11, y + 30, grey);
  if (!r) return r;
  r = boxIs(x + 10 + 8 * int(stamp.size()) + 2, y - 2, x + 8 * int(stamp.size()) + 14, y + 30,
            grey);
  if (!r) return r;
  r = textAt(x + 12, y, value, dark, grey);
  if (!r) return r;
  return textAt(x + 12, y + 15, stamp, dark, grey);
}

TEST_F(GraphFrame, TooltipColumnsBelongToOneSampleEach) {
  rampHost("alpha.test");
  ASSERT_EQ(openWindow(hostCount), 0);
  const int k = 50;  // drawn at x = 600
  for (int x : {3 * k + 449, 3 * k + 450, 3 * k + 451}) {
    SCOPED_TRACE(x);
    pointerAt(x, 30);
    drawFrame();
    EXPECT_TRUE(tooltipAt(x, 30, "50. ms", "10:00:50"));
    EXPECT_TRUE(boxIs(600, 0, 600, 196, grey));
    EXPECT_EQ(pixel(603, 150), white);
  }
  pointerAt(3 * k + 452, 30);
  drawFrame();
  EXPECT_TRUE(tooltipAt(3 * k + 452, 30, "51. ms", "10:00:51"));
  EXPECT_TRUE(boxIs(603, 0, 603, 196, grey));
  EXPECT_NE(pixel(600, 150), grey);
  // The box is sized for the stamp: 8 pixels per character plus 4.
  EXPECT_EQ(pixel(3 * k + 452 + 78, 40), grey);
  EXPECT_NE(pixel(3 * k + 452 + 79, 40), grey);
}

TEST_F(GraphFrame, NoTooltipForSampleOneForZerosOrOutsideTheBand) {
  HostRecord& h = rampHost("alpha.test");
  setSample(h, 60, 0);
  ASSERT_EQ(openWindow(hostCount), 0);
  for (int64_t x :
       {int64_t(452), int64_t(453), int64_t(454), int64_t(3 * 60 + 450), int64_t(3 * 100 + 452)}) {
    SCOPED_TRACE(x);
    pointerAt(x, 30);
    drawFrame();
    EXPECT_EQ(pixel(int(x) + 11, 59), white);
  }
  // The band is T < y < T+200: y = 0 and y = 200 belong to no tooltip.
  for (int64_t y : {int64_t(0), int64_t(200)}) {
    pointerAt(600, y);
    drawFrame();
    EXPECT_NE(pixel(600, 150), grey) << y;
  }
  pointerAt(600, 199);
  drawFrame();
  EXPECT_EQ(pixel(600, 150), grey);
}

TEST_F(GraphFrame, TooltipInTheLastPanelIsClippedAtTheBottom) {
  rampHost("alpha.test");
  pointerAt(600, 190);
  drawOne();
  EXPECT_TRUE(boxIs(610, 188, 611, 199, grey));
  EXPECT_TRUE(boxIs(676, 188, 678, 199, grey));
  EXPECT_TRUE(textAt(612, 190, "50. ms", dark, grey));
  EXPECT_TRUE(boxIs(600, 0, 600, 196, grey));
}

TEST_F(GraphFrame, TooltipReachesIntoTheNextPanelWhichPaintsOverIt) {
  rampHost("alpha.test");
  rampHost("beta.test");
  pointerAt(600, 190);
  drawOne();
  // Rows the next panel leaves alone keep the tooltip; its field covers the
  // rest (but for its own value line on row 206).
  EXPECT_TRUE(boxIs(610, 198, 611, 199, grey));
  EXPECT_TRUE(boxIs(676, 198, 678, 199, grey));
  EXPECT_TRUE(
      textAt(612, 190, "50. ms", dark, grey, [](int, int y) { return y == 197 || y >= 200; }));
  EXPECT_TRUE(boxIs(610, 201, 678, 205, white));
  EXPECT_TRUE(boxIs(610, 207, 678, 220, white));
  EXPECT_TRUE(boxIs(610, 200, 678, 200, grey));  // the next panel's separator
  // Only the panel under the pointer shows a guide line.
  EXPECT_TRUE(boxIs(600, 0, 600, 196, grey));
  EXPECT_NE(pixel(600, 350), grey);
}

TEST_F(GraphFrame, NonFiniteAndExtremeSamplesDrawWithoutHarm) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  HostRecord& a = placeHost("a.test");
  setSample(a, 99, 3);
  setSample(a, 100, inf);  // "time=9e999" overflows to this
  HostRecord& b = placeHost("b.test");
  setSample(b, 98, 1e308);
  setSample(b, 99, -1e308);
  setSample(b, 100, nan);
  HostRecord& c = placeHost("c.test");
  setSample(c, 99, 5e-324);  // the scale overflows to infinity
  setSample(c, 100, -7);
  HostRecord& d = placeHost("d.test");
  setSample(d, 100, 1);
  setSample(d, 99, -1e300);  // far beyond what a float holds, but finite
  ASSERT_EQ(openWindow(hostCount), 0);
  for (int64_t x : {int64_t(747), int64_t(749), int64_t(746)}) {
    for (int64_t y : {int64_t(30), int64_t(230), int64_t(430), int64_t(630)}) {
      pointerAt(x, y);
      drawFrame();
    }
  }
  // The frame around the graphs is intact.
  for (int t : {0, 200, 400, 600}) {
    EXPECT_TRUE(textAt(20, t + 3, "Neuladen", light, face));
    EXPECT_TRUE(textAt(405, t + 182, "0 ms", black, notText));
    EXPECT_EQ(pixel(401, t + 100), white);
  }
}

}  // namespace
