#pragma once
// The application's paint layer over the graphics layer.
#include <cstdint>

#include "app/text.hpp"

// Drawing as every panel does it: solid, absolute coordinates, colours ARGB.
void fillBox(float x1, float y1, float x2, float y2, uint32_t color);
void drawSegment(float x1, float y1, float x2, float y2, uint32_t color,
                 uint16_t style = 0xFFFF);  // unbroken
void setTextColor(uint32_t color);
// Text in the current foreground colour, top-left of its first cell at (x, y).
void drawLabel(float x, float y, const Text& text);

// A computed coordinate in single precision. Never undefined: values beyond
// the float range become infinities, NaN stays NaN; the primitives clip.
float toCoordinate(double value);

// Run ids, one per part of a panel and the panel's top.
enum class RunPart : uint32_t { Panel, Graph };
inline uint32_t runId(RunPart part, int32_t top) { return uint32_t(top) * 2 + uint32_t(part); }
