// Switching between window and full screen (Alt+Enter, or a size the window
// manager forced on us): the image is made again for the other kind, back to
// the old one when that fails; the palette is given again, and the key states
// are cleared, as keys let go meanwhile may never be reported.
#include "gfx/x11/x11_state.hpp"

void x11_toggle_fullscreen() {
  image_close();
  x11.flags ^= SCREEN_FULLSCREEN;
  if (image_open() != 0) {
    image_close();
    x11.flags ^= SCREEN_FULLSCREEN;
    image_open();
  }
  if (ScreenContext* screen = screen_context; screen && screen->device_palette)
    for (int i = 0; i < 256; i++) {
      uint32_t c = screen->device_palette[i];
      x11_set_palette(i, int32_t(c & 0xFF), int32_t((c >> 8) & 0xFF), int32_t((c >> 16) & 0xFF));
    }
  x11_clear_key_states();
}
