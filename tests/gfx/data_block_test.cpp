// The built-in data block: its contents, and the decoder's safety on bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "gfx/data_block.hpp"
#include "tools/lzw_encode.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t rgb_at(size_t palette, int entry) {
  const uint8_t* p = &data_block[palette + size_t(entry) * 3];
  return uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
}

Bytes glyph(size_t font, int height, int c) {
  const uint8_t* g = &data_block[font + size_t(c) * size_t(height)];
  return Bytes(g, g + height);
}

// Decodes into an exactly sized buffer followed by guard bytes that must stay
// untouched; the input is copied so reads past it are caught under ASan.
struct Decoded {
  Bytes out;
  bool ok;
  bool guard_intact;
};

Decoded decode(const Bytes& in, size_t capacity) {
  constexpr size_t GUARD = 64;
  Bytes input(in);
  Bytes buf(capacity + GUARD, 0xA5);
  bool ok = true;
  size_t n = lzw_decode(input.data(), input.size(), buf.data(), capacity, &ok);
  bool intact = n <= capacity;
  for (size_t i = capacity; i < buf.size(); ++i) intact = intact && buf[i] == 0xA5;
  buf.resize(std::min(n, capacity));
  return {buf, ok, intact};
}

TEST(DataBlock, UnpacksToFontsAndPalettes) {
  ASSERT_TRUE(data_block_unpack());
  bool ok = false;
  Bytes whole(DATA_BLOCK_SIZE);
  EXPECT_EQ(lzw_decode(data_block_packed, data_block_packed_size, whole.data(), whole.size(), &ok),
            10742u);
  EXPECT_TRUE(ok);
  EXPECT_EQ(0, std::memcmp(whole.data(), data_block, DATA_BLOCK_SIZE));

  EXPECT_EQ(glyph(DATA_FONT_8X14, 14, 'A'), (Bytes{0x00, 0x00, 0x08, 0x1C, 0x36, 0x63, 0x63, 0x7F,
                                                   0x63, 0x63, 0x63, 0x00, 0x00, 0x00}));
  EXPECT_EQ(glyph(DATA_FONT_8X16, 16, 'A'),
            (Bytes{0x00, 0x00, 0x08, 0x1C, 0x36, 0x63, 0x63, 0x7F, 0x63, 0x63, 0x63, 0x63, 0x00,
                   0x00, 0x00, 0x00}));
  EXPECT_EQ(glyph(DATA_FONT_8X8, 8, 'A'), (Bytes{0x0C, 0x1E, 0x33, 0x33, 0x3F, 0x33, 0x33, 0x00}));
  const struct {
    size_t at;
    int h;
  } fonts[] = {{DATA_FONT_8X8, 8}, {DATA_FONT_8X14, 14}, {DATA_FONT_8X16, 16}};
  for (auto f : fonts) {
    EXPECT_EQ(glyph(f.at, f.h, 0xDB), Bytes(size_t(f.h), 0xFF)) << f.h;
    EXPECT_EQ(glyph(f.at, f.h, ' '), Bytes(size_t(f.h), 0x00)) << f.h;
  }
}

TEST(DataBlock, Palettes) {
  ASSERT_TRUE(data_block_unpack());
  EXPECT_EQ(rgb_at(DATA_PALETTE_2, 0), 0x000000u);
  EXPECT_EQ(rgb_at(DATA_PALETTE_2, 1), 0xFFFFFFu);

  EXPECT_EQ(rgb_at(DATA_PALETTE_16, 1), 0x0000AAu);
  EXPECT_EQ(rgb_at(DATA_PALETTE_16, 6), 0xAA5500u);
  EXPECT_EQ(rgb_at(DATA_PALETTE_16, 9), 0x5555FFu);
  EXPECT_EQ(rgb_at(DATA_PALETTE_16, 14), 0xFFFF55u);

  EXPECT_EQ(rgb_at(DATA_PALETTE_64, 1), 0x0000AAu);
  EXPECT_EQ(rgb_at(DATA_PALETTE_64, 6), 0xAAAA00u);
  EXPECT_EQ(rgb_at(DATA_PALETTE_64, 8), 0x000055u);
  EXPECT_EQ(rgb_at(DATA_PALETTE_64, 20), 0xAA5500u);
  EXPECT_EQ(rgb_at(DATA_PALETTE_64, 56), 0x555555u);
  EXPECT_EQ(rgb_at(DATA_PALETTE_64, 63), 0xFFFFFFu);

  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(rgb_at(DATA_PALETTE_256, i), rgb_at(DATA_PALETTE_16, i)) << i;
  const uint8_t greys[16] = {0x00, 0x14, 0x20, 0x2C, 0x38, 0x44, 0x50, 0x61,
                             0x71, 0x81, 0x91, 0xA1, 0xB6, 0xCA, 0xE2, 0xFF};
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(rgb_at(DATA_PALETTE_256, 16 + i), greys[i] * 0x010101u) << i;
  EXPECT_EQ(rgb_at(DATA_PALETTE_256, 32), 0x0000FFu);
  for (int i = 248; i < 256; ++i) EXPECT_EQ(rgb_at(DATA_PALETTE_256, i), 0u) << i;
}

TEST(DataBlock, SecondUnpackDoesNotDecodeAgain) {
  ASSERT_TRUE(data_block_unpack());
  uint8_t saved = data_block[DATA_PALETTE_256 + 767];
  data_block[DATA_PALETTE_256 + 767] = 0x5A;
  EXPECT_TRUE(data_block_unpack());
  EXPECT_EQ(data_block[DATA_PALETTE_256 + 767], 0x5A);
  data_block[DATA_PALETTE_256 + 767] = saved;
}

TEST(Lzw, RoundTrips) {
  std::mt19937 rng(7);
  Bytes varied(30000);
  for (auto& b : varied) b = uint8_t(rng() % 5);  // fills the dictionary
  Bytes inputs[] = {{}, {42}, Bytes(1000, 'a'), {'a', 'b', 'a', 'b', 'a', 'b', 'a'}, varied};
  for (const Bytes& in : inputs) {
    Decoded d = decode(lzw_encode(in.data(), in.size()), in.size());
    EXPECT_TRUE(d.ok) << in.size();
    EXPECT_TRUE(d.guard_intact);
    EXPECT_EQ(d.out, in);
  }
  std::vector<uint16_t> codes = lzw_codes(varied.data(), varied.size());
  EXPECT_EQ(*std::max_element(codes.begin(), codes.end()), 4094);
}

TEST(Lzw, CodeOfTheNextFreeEntry) {
  // "aaa": 'a', then 256 before it exists, meaning "a" + 'a'.
  EXPECT_EQ(lzw_codes((const uint8_t*)"aaa", 3), (std::vector<uint16_t>{'a', 256}));
  Decoded d = decode(lzw_pack({'a', 256, 257, LZW_END_CODE}), 6);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.out, (Bytes{'a', 'a', 'a', 'a', 'a', 'a'}));
  // After 'a', 'b' (256 is "ab") the next free code 257 means "b" + 'b'.
  d = decode(lzw_pack({'a', 'b', 257, LZW_END_CODE}), 4);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.out, (Bytes{'a', 'b', 'b', 'b'}));
}

TEST(Lzw, BadStreamsFailInBounds) {
  Bytes text(500);
  for (size_t i = 0; i < text.size(); ++i) text[i] = uint8_t("tandrel monitor "[i % 16]);
  Bytes packed = lzw_encode(text.data(), text.size());

  // Output past the capacity: what fits is written, nothing beyond.
  Decoded d = decode(packed, 100);
  EXPECT_FALSE(d.ok);
  EXPECT_TRUE(d.guard_intact);
  EXPECT_EQ(d.out, Bytes(text.begin(), text.begin() + long(d.out.size())));
  EXPECT_FALSE(decode(packed, 0).ok);

  // Codes beyond the next free one, or a string code with nothing before it.
  d = decode(lzw_pack({'x', 258, LZW_END_CODE}), 16);
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.out, Bytes{'x'});
  EXPECT_FALSE(decode(lzw_pack({256, LZW_END_CODE}), 16).ok);
  EXPECT_FALSE(decode(lzw_pack({4000, LZW_END_CODE}), 16).ok);

  // Truncated: no end code, or cut inside a group.
  for (size_t cut : {size_t(0), size_t(1), size_t(2), packed.size() - 3, packed.size() - 2}) {
    d = decode(Bytes(packed.begin(), packed.begin() + long(cut)), text.size());
    EXPECT_FALSE(d.ok) << cut;
    EXPECT_TRUE(d.guard_intact);
  }
  EXPECT_FALSE(decode(lzw_pack({'x', 'y'}), 16).ok);

  // Arbitrary bytes never read or write out of bounds.
  std::mt19937 rng(11);
  for (int round = 0; round < 3000; ++round) {
    Bytes junk(rng() % 64);
    for (auto& b : junk) b = uint8_t(rng());
    if (round % 2 && junk.size() > 1) {  // a valid first code more often
      junk[0] = 'q';
      junk[1] &= 0xF0;
    }
    d = decode(junk, rng() % 200);
    EXPECT_TRUE(d.guard_intact) << round;
  }
}

}  // namespace
