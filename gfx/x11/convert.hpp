#pragma once
// Pixel-format converters from the visible page into an X image buffer.
// Pure code: no Xlib, testable on synthetic pages.
#include <cstdint>

struct ConvertSource {
  const uint8_t* pixels;  // visible page
  int32_t pitch;          // bytes per source row
  int32_t width, height;
  int32_t scanline_size;           // output rows per source row
  const uint8_t* dirty;            // one byte per source row (height read); non-zero = convert
  const uint32_t* device_palette;  // 256 entries 0x00BBGGRR (8-bit pages)
  const uint32_t* lookup16;        // 512 entries (16-bit pages)
  int32_t pixel_repeat = 1;        // output pixels per source pixel
};

// Converts every dirty source row into its scanline_size rows of target (row y
// fills rows y * scanline_size onward), each source pixel pixel_repeat times
// side by side; leaves dirty bytes and clean rows alone.
using Converter = void (*)(const ConvertSource& source, uint8_t* target, int32_t target_pitch);

// Fills lookup16 (512 entries) for the channel order and returns the converter
// for the screen depth and visual bits per pixel (15 distinct from 16), or null.
Converter converter_choose(int32_t screen_depth, int32_t visual_bpp, bool red_low,
                           uint32_t* lookup16);
