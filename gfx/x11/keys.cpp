// X key symbols to scan codes, X keycodes to scan codes, and key events to
// key codes (plain bytes from the keyboard mapping, or 255 and a scan code).
#include <X11/keysym.h>

#include <cstring>

#include "gfx/x11/x11_state.hpp"

// Scan codes of the PC keyboard by X key symbol; the first matching row wins,
// so the keypad shares the codes of the cursor block, slash, minus and Enter.
// One row per key group, as commented.
// clang-format off
constexpr std::array<KeysymRow, KEYSYM_ROWS> keysym_table = {{
  {0xFFBE, 0x3B}, {0xFFBF, 0x3C}, {0xFFC0, 0x3D}, {0xFFC1, 0x3E}, {0xFFC2, 0x3F},  // F1-F5
  {0xFFC3, 0x40}, {0xFFC4, 0x41}, {0xFFC5, 0x42}, {0xFFC6, 0x43}, {0xFFC7, 0x44},  // F6-F10
  {0xFFC8, 0x57}, {0xFFC9, 0x58}, {0xFF14, 0x46},                                  // F11 F12 Scroll_Lock
  {0x60, 0x29}, {0x60, 0x29}, {0x7E, 0x29},                                        // grave grave asciitilde
  {0x31, 0x02}, {0x32, 0x03}, {0x33, 0x04}, {0x34, 0x05}, {0x35, 0x06},            // 1-5
  {0x36, 0x07}, {0x37, 0x08}, {0x38, 0x09}, {0x39, 0x0A}, {0x30, 0x0B},            // 6-9 0
  {0x2D, 0x0C}, {0x3D, 0x0D}, {0x5C, 0x2B}, {0xFF08, 0x0E}, {0xFF09, 0x0F},        // - = \ BackSpace Tab
  {0x71, 0x10}, {0x77, 0x11}, {0x65, 0x12}, {0x72, 0x13}, {0x74, 0x14},            // q w e r t
  {0x79, 0x15}, {0x75, 0x16}, {0x69, 0x17}, {0x6F, 0x18}, {0x70, 0x19},            // y u i o p
  {0x5B, 0x1A}, {0x5D, 0x1B}, {0xFF0D, 0x1C}, {0xFFE5, 0x3A},                      // [ ] Return Caps_Lock
  {0x61, 0x1E}, {0x73, 0x1F}, {0x64, 0x20}, {0x66, 0x21}, {0x67, 0x22},            // a s d f g
  {0x68, 0x23}, {0x6A, 0x24}, {0x6B, 0x25}, {0x6C, 0x26},                          // h j k l
  {0x3B, 0x27}, {0x27, 0x28}, {0xFFE1, 0x2A},                                      // ; ' Shift_L
  {0x7A, 0x2C}, {0x78, 0x2D}, {0x63, 0x2E}, {0x76, 0x2F}, {0x62, 0x30},            // z x c v b
  {0x6E, 0x31}, {0x6D, 0x32}, {0x2C, 0x33}, {0x2E, 0x34}, {0x2F, 0x35},            // n m , . /
  {0xFFE2, 0x36},                                                                  // Shift_R
  {0xFFE3, 0x1D}, {0xFFE7, 0x5B}, {0xFFE9, 0x38}, {0x20, 0x39},                    // Control_L Meta_L Alt_L space
  {0xFFEA, 0x38}, {0xFFE8, 0x5C}, {0xFF67, 0x5D}, {0xFFE4, 0x1D},                  // Alt_R Meta_R Menu Control_R
  {0xFF63, 0x52}, {0xFF50, 0x47}, {0xFF55, 0x49}, {0xFFFF, 0x53},                  // Insert Home Prior Delete
  {0xFF57, 0x4F}, {0xFF56, 0x51}, {0xFF52, 0x48}, {0xFF51, 0x4B},                  // End Next Up Left
  {0xFF54, 0x50}, {0xFF53, 0x4D}, {0xFF7F, 0x45},                                  // Down Right Num_Lock
  {0xFFAF, 0x35}, {0xFFAA, 0x37}, {0xFFAD, 0x0C}, {0xFF95, 0x47},                  // KP_Divide KP_Multiply KP_Subtract KP_Home
  {0xFF97, 0x48}, {0xFF9A, 0x49}, {0xFFAB, 0x4E}, {0xFF96, 0x4B},                  // KP_Up KP_Prior KP_Add KP_Left
  {0xFF9D, 0x4C}, {0xFF98, 0x4D}, {0xFF9C, 0x4F}, {0xFF99, 0x50},                  // KP_Begin KP_Right KP_End KP_Down
  {0xFF9B, 0x51}, {0xFF8D, 0x1C}, {0xFF9E, 0x52}, {0xFF9F, 0x53},                  // KP_Next KP_Enter KP_Insert KP_Delete
}};
// clang-format on
static_assert(keysym_table.size() == 103);
static_assert(keysym_table[0].keysym == XK_F1 && keysym_table[102].keysym == XK_KP_Delete);

namespace {

// Key codes of scan codes 59 to 83; 0 where the key has none (F11 and F12
// lie outside and post nothing).
// One row per key group, as commented.
// clang-format off
constexpr std::array<int32_t, 25> extended_keys = {
  0x3BFF, 0x3CFF, 0x3DFF, 0x3EFF, 0x3FFF, 0x40FF, 0x41FF, 0x42FF, 0x43FF, 0x44FF,  // F1-F10
  0, 0,                                                                            // Num_Lock, Scroll_Lock
  0x47FF, 0x48FF, 0x49FF, 0,                                                       // Home Up PageUp, keypad minus
  0x4BFF, 0x4CFF, 0x4DFF, 0,                                                       // Left centre Right, keypad plus
  0x4FFF, 0x50FF, 0x51FF, 0x52FF, 0x53FF,                                          // End Down PageDown Insert Delete
};
// clang-format on
static_assert(extended_keys.size() == 83 - 59 + 1);

}  // namespace

int32_t keysym_scan(uint64_t keysym) {
  if (keysym == XK_Escape) return 1;
  for (const KeysymRow& row : keysym_table)
    if (row.keysym == keysym) return int32_t(row.scan);
  return 0;
}

void keycode_table_build(Display* display, uint8_t table[256]) {
  for (int i = 0; i < 256; i++) table[i] = 0;
  int low = 0, high = 0;
  XDisplayKeycodes(display, &low, &high);
  if (low < 0) low = 0;
  if (high > 255) high = 255;
  if (high < low) return;
  int per_code = 0;
  // One request for the whole range; only the first symbol of each keycode counts.
  KeySym* syms = XGetKeyboardMapping(display, KeyCode(low), high - low + 1, &per_code);
  if (!syms) return;
  for (int code = low; code <= high && per_code > 0; code++) {
    KeySym first = syms[(code - low) * per_code];
    if (first != NoSymbol) table[code] = uint8_t(keysym_scan(first));
  }
  XFree(syms);
}

int32_t extended_key(int32_t scan) {
  if (scan < 59 || scan > 83) return 0;
  return extended_keys[size_t(scan - 59)];
}

int32_t key_translate(XKeyEvent& event, int32_t scan) {
  char text[8];
  KeySym sym = NoSymbol;
  int count = XLookupString(&event, text, int(sizeof text), &sym, nullptr);
  if (count == 1) {
    uint8_t byte = uint8_t(text[0]);
    return byte == 127 ? 0x53FF : byte;
  }
  return extended_key(scan);
}

void x11_clear_key_states() {
  if (ScreenContext* s = screen_context; s && s->key_state) std::memset(s->key_state, 0, 128);
}
