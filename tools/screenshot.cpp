// screenshot OUT.png [TITLE]: saves the window whose name is TITLE (or the
// whole root window) as an RGB PNG. A developer tool beside the program, for
// the run and screenshot scripts; it has its own display connection.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "png.hpp"

namespace {

Window findByName(Display* d, Window w, const char* title) {
  char* name = nullptr;
  if (XFetchName(d, w, &name) && name) {
    bool match = std::strcmp(name, title) == 0;
    XFree(name);
    if (match) return w;
  }
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; ++i) found = findByName(d, children[i], title);
  if (children) XFree(children);
  return found;
}

int channelShift(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

uint8_t channel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  unsigned long v = (pixel & mask) >> channelShift(mask);
  unsigned long max = mask >> channelShift(mask);
  return uint8_t(v * 255 / max);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "Aufruf: screenshot DATEI.png [FENSTERTITEL]\n");
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::fprintf(stderr, "screenshot: keine X-Anzeige erreichbar\n");
    return 1;
  }
  Window w = DefaultRootWindow(d);
  if (argc == 3) {
    w = findByName(d, w, argv[2]);
    if (!w) {
      std::fprintf(stderr, "screenshot: kein Fenster namens \"%s\"\n", argv[2]);
      XCloseDisplay(d);
      return 1;
    }
  }
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(d, w, &attributes) || attributes.map_state != IsViewable) {
    std::fprintf(stderr, "screenshot: das Fenster ist nicht sichtbar\n");
    XCloseDisplay(d);
    return 1;
  }
  int width = attributes.width, height = attributes.height;
  XImage* image = XGetImage(d, w, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
  if (!image) {
    std::fprintf(stderr, "screenshot: das Bild lässt sich nicht lesen\n");
    XCloseDisplay(d);
    return 1;
  }
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned long p = XGetPixel(image, x, y);
      uint8_t* out = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
      out[0] = channel(p, image->red_mask);
      out[1] = channel(p, image->green_mask);
      out[2] = channel(p, image->blue_mask);
    }
  }
  XDestroyImage(image);
  XCloseDisplay(d);

  std::vector<uint8_t> png;
  if (!encodePng(width, height, rgb, &png)) {
    std::fprintf(stderr, "screenshot: das Bild lässt sich nicht packen\n");
    return 1;
  }
  FILE* f = std::fopen(argv[1], "wb");
  if (!f || std::fwrite(png.data(), 1, png.size(), f) != png.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "screenshot: %s lässt sich nicht schreiben\n", argv[1]);
    return 1;
  }
  return 0;
}
