#pragma once
// A window's pixels read back in one piece (XGetImage), and the texts the
// monitor draws compared against the built-in 8x14 font rendered here.
#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lab {

// Colours as the 24-bit visual stores them.
constexpr uint32_t rgb(uint32_t argb) { return argb & 0xFFFFFF; }

struct WindowImage {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // rgb, row by row

  bool grab(Display* display, Window window);
  // 0xFFFFFFFF outside the image.
  uint32_t at(int x, int y) const;
  // Pixels of the colour inside x1..x2, y1..y2 (inclusive).
  int count(int x1, int y1, int x2, int y2, uint32_t colour) const;
};

// Pixels of the cells text covers at (x, y), drawn in fg over bg, that the
// image shows otherwise. Blanks at the end check that nothing else is drawn there.
int textMismatches(const WindowImage& image, int x, int y, const std::string& text, uint32_t fg,
                   uint32_t bg);

// The same cells as a picture for failure messages: '#' fg, '.' bg, '?' anything else.
std::string textPicture(const WindowImage& image, int x, int y, const std::string& text,
                        uint32_t fg, uint32_t bg);

}  // namespace lab
