#pragma once
// Plotting in frame-buffer pixels, clipped to the context's view; rows on the
// visible page are marked. Internal to the graphics layer.
#include <cstdint>

#include "gfx/draw_context.hpp"

// Lines and boxes; style is the dash pattern, one bit per pixel.
void plot_line(DrawContext* dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t value,
               uint16_t style);
void plot_box(DrawContext* dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t value,
              bool filled, uint16_t style);

// Text of length bytes with the top-left of its first cell at (x, y).
void plot_text(DrawContext* dc, const FontDescriptor* font, int32_t x, int32_t y, uint32_t value,
               const char* text, int32_t length);
