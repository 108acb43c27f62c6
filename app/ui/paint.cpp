// The application's own small paint layer: boxes, segments and labels as
// every panel and the graph draw them, on top of the graphics layer.
#include "app/ui/paint.hpp"

#include <cfloat>
#include <cmath>
#include <limits>

#include "gfx/console.hpp"
#include "gfx/draw.hpp"
#include "gfx/text.hpp"

void fillBox(float x1, float y1, float x2, float y2, uint32_t color) {
  draw_line(nullptr, color, DRAW_FILLED_BOX, LINE_SOLID, COORD_ABSOLUTE, x1, y1, x2, y2);
}

void drawSegment(float x1, float y1, float x2, float y2, uint32_t color, uint16_t style) {
  draw_line(nullptr, color, DRAW_SEGMENT, style, COORD_ABSOLUTE, x1, y1, x2, y2);
}

void setTextColor(uint32_t color) { console_color(color, 0, COLOR_BACKGROUND_OMITTED); }

void drawLabel(float x, float y, const Text& text) {
  // draw_text takes a 32-bit length; what lies beyond the view costs nothing.
  size_t length = text.size() < 0x7FFFFFFF ? text.size() : 0x7FFFFFFF;
  // The colour is the foreground setTextColor chose.
  draw_text(nullptr, COORD_COLOR_OMITTED | COORD_ABSOLUTE_AT, text.data(), int32_t(length), 0,
            nullptr, 0, x, y, nullptr, nullptr, nullptr);
}

float toCoordinate(double value) {
  if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
  if (value > FLT_MAX) return std::numeric_limits<float>::infinity();
  if (value < -FLT_MAX) return -std::numeric_limits<float>::infinity();
  return float(value);
}
