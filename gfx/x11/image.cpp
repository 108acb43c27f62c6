// Image layer of the X11 driver: places the windows, creates the image the
// dirty rows are converted into (MIT-SHM on a local display, else a plain
// XImage) and the shape mask. Sending rows lives in send_rows.cpp.
#include <X11/extensions/shape.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

#include "gfx/x11/x11_state.hpp"

namespace {

// Only the names Xlib resolves to the local socket count as local.
bool display_is_local() {
  const char* name = DisplayString(x11.display);
  return !name || !*name || name[0] == ':' || std::strncmp(name, "unix:", 5) == 0;
}

bool shm_forced_off() {
  const char* value = std::getenv("TANDREL_X11_NO_SHM");
  return value && *value && std::strcmp(value, "0") != 0;
}

// Red in the low bits of the pixel (BGR order)?
bool visual_red_low() {
  unsigned long red = x11.visual->red_mask;
  if (x11.visual_bpp >= 24) return red == 0xFF || red == 0x1F;
  if (x11.visual_bpp >= 15) return red == 0x1F;
  return false;
}

// Sets the bits of pixel x of the page, scale bits from x * scale on.
void mask_set(uint8_t* mask, int32_t x, int32_t scale) {
  for (int32_t bit = x * scale; bit < (x + 1) * scale; bit++)
    mask[bit >> 3] |= uint8_t(1u << (bit & 7));
}

void mask_row8(const uint8_t* row, int32_t width, int32_t scale, uint8_t* mask) {
  std::memset(mask, 0, size_t((width * scale + 7) / 8));
  for (int32_t x = 0; x < width; x++)
    if (row[x] != 0) mask_set(mask, x, scale);
}

void mask_row16(const uint8_t* row, int32_t width, int32_t scale, uint8_t* mask) {
  std::memset(mask, 0, size_t((width * scale + 7) / 8));
  for (int32_t x = 0; x < width; x++) {
    uint16_t p;
    std::memcpy(&p, row + 2 * x, 2);
    if (p != 0xF81F) mask_set(mask, x, scale);
  }
}

void mask_row32(const uint8_t* row, int32_t width, int32_t scale, uint8_t* mask) {
  std::memset(mask, 0, size_t((width * scale + 7) / 8));
  for (int32_t x = 0; x < width; x++) {
    uint32_t p;
    std::memcpy(&p, row + 4 * x, 4);
    if ((p & 0xFFFFFF) != 0xFF00FF) mask_set(mask, x, scale);
  }
}

void place_windowed() {
  Display* d = x11.display;
  int x = (DisplayWidth(d, x11.screen) - x11.width) / 2;
  int y = (DisplayHeight(d, x11.screen) - x11.height) / 2;
  XResizeWindow(d, x11.frame_window, unsigned(x11.width), unsigned(x11.height));
  XResizeWindow(d, x11.draw_window, unsigned(x11.width), unsigned(x11.height));
  if (!(x11.flags & SCREEN_NO_FRAME)) {
    XReparentWindow(d, x11.draw_window, x11.frame_window, 0, 0);
    XMapRaised(d, x11.frame_window);
    x11_wait_event(x11.frame_window, MapNotify, 5000);
    XMapRaised(d, x11.draw_window);
  } else {
    // Back on the root after full screen; a frameless window is centred.
    XReparentWindow(d, x11.draw_window, x11.root, x, y);
    XMapRaised(d, x11.draw_window);
    XMoveWindow(d, x11.draw_window, x, y);
  }
  x11_wait_event(x11.draw_window, MapNotify, 5000);
}

void place_fullscreen() {
  Display* d = x11.display;
  XMoveResizeWindow(d, x11.full_window, 0, 0, unsigned(x11.width), unsigned(x11.height));
  XMoveResizeWindow(d, x11.draw_window, 0, 0, unsigned(x11.width), unsigned(x11.height));
  XReparentWindow(d, x11.draw_window, x11.full_window, 0, 0);
  XMapRaised(d, x11.full_window);
  XSync(d, False);
  XMapRaised(d, x11.draw_window);
  XSync(d, False);
}

void ask_on_top() {
  Display* d = x11.display;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = x11.frame_window;
  e.xclient.message_type = XInternAtom(d, "_NET_WM_STATE", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = 1;  // add
  e.xclient.data.l[1] = long(XInternAtom(d, "_NET_WM_STATE_ABOVE", False));
  XSendEvent(d, x11.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

bool shape_open() {
  Display* d = x11.display;
  int pitch = (x11.width + 7) / 8;
  char* bits = static_cast<char*>(std::calloc(size_t(pitch) * size_t(x11.height), 1));
  if (!bits) return false;
  x11.shape_image = XCreateImage(d, x11.visual, 1, ZPixmap, 0, bits, unsigned(x11.width),
                                 unsigned(x11.height), 8, pitch);
  if (!x11.shape_image) {
    std::free(bits);
    return false;
  }
  x11.shape_image->bitmap_bit_order = LSBFirst;  // bit 0 is the leftmost pixel
  x11.shape_image->byte_order = LSBFirst;
  x11.shape_bitmap =
      XCreatePixmap(d, x11.draw_window, unsigned(x11.width), unsigned(x11.height), 1);
  x11.shape_gc = XCreateGC(d, x11.shape_bitmap, 0, nullptr);
  x11.mask_builder = mask_builder_for(screen_context ? screen_context->bytes_per_pixel : 4);
  return true;
}

int shm_error_seen;
int shm_error_handler(Display*, XErrorEvent*) {
  shm_error_seen = 1;
  return 0;
}

// A shared image, or false (and nothing left behind) when the server cannot attach it.
bool shm_open() {
  Display* d = x11.display;
  x11.shm = XShmSegmentInfo{};
  x11.shm.shmid = -1;
  XImage* image = XShmCreateImage(d, x11.visual, unsigned(x11.depth), ZPixmap, nullptr, &x11.shm,
                                  unsigned(x11.width), unsigned(x11.height));
  if (!image) return false;
  size_t size = size_t(image->bytes_per_line) * size_t(image->height);
  // Owner only: nobody else needs to read or write our frames.
  x11.shm.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (x11.shm.shmid < 0) {
    XDestroyImage(image);
    return false;
  }
  void* address = shmat(x11.shm.shmid, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(x11.shm.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return false;
  }
  x11.shm.shmaddr = image->data = static_cast<char*>(address);
  x11.shm.readOnly = False;

  XSync(d, False);
  shm_error_seen = 0;
  XErrorHandler previous = XSetErrorHandler(shm_error_handler);
  Status attached = XShmAttach(d, &x11.shm);
  XSync(d, False);
  XSetErrorHandler(previous);
  // Removed now, freed when both sides have detached, even if we die.
  shmctl(x11.shm.shmid, IPC_RMID, nullptr);
  if (!attached || shm_error_seen) {
    shmdt(address);
    image->data = nullptr;
    XDestroyImage(image);
    x11.shm = XShmSegmentInfo{};
    return false;
  }
  x11.image = image;
  x11.use_shm = true;
  return true;
}

bool plain_open() {
  XImage* image = XCreateImage(x11.display, x11.visual, unsigned(x11.depth), ZPixmap, 0, nullptr,
                               unsigned(x11.width), unsigned(x11.height), 32, 0);
  if (!image) return false;
  image->data =
      static_cast<char*>(std::calloc(size_t(image->bytes_per_line) * size_t(image->height), 1));
  if (!image->data) {
    XDestroyImage(image);
    return false;
  }
  x11.image = image;
  x11.use_shm = false;
  return true;
}

// Unmaps a window that is mapped and waits until the server has done it.
void unmap_and_wait(Window window) {
  XWindowAttributes attributes;
  if (!window || !XGetWindowAttributes(x11.display, window, &attributes)) return;
  if (attributes.map_state == IsUnmapped) return;
  XUnmapWindow(x11.display, window);
  x11_wait_event(window, UnmapNotify, 2000);
}

}  // namespace

MaskBuilder mask_builder_for(int32_t bytes_per_pixel) {
  if (bytes_per_pixel == 1) return mask_row8;
  if (bytes_per_pixel == 2) return mask_row16;
  return mask_row32;
}

int image_open() {
  Display* d = x11.display;
  bool full = x11.flags & SCREEN_FULLSCREEN;
  x11.converter =
      converter_choose(x11.depth_requested, x11.visual_bpp, visual_red_low(), rows_lookup16());
  if (!x11.converter) {
    screen_fail(
        "kein Umwandler von %d Bit in das Pixelformat der Anzeige (Tiefe %d, %d Bit je Pixel)",
        x11.depth_requested, x11.depth, x11.visual_bpp);
    return -1;
  }

  if (full)
    place_fullscreen();
  else
    place_windowed();
  XRaiseWindow(d, x11.draw_window);
  if (x11.flags & SCREEN_ON_TOP) ask_on_top();

  if ((x11.flags & SCREEN_SHAPED) && !shape_open()) {
    screen_fail("die Maske für die Fensterform ließ sich nicht anlegen");
    return -1;
  }

  bool local = display_is_local();
  if (full) {
    // The mode switch also grabs pointer and keyboard: an override-redirect
    // window gets no focus otherwise, whichever image follows.
    if (!local) {
      screen_fail("Vollbild gibt es nur auf einer Anzeige dieses Rechners");
      return -1;
    }
    x11.y_offset = (x11.mode_height - x11.height) / 2;
    if (x11_mode_switch() != 0) {
      screen_fail("der Bildschirmmodus für das Vollbild ließ sich nicht einstellen");
      return -1;
    }
    XResizeWindow(d, x11.full_window, unsigned(x11.width), unsigned(x11.mode_height));
    XResizeWindow(d, x11.draw_window, unsigned(x11.width), unsigned(x11.mode_height));
  }
  if (local && !shm_forced_off() && XShmQueryExtension(d)) shm_open();
  if (!x11.image && !plain_open()) {
    screen_fail("das Bild für das Fenster ließ sich nicht anlegen");
    return -1;
  }
  if (!rows_open()) {
    screen_fail("zu wenig Speicher");
    return -1;
  }
  return 0;
}

void image_close() {
  Display* d = x11.display;
  if (!d) return;
  bool full = x11.flags & SCREEN_FULLSCREEN;
  if (full) x11_mode_restore();
  unmap_and_wait(x11.draw_window);
  if (full)
    XUnmapWindow(d, x11.full_window);
  else if (!(x11.flags & SCREEN_NO_FRAME))
    unmap_and_wait(x11.frame_window);
  rows_close();
  if (x11.image) {
    if (x11.use_shm) {
      XShmDetach(d, &x11.shm);
      XSync(d, False);
      shmdt(x11.shm.shmaddr);
      x11.image->data = nullptr;
    }
    XDestroyImage(x11.image);  // frees a plain image's buffer
    x11.image = nullptr;
    x11.use_shm = false;
    x11.shm = XShmSegmentInfo{};
  }
  if (x11.shape_image) {
    XDestroyImage(x11.shape_image);
    x11.shape_image = nullptr;
  }
  if (x11.shape_gc) XFreeGC(d, x11.shape_gc);
  if (x11.shape_bitmap) XFreePixmap(d, x11.shape_bitmap);
  x11.shape_gc = nullptr;
  x11.shape_bitmap = 0;
  x11.y_offset = 0;
}
