#pragma once
// The draw fuzzer's shadow page: what a 32-bit page must hold, drawn the plain
// way (the unclipped walk of a line, every pixel of a box or glyph tested
// against the view one by one), and the checks of page and dirty rows.
#include <cstdint>
#include <vector>

#include "gfx/draw_context.hpp"

constexpr int32_t coordLimit = COORD_LIMIT;

struct Shadow {
  bool valid = false;            // false: only sanitizer checks for this input
  std::vector<uint32_t> pixels;  // what the page must hold
  std::vector<uint8_t> drawn;    // rows the last operation drew on
};

// The colour the operation writes: plain, or blended over the page.
struct Painter {
  const DrawContext* dc;
  Shadow* shadow;
  uint32_t value;
  bool blend;
  void operator()(int64_t x, int64_t y) const {
    uint32_t& p = shadow->pixels[size_t(y) * screen_context->width + size_t(x)];
    p = blend ? blend_pixel(value, p) : value;
    shadow->drawn[size_t(y)] = 1;
  }
};

// The operation being checked, printed when the page differs.
extern char lastOperation[256];

uint32_t* page();
void resync(Shadow& shadow);
int32_t clampCoordinate(float v);
void mapped(const DrawContext* dc, float x, float y, int64_t* mx, int64_t* my);
bool inView(const DrawContext* dc, int64_t x, int64_t y);
Painter painter(const DrawContext* dc, Shadow& shadow, uint32_t flags, uint32_t color);
void resolve(uint32_t flags, float pen_x, float pen_y, float* x1, float* y1, float* x2, float* y2);
bool same(float a, float b);
bool walkable(int64_t x1, int64_t y1, int64_t x2, int64_t y2);
void shadowLine(const Painter& put, uint16_t style, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                int64_t* rowFrom, int64_t* rowTo);
void shadowBox(const Painter& put, bool filled, uint16_t style, int64_t x1, int64_t y1, int64_t x2,
               int64_t y2);
void shadowText(const Painter& put, const char* text, int32_t length, int64_t x, int64_t y);
std::vector<int> dirtyRows();
void checkDirty(const DrawContext* dc, const Shadow& shadow, int64_t from, int64_t to);
void checkPage(const Shadow& shadow);
