// The program's icon on the window the window manager shows: every size as
// _NET_WM_ICON for panels and switchers, and the largest as the WM hints'
// icon pixmap and mask for window managers that read only those.
#include <X11/Xatom.h>
#include <X11/xpm.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "gfx/x11/x11_state.hpp"

namespace {

Pixmap icon_pixmap = 0, icon_mask = 0;

// EWMH: per size width, height, then the ARGB pixels, each one CARDINAL,
// which Xlib takes as a long for format 32.
void set_net_wm_icon(Window window, const IconImage* images, int32_t count) {
  std::vector<unsigned long> data;
  for (int32_t i = 0; i < count; ++i) {
    const IconImage& image = images[i];
    if (image.width <= 0 || image.height <= 0 || !image.pixels) continue;
    data.push_back(static_cast<unsigned long>(image.width));
    data.push_back(static_cast<unsigned long>(image.height));
    data.insert(data.end(), image.pixels,
                image.pixels + size_t(image.width) * size_t(image.height));
  }
  if (data.empty()) return;
  Atom atom = XInternAtom(x11.display, "_NET_WM_ICON", False);
  XChangeProperty(x11.display, window, atom, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(data.data()), int(data.size()));
}

// Through Xpm, which finds the colours in any visual; pixels less than half
// opaque are left out by the mask.
void set_icon_pixmap(Window window, const IconImage& image) {
  std::vector<std::string> names = {"None"};
  std::map<uint32_t, unsigned int> index;
  std::vector<unsigned int> pixels;
  for (size_t i = 0; i < size_t(image.width) * size_t(image.height); ++i) {
    const uint32_t argb = image.pixels[i];
    if (argb >> 24 < 0x80) {
      pixels.push_back(0);
      continue;
    }
    auto [at, added] = index.emplace(argb & 0xFFFFFF, unsigned(names.size()));
    if (added) {
      char name[8];
      std::snprintf(name, sizeof name, "#%06X", unsigned(argb & 0xFFFFFF));
      names.push_back(name);
    }
    pixels.push_back(at->second);
  }
  std::vector<XpmColor> colors(names.size());
  for (size_t i = 0; i < names.size(); ++i) colors[i].string = colors[i].c_color = names[i].data();
  XpmImage xpm = {unsigned(image.width),   unsigned(image.height), 2,
                  unsigned(colors.size()), colors.data(),          pixels.data()};
  XpmAttributes attributes{};
  attributes.valuemask = XpmCloseness;
  attributes.closeness = 40000;  // a full colormap gives near colours, not none
  const int made = XpmCreatePixmapFromXpmImage(x11.display, x11.root, &xpm, &icon_pixmap,
                                               &icon_mask, &attributes);
  XpmFreeAttributes(&attributes);
  XWMHints* hints = made < 0 ? nullptr : XAllocWMHints();
  if (!hints) return;
  hints->flags = IconPixmapHint | (icon_mask ? IconMaskHint : 0);
  hints->icon_pixmap = icon_pixmap;
  hints->icon_mask = icon_mask;
  XSetWMHints(x11.display, window, hints);
  XFree(hints);
}

}  // namespace

void x11_icon_set(Window window) {
  int32_t count = 0;
  const IconImage* images = screen_icon(&count);
  const IconImage* largest = nullptr;
  for (int32_t i = 0; i < count; ++i)
    if (images[i].width > 0 && images[i].height > 0 && images[i].pixels &&
        (!largest || images[i].width > largest->width))
      largest = &images[i];
  if (!largest) return;
  set_net_wm_icon(window, images, count);
  set_icon_pixmap(window, *largest);
}

void x11_icon_free() {
  if (icon_pixmap) XFreePixmap(x11.display, icon_pixmap);
  if (icon_mask) XFreePixmap(x11.display, icon_mask);
  icon_pixmap = icon_mask = 0;
}
