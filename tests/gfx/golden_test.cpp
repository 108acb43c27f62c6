// A fixed drawing of every dash style, boxes and lines across each edge and
// text in all three fonts, compared pixel by pixel with the committed picture
// golden_frame.png. On a mismatch the test writes actual.png and diff.png
// (differing pixels red over a dimmed copy of the reference) into
// $TEST_UNDECLARED_OUTPUTS_DIR, or else BUILD/golden, and names them.
// After a deliberate change to the drawing, rewrite the reference with
//   TANDREL_UPDATE_GOLDEN=1 build/tests/test_gfx --gtest_filter='*FixedPattern*'
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "gfx/text.hpp"
#include "gfx_fixture.hpp"
#include "tools/png.hpp"

namespace {

const std::string reference_path = std::string(TANDREL_SOURCE_DIR) + "/tests/gfx/golden_frame.png";

bool write_png(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> png;
  std::ofstream out(path, std::ios::binary);
  return encodePng(width, height, rgb, &png) &&
         out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
}

void text(float x, float y, const std::string& s) {
  draw_text(nullptr, 0, s.data(), int32_t(s.size()), 0xFFE0C040, nullptr, 0, x, y, nullptr, nullptr,
            nullptr);
}

void draw_pattern() {
  const uint16_t styles[] = {0xFFFF, 0xFF00, 0xF0F0, 0xAAAA, 0x8001, 0x1234, 0xCCCC, 0x0F0F};
  for (int i = 0; i < 8; ++i) {
    uint32_t c = 0xFF000000u | uint32_t(0x203040 * (i + 1));
    float o = float(i * 6);
    draw_line(nullptr, c, 0, styles[i], 0, -37 + o, 5 + o, 300 + o, 60 + o);       // from the left
    draw_line(nullptr, c, 0, styles[i], 0, 850 - o, 10 + o, 500 - o, 190 - o);     // from the right
    draw_line(nullptr, c, 0, styles[i], 0, 200 + o * 3, -40, 260 + o * 2, 240);    // top to bottom
    draw_line(nullptr, c, 0, styles[i], 0, 620 - o, 230, 640 + o, -15);            // bottom to top
    draw_line(nullptr, c, 0, styles[i], 0, 20, 100 + o, 790, 100 + o);             // horizontal
    draw_line(nullptr, c, 0, styles[i], 0, 700 + o, 199, 700 + o, 0);              // vertical up
    draw_line(nullptr, c, 1, styles[i], 0, 40 + o * 4, 150, 60 + o * 4, 170 + o);  // outline
  }
  draw_line(nullptr, 0xFF5080A0, 2, 0xFFFF, 0, -20, -20, 30, 30);    // filled, top left
  draw_line(nullptr, 0xFFA08050, 2, 0xFFFF, 0, 780, 180, 900, 260);  // filled, bottom right
  draw_line(nullptr, 0xFF30C030, 3, 0xF0F0, 0, -10, 120, 810, 210);  // outline past three edges
  const FontDescriptor* fonts[] = {&font_8x8, &font_8x14, &font_8x16};
  std::string all;
  for (int c = 0; c < 256; ++c) all += char(c);
  for (int f = 0; f < 3; ++f) {
    screen_context->font = fonts[f];
    text(-4, float(2 + 20 * f), all.substr(0, 101));
    text(300, float(150 + 16 * f), all.substr(150, 70));
  }
  text(100, -6, "oben abgeschnitten");
  text(500, 190, "unten abgeschnitten");
}

TEST_F(NullScreen, FixedPatternMatchesTheReference) {
  draw_pattern();
  // The pattern reaches every edge and every row.
  EXPECT_EQ(dirty_rows(), row_range(0, 199));
  const int width = screen_context->width, height = screen_context->height;
  std::vector<uint8_t> actual;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixel32(x, y);
      ASSERT_EQ(p >> 24, 0xFFu) << "the page is opaque, at " << x << ", " << y;
      actual.insert(actual.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    }
  if (std::getenv("TANDREL_UPDATE_GOLDEN")) {
    ASSERT_TRUE(write_png(reference_path, width, height, actual)) << reference_path;
    GTEST_SKIP() << "reference rewritten: " << reference_path;
  }
  std::ifstream in(reference_path, std::ios::binary);
  std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}}, expected;
  int w = 0, h = 0;
  ASSERT_TRUE(decodePng(file, &w, &h, &expected)) << "cannot read " << reference_path;
  ASSERT_EQ(std::make_pair(w, h), std::make_pair(width, height));
  std::vector<uint8_t> diff(expected.size());
  int differing = 0;
  for (size_t i = 0; i < diff.size(); i += 3) {
    bool same = std::equal(&actual[i], &actual[i + 3], &expected[i]);
    uint8_t dim = uint8_t((expected[i] + expected[i + 1] + expected[i + 2]) / 12);
    differing += !same;
    diff[i] = same ? dim : 255;
    diff[i + 1] = diff[i + 2] = same ? dim : 0;
  }
  if (differing == 0) return;
  const char* outputs = std::getenv("TEST_UNDECLARED_OUTPUTS_DIR");
  std::string folder = outputs ? outputs : std::string(TANDREL_BINARY_DIR) + "/golden";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  std::string actual_path = folder + "/actual.png", diff_path = folder + "/diff.png";
  bool written =
      write_png(actual_path, width, height, actual) && write_png(diff_path, width, height, diff);
  ADD_FAILURE() << differing << " pixels differ from " << reference_path << "\n"
                << (written ? "see " + actual_path + " and " + diff_path
                            : folder + " cannot be written")
                << "\nafter a deliberate change set TANDREL_UPDATE_GOLDEN=1";
}

TEST_F(NullScreen, EachThreadHasItsOwnDrawingState) {
  color_set(0xFF112233, 0, 2);
  draw_line(nullptr, 0xFFFFFFFF, 0, 0xFFFF, 0, 1, 2, 3, 4);
  uint32_t other_foreground = 0;
  float other_pen = -1;
  std::thread([&] {
    DrawContext* dc = draw_context();
    other_foreground = dc->foreground;
    other_pen = dc->pen_x;
    draw_line(nullptr, 0, 0, 0xFFFF, COORD_COLOR_OMITTED, 10, 10, 10, 10);
  }).join();
  EXPECT_EQ(other_foreground, 0xFFFFFFFFu);
  EXPECT_EQ(other_pen, 0.0f);
  EXPECT_EQ(pixel32(10, 10), 0xFFFFFFFFu);
  EXPECT_EQ(draw_context()->foreground, 0xFF112233u);
  EXPECT_EQ(draw_context()->pen_x, 3.0f);
}

TEST(TextDepths, SixteenBitText) {
  ASSERT_EQ(screen_open(64, 16, 16, 1, SCREEN_NULL, 0), 0);
  draw_text(nullptr, 0, "\xDB\xDB", 2, 0xFF00FF00, nullptr, 0, -4, 2, nullptr, nullptr, nullptr);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(pixel16(x, 2), 0x07E0) << x;
  EXPECT_EQ(pixel16(12, 2), 0);
  EXPECT_EQ(pixel16(0, 9), 0x07E0);  // 8 x 8 font: rows 2 to 9
  EXPECT_EQ(pixel16(0, 10), 0);
  screen_close();
}

}  // namespace
