#include "lab/window_pixels.hpp"

#include <X11/Xutil.h>

#include "gfx/data_block.hpp"

namespace lab {

namespace {

constexpr int cellWidth = 8, cellHeight = 14;

// Whether the font sets the pixel (col, row) of character c; bit 0 is the leftmost column.
bool glyphBit(unsigned char c, int col, int row) {
  data_block_unpack();
  return (data_block[DATA_FONT_8X14 + size_t(c) * cellHeight + size_t(row)] >> col) & 1;
}

}  // namespace

bool WindowImage::grab(Display* display, Window window) {
  XWindowAttributes a;
  if (!display || !XGetWindowAttributes(display, window, &a)) return false;
  XImage* image =
      XGetImage(display, window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  if (!image) return false;
  width = a.width;
  height = a.height;
  pixels.assign(size_t(width) * size_t(height), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels[size_t(y) * size_t(width) + size_t(x)] = rgb(uint32_t(XGetPixel(image, x, y)));
  XDestroyImage(image);
  return true;
}

uint32_t WindowImage::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFFu;
  return pixels[size_t(y) * size_t(width) + size_t(x)];
}

int WindowImage::count(int x1, int y1, int x2, int y2, uint32_t colour) const {
  int n = 0;
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x) n += at(x, y) == rgb(colour);
  return n;
}

int textMismatches(const WindowImage& image, int x, int y, const std::string& text, uint32_t fg,
                   uint32_t bg) {
  int wrong = 0;
  for (size_t i = 0; i < text.size(); ++i)
    for (int row = 0; row < cellHeight; ++row)
      for (int col = 0; col < cellWidth; ++col) {
        uint32_t want = glyphBit(static_cast<unsigned char>(text[i]), col, row) ? rgb(fg) : rgb(bg);
        wrong += image.at(x + int(i) * cellWidth + col, y + row) != want;
      }
  return wrong;
}

std::string textPicture(const WindowImage& image, int x, int y, const std::string& text,
                        uint32_t fg, uint32_t bg) {
  std::string picture;
  for (int row = 0; row < cellHeight; ++row) {
    for (int col = 0; col < int(text.size()) * cellWidth; ++col) {
      uint32_t v = image.at(x + col, y + row);
      picture += v == rgb(fg) ? '#' : v == rgb(bg) ? '.' : '?';
    }
    picture += '\n';
  }
  return picture;
}

}  // namespace lab
