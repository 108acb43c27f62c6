// Text drawing in the built-in fonts and the text grid.
#include <limits>
#include <string>

#include "gfx/console_screen.hpp"
#include "gfx/data_block.hpp"
#include "gfx/text.hpp"
#include "gfx_fixture.hpp"

namespace {

constexpr uint32_t WHITE = 0xFFFFFFFFu;

class TextScreen : public NullScreen {
 protected:
  void SetUp() override {
    NullScreen::SetUp();
    ASSERT_EQ(text_grid_set(100, 14), 0);
    ASSERT_EQ(screen_context->font, &font_8x14);
    clear_dirty();
  }
  void text(float x, float y, const std::string& s) {
    ASSERT_EQ(draw_text(nullptr, 0x80000004u, s.data(), int32_t(s.size()), 0, nullptr, 0, x, y,
                        nullptr, nullptr, nullptr),
              0);
  }
  // Whether glyph c of the 8 x 14 font has pixel (column, row) set.
  static bool glyph_bit(uint8_t c, int column, int row) {
    return (font_8x14.glyphs[c * 14 + row] >> column) & 1;
  }
  // Checks the page against s drawn at (x, y), clipped to the page.
  void expect_text_at(int x, int y, const std::string& s) {
    for (int py = 0; py < 200; ++py)
      for (int px = 0; px < 800; ++px) {
        int i = px - x >= 0 ? (px - x) / 8 : -1, row = py - y;
        bool set = i >= 0 && i < int(s.size()) && row >= 0 && row < 14 &&
                   glyph_bit(uint8_t(s[i]), (px - x) % 8, row);
        ASSERT_EQ(pixel32(px, py), set ? WHITE : BLACK) << px << "," << py;
      }
  }
};

TEST_F(TextScreen, NameLabelStaysInItsCells) {
  text(10, 20, "Name:");
  auto drawn = pixels_not(BLACK);
  ASSERT_FALSE(drawn.empty());
  for (auto [x, y] : drawn) {
    EXPECT_TRUE(x >= 10 && x <= 49) << x;
    EXPECT_TRUE(y >= 20 && y <= 33) << y;
  }
  EXPECT_EQ(dirty_rows(), row_range(20, 33));
  expect_text_at(10, 20, "Name:");
  // The pen stays on the text's position.
  EXPECT_EQ(draw_context()->pen_x, 10.0f);
  EXPECT_EQ(draw_context()->pen_y, 20.0f);
}

TEST_F(TextScreen, TextClippedOnTheLeftAndTop) {
  text(-12, 50, "AB");  // A skipped whole, B from its fifth column on
  expect_text_at(-12, 50, "AB");
  EXPECT_EQ(dirty_rows(), row_range(50, 63));
  screen_clear(0);
  clear_dirty();
  text(100, -5, "W");  // glyph rows 5 to 13 at y 0 to 8
  expect_text_at(100, -5, "W");
  EXPECT_EQ(dirty_rows(), row_range(0, 8));
}

TEST_F(TextScreen, TextClippedOnTheRightAndBottom) {
  text(790, 190, "MMMM");  // one character partly visible, then nothing
  expect_text_at(790, 190, "MMMM");
  EXPECT_EQ(dirty_rows(), row_range(190, 199));
}

TEST_F(TextScreen, TextOutsideDrawsAndMarksNothing) {
  text(10, 200, "Name");
  text(800, 10, "Name");
  text(-32, 10, "Name");
  text(10, -14, "Name");
  text(std::numeric_limits<float>::quiet_NaN(), 10, "Name");
  text(1e30f, -1e30f, "Name");
  EXPECT_TRUE(pixels_not(BLACK).empty());
  EXPECT_TRUE(dirty_rows().empty());
}

TEST_F(TextScreen, EveryByteIsAGlyph) {
  text(0, 0, "\xDB");
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(pixel32(x, y), WHITE) << x << "," << y;
  EXPECT_EQ(pixels_not(BLACK).size(), 8u * 14u);
  screen_clear(0);
  text(40, 40, std::string("\n\0", 2));  // no line feed, and the zero byte too
  expect_text_at(40, 40, std::string("\n\0", 2));
  EXPECT_FALSE(pixels_not(BLACK).empty());
}

TEST_F(TextScreen, ColourArgumentAndMissingText) {
  EXPECT_EQ(draw_text(nullptr, 0, nullptr, 3, WHITE, nullptr, 0, 0, 0, nullptr, nullptr, nullptr),
            1);
  EXPECT_EQ(draw_text(nullptr, 0, "", 0, WHITE, nullptr, 0, 0, 0, nullptr, nullptr, nullptr), 0);
  draw_text(nullptr, 0, "\xDB", 1, 0xFF00FF00, nullptr, 0, 5, 5, nullptr, nullptr, nullptr);
  EXPECT_EQ(pixel32(5, 5), 0xFF00FF00u);
  color_set(0xFF123456, 0, 2);
  text(20, 5, "\xDB");
  EXPECT_EQ(pixel32(27, 18), 0xFF123456u);
  screen_close();
  EXPECT_EQ(draw_text(nullptr, 0, "x", 1, WHITE, nullptr, 0, 0, 0, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(draw_text(nullptr, 0, nullptr, 1, WHITE, nullptr, 0, 0, 0, nullptr, nullptr, nullptr),
            1);
}

TEST_F(NullScreen, GridSetChoosesTheFontByCellHeight) {
  EXPECT_EQ(screen_context->font, &font_8x8);
  EXPECT_EQ(text_grid_set(0, 0), 100 | 25 << 16);
  box(0, 0, 800, 200, WHITE);
  EXPECT_EQ(text_grid_set(100, 14), 0);
  EXPECT_EQ(screen_context->font, &font_8x14);
  EXPECT_EQ(screen_context->text_rows, 14);
  EXPECT_TRUE(pixels_not(BLACK).empty());  // cleared
  box(0, 0, 800, 200, WHITE);
  EXPECT_EQ(text_grid_set(100, 20), 0);  // cell height 10: nothing changes
  EXPECT_EQ(screen_context->font, &font_8x14);
  EXPECT_EQ(screen_context->text_rows, 14);
  EXPECT_TRUE(pixels_not(WHITE).empty());
  EXPECT_EQ(text_grid_set(50, 0), 0);  // cell width 16
  EXPECT_EQ(screen_context->font, &font_8x14);
  EXPECT_EQ(text_grid_set(0, 12), 0);  // keeps 100 columns, cell height 16
  EXPECT_EQ(screen_context->font, &font_8x16);
  EXPECT_EQ(text_grid_set(-1, -1), 100 | 12 << 16);
  open(0, 800, 16);
  EXPECT_EQ(text_grid_set(100, 1), 0);  // a single row of 16-pixel cells
  EXPECT_EQ(text_grid_set(0, 0), 100 | 1 << 16);
}

TEST(TextAlpha, TranslucentTextBlends) {
  setenv("ZORGFX", "null", 1);
  ASSERT_EQ(screen_open(16, 16, 32, 1, SCREEN_ALPHA, 0), 0);
  unsetenv("ZORGFX");
  draw_line(nullptr, 0xFF0000FF, 2, 0xFFFF, 0, 0, 0, 15, 15);
  draw_text(nullptr, 0, "\xDB", 1, 0x80FF0000, nullptr, 0, 0, 0, nullptr, nullptr, nullptr);
  EXPECT_EQ(pixel32(3, 3), 0x807F007Fu);
  screen_close();
}

TEST_F(TextScreen, ConsolePrintingUsesTheTextCells) {
  color_set(0xFF00FF00, 0xFF000080, 0);
  screen_clear(0);  // blank in these colours, so the clear below has to notice the print
  screen_context->cursor_column = 98;
  screen_context->cursor_row = 13;
  // Printing through the console slot wraps and scrolls the grid.
  screen_print_bytes("Hi!", 3);
  EXPECT_EQ(screen_context->cursor_row, 13);
  EXPECT_EQ(screen_context->cursor_column, 1);
  const uint32_t* cells = screen_context->text_cells[0];
  EXPECT_EQ(cells[(13 * 100 + 0) * 3], uint32_t('!'));
  EXPECT_EQ(cells[(12 * 100 + 98) * 3], uint32_t('H'));
  EXPECT_EQ(cells[(12 * 100 + 99) * 3 + 1], 0xFF00FF00u);
  EXPECT_EQ(screen_read_cell(1, 1, 0), ' ');  // rows count from 1
  // The cell background is opaque.
  EXPECT_EQ(pixel32(8, 13 * 14), 0xFF000080u);
  screen_clear(0);
  EXPECT_EQ(screen_read_cell(14, 1, 0), ' ');
}

}  // namespace
