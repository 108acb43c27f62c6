// The program's icon on the window the window manager shows: every size as
// _NET_WM_ICON for panels and switchers, and the largest as the WM hints'
// icon pixmap and mask for window managers that read only those. Asking for
// attention raises the hints' urgency flag and shows the attention icon in
// both places; the focus lowers the flag again.
#include <X11/Xatom.h>
#include <X11/xpm.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "gfx/x11/x11_state.hpp"

namespace {

// The window that carries the icons, the pixmap and mask of the program's
// icon [0] and of the attention icon [1], made with it; and what it shows
// now. Changed under the driver's lock once the update thread runs.
Window icon_window;
Pixmap icon_pixmaps[2], icon_masks[2];
bool icon_marked, urgent;

const IconImage* icon_images(bool attention, int32_t* count) {
  const IconImage* images = attention ? screen_attention_icon(count) : nullptr;
  return images ? images : screen_icon(count);
}

// EWMH: per size width, height, then the ARGB pixels, each one CARDINAL,
// which Xlib takes as a long for format 32.
void set_net_wm_icon(const IconImage* images, int32_t count) {
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
  XChangeProperty(x11.display, icon_window, atom, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(data.data()), int(data.size()));
}

// Through Xpm, which finds the colours in any visual; pixels less than half
// opaque are left out by the mask.
void make_icon_pixmap(const IconImage& image, Pixmap* pixmap, Pixmap* mask) {
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
  if (XpmCreatePixmapFromXpmImage(x11.display, x11.root, &xpm, pixmap, mask, &attributes) < 0)
    *pixmap = *mask = 0;
  XpmFreeAttributes(&attributes);
}

const IconImage* largest(const IconImage* images, int32_t count) {
  const IconImage* found = nullptr;
  for (int32_t i = 0; i < count; ++i)
    if (images[i].width > 0 && images[i].height > 0 && images[i].pixels &&
        (!found || images[i].width > found->width))
      found = &images[i];
  return found;
}

// The hints hold the icon pixmap shown now and the urgency flag; without
// either nothing is written.
void set_hints() {
  const int shown = icon_pixmaps[icon_marked] ? icon_marked : 0;
  const long flags = (icon_pixmaps[shown] ? IconPixmapHint : 0) |
                     (icon_masks[shown] ? IconMaskHint : 0) | (urgent ? XUrgencyHint : 0);
  XWMHints* hints = flags ? XAllocWMHints() : nullptr;
  if (!hints) return;
  hints->flags = flags;
  hints->icon_pixmap = icon_pixmaps[shown];
  hints->icon_mask = icon_masks[shown];
  XSetWMHints(x11.display, icon_window, hints);
  XFree(hints);
}

}  // namespace

void x11_icon_set(Window window) {
  icon_window = window;
  int32_t count = 0;
  const IconImage* images = screen_attention_icon(&count);
  if (const IconImage* image = largest(images, count))
    make_icon_pixmap(*image, &icon_pixmaps[1], &icon_masks[1]);
  images = screen_icon(&count);
  if (const IconImage* image = largest(images, count))
    make_icon_pixmap(*image, &icon_pixmaps[0], &icon_masks[0]);
  set_net_wm_icon(images, count);
  set_hints();
}

void x11_icon_free() {
  for (int i = 0; i < 2; ++i) {
    if (icon_pixmaps[i]) XFreePixmap(x11.display, icon_pixmaps[i]);
    if (icon_masks[i]) XFreePixmap(x11.display, icon_masks[i]);
    icon_pixmaps[i] = icon_masks[i] = 0;
  }
  icon_window = 0;
  icon_marked = urgent = false;
}

void x11_set_attention(bool on) {
  if (!x11.display) return;
  x11_lock();
  if (!icon_window) {
    x11_unlock();
    return;
  }
  if (on != icon_marked) {
    icon_marked = on;
    int32_t count = 0;
    const IconImage* images = icon_images(on, &count);
    set_net_wm_icon(images, count);
  }
  urgent = on;
  set_hints();
  XFlush(x11.display);
  x11_unlock();
}

void x11_attention_seen() {
  if (!urgent) return;
  urgent = false;
  set_hints();
}
