// The screen's pages (work and visible, copies under a view) and the palette
// of an 8-bit screen, its VGA ports and its reset.
#include "gfx/console.hpp"
#include "gfx/console_screen.hpp"
#include "gfx_fixture.hpp"

namespace {

TEST(ScreenPages, WorkAndVisiblePagesAreSeparate) {
  ASSERT_EQ(screen_open(64, 32, 32, 2, SCREEN_NULL, 0), 0);
  clear_dirty();
  EXPECT_EQ(screen_set_pages(1, -1), 0);  // was work 0, visible 0
  draw_line(nullptr, 0xFFFF0000, 2, 0xFFFF, 0, 0, 0, 63, 31);
  EXPECT_TRUE(dirty_rows().empty());  // drawn off screen
  EXPECT_EQ(pixel32(5, 5), 0xFF000000u);
  EXPECT_EQ(screen_set_pages(-1, 1), 1);  // work 1, visible 0
  EXPECT_EQ(dirty_rows(), row_range(0, 31));
  EXPECT_EQ(pixel32(5, 5), 0xFFFF0000u);
  EXPECT_EQ(screen_set_pages(-1, -1), (1 << 8) | 1);
  EXPECT_EQ(screen_context->visible_page, 0);
  // Copy page 0 (black) onto page 1, then show it.
  EXPECT_EQ(screen_copy_page(0, 1), 0);
  EXPECT_EQ(screen_copy_page(0, 5), 1);
  screen_set_pages(0, 1);
  EXPECT_EQ(pixel32(5, 5), 0xFF000000u);
  // Under a view lower down only its rows are copied and marked.
  DrawContext* dc = draw_context();
  dc->screen_view = {0, 10, 64, 5};
  clear_dirty();
  EXPECT_EQ(screen_copy_page(0, 1), 0);
  EXPECT_EQ(dirty_rows(), row_range(10, 14));
  // Back from drawing into an image, even with only its flag left.
  dc->flags |= DRAW_IMAGE;
  screen_set_pages(-1, 1);
  EXPECT_EQ(dc->view.top, 10);
  EXPECT_EQ(dc->flags & DRAW_IMAGE, 0u);
  // Both pages hold a letter; a clear of page 0 leaves page 1 to its own.
  screen_print_bytes("X", 1);
  screen_copy_page(0, 1);
  screen_clear(0);
  screen_set_pages(1, -1);
  screen_clear(0);
  EXPECT_EQ(screen_read_cell(1, 1, 0), ' ');
  screen_close();
  EXPECT_EQ(screen_set_pages(0, 0), -1);
}

TEST(ScreenPalette, EightBitScreensLoadTheDefaultPalette) {
  ASSERT_EQ(screen_open(32, 16, 8, 1, SCREEN_NULL, 0), 0);
  EXPECT_EQ(screen_context->palette[1], 0x00AA0000u);  // 0000AA as 0x00BBGGRR
  EXPECT_EQ(screen_context->palette[15], 0x00FFFFFFu);
  EXPECT_EQ(screen_context->device_palette[4], 0x000000AAu);
  palette_set(3, 1, 2, 3);
  EXPECT_EQ(screen_context->palette[3], 0x00030201u);
  palette_set(300, 1, 2, 3);  // ignored
  // The VGA ports take 6-bit red, green and blue in turn.
  screen_port_out(0x3C8, 4);
  for (int32_t v : {63, 21, 42, 0, 0, 63}) screen_port_out(0x3C9, v);
  EXPECT_EQ(screen_context->palette[4], 0x00AA55FFu);
  EXPECT_EQ(screen_context->palette[5], 0x00FF0000u);  // the next entry
  // A reset brings back all 256 entries.
  const uint32_t entry200 = screen_context->palette[200];
  palette_set(200, 1, 2, 3);
  palette_reset();
  EXPECT_EQ(screen_context->palette[200], entry200);
  screen_close();
  ASSERT_EQ(screen_open(32, 16, 32, 1, SCREEN_NULL, 0), 0);
  palette_set(3, 1, 2, 3);
  EXPECT_EQ(screen_context->palette[3], 0u);
  screen_close();
}

}  // namespace
