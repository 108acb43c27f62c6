// Converters checked against a channel-level model of every format: the
// expected bytes are built from the red, green and blue of each source pixel
// and the byte layout of each visual, not from the converters' bit formulas.
#include "gfx/x11/convert.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kSentinel = 0xA5;

struct Rgb {
  uint32_t r, g, b, a;  // 8-bit channels; a is kept only by the 32-bit copy
};

int source_bytes(int depth) { return depth <= 8 ? 1 : depth <= 16 ? 2 : 4; }

Rgb source_pixel(int depth, const uint8_t* p, const uint32_t* palette) {
  switch (source_bytes(depth)) {
    case 1: {
      const uint32_t e = palette[p[0]];  // 0x00BBGGRR
      return {e & 0xFF, (e >> 8) & 0xFF, (e >> 16) & 0xFF, 0};
    }
    case 2: {
      const uint32_t v = p[0] | (p[1] << 8);  // 5-6-5, red on top
      return {(v >> 11) << 3, ((v >> 5) & 63) << 2, (v & 31) << 3, 0};
    }
    default:  // 0xAARRGGBB in memory order b, g, r, a
      return {p[2], p[1], p[0], p[3]};
  }
}

int target_bytes(int visual) { return visual == 8 ? 1 : visual <= 16 ? 2 : visual / 8; }

// Writes the expected bytes of one pixel; care[i] is false where the visual
// leaves a byte undefined (the unused byte of 32-bit pixels).
void target_pixel(int depth, int visual, bool red_low, const uint8_t* src, const Rgb& c,
                  uint8_t* out, bool* care) {
  const uint32_t first = red_low ? c.b : c.r;  // channel in the high field
  const uint32_t last = red_low ? c.r : c.b;   // channel in the low field
  uint32_t v = 0;
  switch (visual) {
    case 8:
      out[0] = src[0];
      care[0] = true;
      return;
    case 15: v = ((first >> 3) << 10) | ((c.g >> 3) << 5) | (last >> 3); break;
    case 16: v = ((first >> 3) << 11) | ((c.g >> 2) << 5) | (last >> 3); break;
    default: v = (first << 16) | (c.g << 8) | last; break;
  }
  for (int i = 0; i < target_bytes(visual); ++i) {
    out[i] = uint8_t(v >> (8 * i));
    care[i] = i < 3;
  }
  if (visual == 32 && depth > 16 && !red_low) {  // plain copy keeps alpha
    out[3] = uint8_t(c.a);
    care[3] = true;
  }
}

struct Geometry {
  int width, height, scanline, source_pad, target_pad, target_offset, repeat = 1;
};

struct Case {
  int depth, visual;
  bool red_low;
};

std::string case_name(const testing::TestParamInfo<Case>& info) {
  return "depth" + std::to_string(info.param.depth) + "_visual" +
         std::to_string(info.param.visual) + (info.param.red_low ? "_red_low" : "_red_high");
}

class ConverterTable : public testing::TestWithParam<Case> {};

// Random pages, random dirty rows, padded and unaligned targets, pixels shown
// once or as blocks: dirty rows match the model, clean rows and row padding
// keep the sentinel, and the dirty bytes are not cleared.
TEST_P(ConverterTable, ConvertsDirtyRowsOnly) {
  const Case k = GetParam();
  uint32_t lookup[512];
  const Converter convert = converter_choose(k.depth, k.visual, k.red_low, lookup);
  ASSERT_NE(convert, nullptr);
  std::mt19937 rng(k.depth * 100 + k.visual * 2 + k.red_low);
  uint32_t palette[256];
  for (uint32_t& e : palette) e = rng() & 0xFFFFFF;

  const Geometry geometries[] = {{1, 3, 1, 0, 0, 0},    {2, 2, 1, 0, 3, 1},   {3, 4, 1, 2, 1, 3},
                                 {4, 3, 2, 0, 0, 0},    {5, 5, 1, 4, 2, 1},   {6, 2, 1, 0, 0, 2},
                                 {7, 4, 3, 0, 5, 1},    {8, 3, 1, 8, 0, 0},   {9, 3, 1, 0, 1, 3},
                                 {37, 4, 1, 0, 2, 1},   {67, 3, 2, 4, 3, 0},  {1, 2, 2, 0, 1, 1, 2},
                                 {5, 3, 3, 2, 0, 3, 3}, {7, 2, 4, 0, 3, 0, 4}};
  for (const Geometry& g : geometries) {
    SCOPED_TRACE("width " + std::to_string(g.width) + " scanline " + std::to_string(g.scanline) +
                 " repeat " + std::to_string(g.repeat));
    const int sb = source_bytes(k.depth), tb = target_bytes(k.visual);
    const int pitch = g.width * sb + g.source_pad;
    const int target_pitch = g.width * g.repeat * tb + g.target_pad;
    const int rows_out = g.height * g.scanline;
    std::vector<uint8_t> page(size_t(pitch) * g.height);
    for (uint8_t& b : page) b = uint8_t(rng());
    std::vector<uint8_t> dirty(g.height);
    for (uint8_t& d : dirty) d = uint8_t(rng() % 3 == 0 ? 0 : 1 + rng() % 255);
    dirty[0] = 1;
    const std::vector<uint8_t> dirty_before = dirty;

    std::vector<uint8_t> buffer(size_t(target_pitch) * rows_out + g.target_offset + 8, kSentinel);
    uint8_t* target = buffer.data() + g.target_offset;
    std::vector<uint8_t> expected = buffer;
    std::vector<bool> care(buffer.size(), true);
    for (int y = 0; y < g.height; ++y) {
      if (!dirty[y]) continue;
      for (int r = 0; r < g.scanline; ++r) {
        const size_t row = g.target_offset + size_t(y * g.scanline + r) * target_pitch;
        for (int x = 0; x < g.width * g.repeat; ++x) {
          const uint8_t* src = page.data() + size_t(y) * pitch + size_t(x / g.repeat) * sb;
          uint8_t out[4];
          bool cares[4] = {};
          target_pixel(k.depth, k.visual, k.red_low, src, source_pixel(k.depth, src, palette), out,
                       cares);
          for (int i = 0; i < tb; ++i) {
            expected[row + size_t(x) * tb + i] = out[i];
            care[row + size_t(x) * tb + i] = cares[i];
          }
        }
      }
    }

    const ConvertSource source{page.data(),  pitch,   g.width, g.height, g.scanline,
                               dirty.data(), palette, lookup,  g.repeat};
    convert(source, target, target_pitch);
    for (size_t i = 0; i < buffer.size(); ++i) {
      if (!care[i]) continue;
      ASSERT_EQ(buffer[i], expected[i]) << "byte " << i;
    }
    EXPECT_EQ(dirty, dirty_before);
  }
}

std::vector<Case> all_cases() {
  std::vector<Case> cases;
  for (int depth : {1, 2, 4, 8, 15, 16, 24, 32})
    for (int visual : {8, 15, 16, 24, 32})
      for (bool red_low : {false, true})
        if (visual != 8 || depth <= 8) cases.push_back({depth, visual, red_low});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllFormats, ConverterTable, testing::ValuesIn(all_cases()), case_name);

// ---- single pixels with literal answers -----------------------------------

// Converts one row of pixels (given as 32-bit, 16-bit or 8-bit values) and
// returns the target row bytes.
std::vector<uint8_t> convert_row(int depth, int visual, bool red_low,
                                 const std::vector<uint32_t>& pixels) {
  uint32_t lookup[512];
  const Converter convert = converter_choose(depth, visual, red_low, lookup);
  EXPECT_NE(convert, nullptr);
  if (!convert) return {};
  const int sb = source_bytes(depth);
  std::vector<uint8_t> page(pixels.size() * sb);
  for (size_t i = 0; i < pixels.size(); ++i)
    for (int b = 0; b < sb; ++b) page[i * sb + b] = uint8_t(pixels[i] >> (8 * b));
  const int width = int(pixels.size());
  const int pitch = width * target_bytes(visual);
  std::vector<uint8_t> out(pitch + 4, kSentinel);
  const uint8_t dirty = 1;
  const ConvertSource source{page.data(), width * sb, width, 1, 1, &dirty, nullptr, lookup};
  convert(source, out.data(), pitch);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out[pitch + i], kSentinel) << "written past the row";
  out.resize(pitch);
  return out;
}

uint32_t word(const std::vector<uint8_t>& bytes, size_t at, int size) {
  uint32_t v = 0;
  for (int i = 0; i < size; ++i) v |= uint32_t(bytes.at(at + i)) << (8 * i);
  return v;
}

TEST(ConverterPixels, ThirtyTwoBitSource) {
  const auto copy = convert_row(32, 32, false, {0xFF123456, 0x00ABCDEF});
  EXPECT_EQ(word(copy, 0, 4), 0xFF123456u);
  EXPECT_EQ(word(copy, 4, 4), 0x00ABCDEFu);
  EXPECT_EQ(word(convert_row(32, 32, true, {0xFF123456}), 0, 4) & 0xFFFFFF, 0x563412u);
  EXPECT_EQ(word(convert_row(32, 16, true, {0xFFFFFFFF}), 0, 2), 0xFFFFu);
  EXPECT_EQ(word(convert_row(32, 16, true, {0xFF0000FF}), 0, 2), 0xF800u);
  EXPECT_EQ(word(convert_row(32, 16, false, {0xFF0000FF}), 0, 2), 0x001Fu);
  // A single pixel goes through the odd-pixel store alone.
  EXPECT_EQ(convert_row(32, 15, false, {0xFFFF0000}), (std::vector<uint8_t>{0x00, 0x7C}));
  // Pairs: the first pixel lands in the low half of the store.
  EXPECT_EQ(convert_row(32, 16, false, {0xFF0000FF, 0xFFFF0000, 0xFF00FF00}),
            (std::vector<uint8_t>{0x1F, 0x00, 0x00, 0xF8, 0xE0, 0x07}));
}

TEST(ConverterPixels, SixteenBitPrimaries) {
  const std::vector<uint32_t> primaries = {0xF800, 0x07E0, 0x001F};
  const auto high = convert_row(16, 32, false, primaries);
  const auto low = convert_row(16, 32, true, primaries);
  const uint32_t want_high[] = {0xF80000, 0x00FC00, 0x0000F8};
  const uint32_t want_low[] = {0x0000F8, 0x00FC00, 0xF80000};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(word(high, 4 * i, 4) & 0xFFFFFF, want_high[i]) << i;
    EXPECT_EQ(word(low, 4 * i, 4) & 0xFFFFFF, want_low[i]) << i;
  }
}

TEST(ConverterPixels, SixteenBitWidthSevenOnTwentyFour) {
  const std::vector<uint32_t> row = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410, 0xF81F};
  const uint32_t want[] = {0xF80000, 0x00FC00, 0x0000F8, 0xF8FCF8, 0x000000, 0x808080, 0xF800F8};
  const auto out = convert_row(16, 24, false, row);
  ASSERT_EQ(out.size(), 21u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(word(out, 3 * i, 3), want[i]) << i;
}

TEST(ConverterChoice, UnsupportedCombinationsGiveNone) {
  uint32_t lookup[512];
  const int combos[][2] = {{16, 8}, {15, 8}, {32, 8},  {24, 8},  {8, 12},  {8, 4},  {8, 0},
                           {3, 32}, {0, 16}, {12, 24}, {64, 32}, {32, 64}, {32, -1}};
  for (const auto& c : combos)
    for (bool red_low : {false, true})
      EXPECT_EQ(converter_choose(c[0], c[1], red_low, lookup), nullptr) << c[0] << " on " << c[1];
}

// The table follows the latest choice, so a driver that re-opens its image on
// another visual gets the right order.
TEST(ConverterChoice, RefillsTheLookupTableForEachChoice) {
  uint32_t lookup[512];
  converter_choose(16, 32, true, lookup);
  const Converter convert = converter_choose(16, 32, false, lookup);
  const uint8_t page[2] = {0x00, 0xF8}, dirty = 1;
  uint32_t out = 0;
  convert({page, 2, 1, 1, 1, &dirty, nullptr, lookup}, reinterpret_cast<uint8_t*>(&out), 4);
  EXPECT_EQ(out & 0xFFFFFF, 0xF80000u);
  EXPECT_NE(converter_choose(32, 32, false, nullptr), nullptr);
}

}  // namespace
