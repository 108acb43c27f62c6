#pragma once
// Text in the built-in code page 437 fonts.
#include <cstdint>
#include "gfx/screen.hpp"

extern const FontDescriptor font_8x8;
extern const FontDescriptor font_8x14;
extern const FontDescriptor font_8x16;

// Draws length bytes of text with the top-left of the first cell at (x, y).
// Every byte is drawn as its glyph; unset glyph bits leave the page alone.
// Returns 1 when text is null, else 0 (also when no screen is open).
int32_t draw_text(void* target, uint32_t flags, const char* text, int32_t length, uint32_t color,
                  const void* font_image, int32_t mode, float x, float y, void* blend, void* blend1,
                  void* blend2);

// Chooses the text grid and with it the font (cell 8 x 8, 14 or 16).
// Values <= 0 keep the current one; both <= 0 returns columns | rows << 16.
int32_t text_grid_set(int32_t columns, int32_t rows);
