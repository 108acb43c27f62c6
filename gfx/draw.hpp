#pragma once
// Lines, boxes, clearing and colours on the screen's work page.
#include <cstddef>
#include <cstdint>

// Coordinate flags: bit 31 = colour omitted (use the foreground);
// flags & 7: 2 or 5 first point relative to the pen, 1 second relative to the
// first, 3 both; 0, 4, 6, 7 absolute.
constexpr uint32_t COORD_COLOR_OMITTED = 0x80000000u;
constexpr uint32_t COORD_ABSOLUTE = 0u;
constexpr uint32_t COORD_ABSOLUTE_AT = 4u;  // absolute too: a text's top-left as given

// draw_line kinds and the style of an unbroken line (one bit per pixel).
constexpr int32_t DRAW_SEGMENT = 0;
constexpr int32_t DRAW_OUTLINE = 1;
constexpr int32_t DRAW_FILLED_BOX = 2;
constexpr uint16_t LINE_SOLID = 0xFFFF;

// kind 0 = line, 2 = filled box, other = outline. Clipped to the view.
void draw_line(void* target, uint32_t color, int32_t kind, uint16_t style, uint32_t flags, float x1,
               float y1, float x2, float y2);

// A run of drawing calls that draws the same whenever key does. Inside a
// frame bracket, when the last frame drew run id with the same key from the
// same state (view, window, colours, font, pen), draw_run_repeat records what
// it drew, leaves pen and colours as it did, and answers true: the caller
// skips the calls; else it makes them and closes the run with draw_run_end. A
// run whose calls change other state, or clear, is not kept. Keys: 1024 bytes.
bool draw_run_repeat(uint32_t id, const void* key, size_t size);
void draw_run_end();

constexpr int32_t CLEAR_DEFAULT = int32_t(0xFFFF0000u);
// 0 whole screen, 1 view, 2 text view, CLEAR_DEFAULT chooses.
void screen_clear(int32_t mode);

// flags bit 0: foreground omitted, bit 1: background omitted.
constexpr uint32_t COLOR_FOREGROUND_OMITTED = 1u;
constexpr uint32_t COLOR_BACKGROUND_OMITTED = 2u;
// Returns the previous foreground (as ARGB at 16 bits).
uint32_t color_set(uint32_t foreground, uint32_t background, uint32_t flags);
