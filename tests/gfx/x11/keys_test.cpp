// The driver's tables on their own: scan codes by key symbol and the extended
// key codes, checked against the PC keyboard's layout rather than row by row;
// the shape mask builders and the choice of the window's scale.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "gfx/x11/x11_state.hpp"

namespace {

TEST(KeysymTable, SharedCodesAndSpecialCases) {
  EXPECT_EQ(keysym_scan(XK_Escape), 1);
  EXPECT_EQ(keysym_scan(XK_a), 0x1E);
  EXPECT_EQ(keysym_scan(XK_A), 0);  // only the first symbol of a key is looked up
  EXPECT_EQ(keysym_scan(XK_F11), 0x57);
  EXPECT_EQ(keysym_scan(XK_grave), 0x29);
  EXPECT_EQ(keysym_scan(XK_asciitilde), 0x29);
  // Keypad keys share the codes of the main block.
  EXPECT_EQ(keysym_scan(XK_KP_Home), keysym_scan(XK_Home));
  EXPECT_EQ(keysym_scan(XK_KP_Delete), keysym_scan(XK_Delete));
  EXPECT_EQ(keysym_scan(XK_KP_Enter), keysym_scan(XK_Return));
  EXPECT_EQ(keysym_scan(XK_KP_Divide), keysym_scan(XK_slash));
  EXPECT_EQ(keysym_scan(XK_KP_Subtract), keysym_scan(XK_minus));
  EXPECT_EQ(keysym_scan(XK_Alt_R), keysym_scan(XK_Alt_L));
  EXPECT_EQ(keysym_scan(XK_Control_R), keysym_scan(XK_Control_L));
  EXPECT_EQ(keysym_scan(XK_Meta_L), 0x5B);
  EXPECT_EQ(keysym_scan(XK_Meta_R), 0x5C);
  EXPECT_EQ(keysym_scan(XK_Multi_key), 0);
}

// The letters and digits sit in the PC keyboard's rows, left to right.
TEST(KeysymTable, RowsOfTheKeyboard) {
  const char* rows[] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"};
  const int first[] = {0x02, 0x10, 0x1E, 0x2C};
  for (int r = 0; r < 4; r++)
    for (int i = 0; rows[r][i]; i++)
      EXPECT_EQ(keysym_scan(uint64_t(rows[r][i])), first[r] + i) << rows[r][i];
  for (int f = 0; f < 10; f++) EXPECT_EQ(keysym_scan(XK_F1 + uint64_t(f)), 0x3B + f);
}

// Every key of the cursor block and the function row posts 255 and its own
// scan code; the lock keys and the keypad's plus and minus post nothing.
TEST(ExtendedKeys, CodesAgreeWithTheScanCodes) {
  for (uint64_t sym : {XK_F1, XK_F5, XK_F10, XK_Home, XK_Up, XK_Prior, XK_Left, XK_KP_Begin,
                       XK_Right, XK_End, XK_Down, XK_Next, XK_Insert, XK_Delete}) {
    int32_t scan = keysym_scan(sym);
    EXPECT_EQ(extended_key(scan), (scan << 8) | 0xFF) << std::hex << sym;
  }
  for (uint64_t sym :
       {XK_Num_Lock, XK_Scroll_Lock, XK_KP_Subtract, XK_KP_Add, XK_F11, XK_F12, XK_Shift_L})
    EXPECT_EQ(extended_key(keysym_scan(sym)), 0) << std::hex << sym;
  EXPECT_EQ(extended_key(58), 0);
  EXPECT_EQ(extended_key(84), 0);
  EXPECT_EQ(extended_key(-1), 0);
}

TEST(MaskBuilders, TransparentColourPerDepth) {
  uint8_t mask[2];
  const uint8_t row8[9] = {0, 1, 0, 0, 0, 0, 0, 0, 255};
  mask_builder_for(1)(row8, 9, 1, mask);
  EXPECT_EQ(mask[0], 0x02);
  EXPECT_EQ(mask[1], 0x01);
  const uint16_t row16[3] = {0xF81F, 0x0000, 0xF81E};
  mask_builder_for(2)(reinterpret_cast<const uint8_t*>(row16), 3, 1, mask);
  EXPECT_EQ(mask[0], 0x06);
  const uint32_t row32[4] = {0xFFFF00FF, 0x00FF00FF, 0xFFFF00FE, 0xFF000000};
  mask_builder_for(4)(reinterpret_cast<const uint8_t*>(row32), 4, 1, mask);
  EXPECT_EQ(mask[0], 0x0C);  // alpha does not matter
  mask_builder_for(4)(reinterpret_cast<const uint8_t*>(row32), 4, 3, mask);
  EXPECT_EQ(mask[0] | mask[1] << 8, 0xFC0);  // pixels 2 and 3, three bits each
}

TEST(ScaleChoice, VariablesThenTheDisplaysDpiThenOne) {
  struct Row {
    const char *tandrel, *gdk, *dpi;
    int32_t scale;
    bool ignored;
  };
  const Row rows[] = {
      {nullptr, nullptr, nullptr, 1, false},
      {"3", "2", "192", 3, false},
      {"", "2", "192", 2, false},
      {"5", "2", "", 2, true},
      {"2.0", "", "288", 3, true},
      {"", "1", "192", 1, false},
      {"", "x", "144", 2, false},
      {"", "", "143.9", 1, false},
      {"", "", " 192 ", 2, false},
      {"", "", "1000", 4, false},
      {"", "", "47", 1, false},
      {"", "", "19 2", 1, false},
  };
  for (const Row& r : rows) {
    bool ignored = !r.ignored;
    EXPECT_EQ(scale_choose(r.tandrel, r.gdk, r.dpi, &ignored), r.scale)
        << (r.tandrel ? r.tandrel : "-") << " " << (r.gdk ? r.gdk : "-") << " "
        << (r.dpi ? r.dpi : "-");
    EXPECT_EQ(ignored, r.ignored) << (r.tandrel ? r.tandrel : "-");
  }
}

}  // namespace
