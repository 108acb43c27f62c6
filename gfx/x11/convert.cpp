// Pixel-format converters: dirty rows of the visible page into the X image.
//
// Every converter is the same row walk instantiated with a pixel source (how
// one pixel of a source row becomes a visual value) and a target width of 2,
// 3 or 4 bytes; the plain copies are memcpy per row. Loads and stores go
// through memcpy so that unaligned image rows are fine and no pointer is
// punned.
#include "gfx/x11/convert.hpp"

#include <bit>
#include <cstddef>
#include <cstring>

// The paired 16-bit stores put the first pixel in the low half and the packed
// 24-bit stores put the first byte in the low byte; both give the image's
// memory order only on a little-endian host.
static_assert(std::endian::native == std::endian::little, "converters assume a little-endian host");

namespace {

inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline uint32_t load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

inline void store16(uint8_t* p, uint32_t v) {
  const uint16_t h = static_cast<uint16_t>(v);
  std::memcpy(p, &h, sizeof h);
}

// ---- pixel rules ----------------------------------------------------------

// 32-bit colour 0xAARRGGBB.
constexpr uint32_t argb_to_15_red_high(uint32_t p) {
  return ((p >> 9) & 0x7C00) | ((p >> 6) & 0x3E0) | ((p >> 3) & 0x1F);
}
constexpr uint32_t argb_to_15_red_low(uint32_t p) {
  return ((p << 7) & 0x7C00) | ((p >> 6) & 0x3E0) | ((p >> 19) & 0x1F);
}
constexpr uint32_t argb_to_16_red_high(uint32_t p) {
  return ((p >> 8) & 0xF800) | ((p >> 5) & 0x7E0) | ((p >> 3) & 0x1F);
}
constexpr uint32_t argb_to_16_red_low(uint32_t p) {
  return ((p << 8) & 0xF800) | ((p >> 5) & 0x7E0) | ((p >> 19) & 0x1F);
}
// Bytes b, g, r: the low three bytes as they stand (the packer drops alpha).
constexpr uint32_t argb_to_24_red_high(uint32_t p) { return p; }
// Red and blue bytes exchanged, alpha dropped: bytes r, g, b.
constexpr uint32_t argb_to_red_low(uint32_t p) {
  return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}

// 16-bit 5-6-5 pixel, red in bits 11-15.
constexpr uint32_t rgb565_to_15_red_high(uint32_t s) { return ((s >> 1) & 0x7FE0) | (s & 0x1F); }
constexpr uint32_t rgb565_to_15_red_low(uint32_t s) {
  return ((s << 10) & 0x7C00) | ((s >> 1) & 0x3E0) | (s >> 11);
}
constexpr uint32_t rgb565_to_16_red_low(uint32_t s) {
  return (s >> 11) | (s & 0x7E0) | ((s << 11) & 0xF800);
}

// Device palette entry 0x00BBGGRR. Its red and blue exchanged give an ARGB
// colour, so the 32-bit rules place the channels; byte 3 is kept.
constexpr uint32_t swap_red_blue(uint32_t e) {
  return (e & 0xFF00FF00) | ((e & 0xFF) << 16) | ((e >> 16) & 0xFF);
}
template <uint32_t (*rule)(uint32_t)>
constexpr uint32_t palette_via_argb(uint32_t e) {
  return rule(swap_red_blue(e));
}
constexpr uint32_t palette_unchanged(uint32_t e) { return e; }

// ---- pixel sources: pixel i of a source row as a visual value --------------

template <uint32_t (*rule)(uint32_t)>
struct From32 {
  explicit From32(const ConvertSource&) {}
  uint32_t operator()(const uint8_t* row, int32_t i) const {
    return rule(load32(row + 4 * ptrdiff_t(i)));
  }
};

template <uint32_t (*rule)(uint32_t)>
struct From16 {
  explicit From16(const ConvertSource&) {}
  uint32_t operator()(const uint8_t* row, int32_t i) const {
    return rule(load16(row + 2 * ptrdiff_t(i)));
  }
};

// Two lookups per pixel: the low byte's and the high byte's contributions.
struct From16Table {
  const uint32_t* low;
  const uint32_t* high;
  explicit From16Table(const ConvertSource& s) : low(s.lookup16), high(s.lookup16 + 256) {}
  uint32_t operator()(const uint8_t* row, int32_t i) const {
    const uint32_t s = load16(row + 2 * ptrdiff_t(i));
    return low[s & 0xFF] | high[s >> 8];
  }
};

// Palette indices: the 256 visual values are worked out once per call, which
// is cheaper than a per-pixel conversion as soon as one row is dirty.
template <uint32_t (*rule)(uint32_t)>
struct From8 {
  uint32_t values[256];
  explicit From8(const ConvertSource& s) {
    for (int i = 0; i < 256; ++i) values[i] = rule(s.device_palette[i]);
  }
  uint32_t operator()(const uint8_t* row, int32_t i) const { return values[row[i]]; }
};

// ---- row writers ----------------------------------------------------------

// 15 and 16 bits: two pixels per 32-bit store, first pixel in the low half.
template <class Pixel>
void write_row_16(const Pixel& px, const uint8_t* src, uint8_t* dst, int32_t width) {
  int32_t i = 0;
  for (; i + 1 < width; i += 2, dst += 4)
    store32(dst, (px(src, i) & 0xFFFF) | (px(src, i + 1) << 16));
  if (i < width) store16(dst, px(src, i));
}

// 24 bits, low byte first: four pixels in three 32-bit stores, then the
// remaining pixels byte by byte so nothing is written past the row.
template <class Pixel>
void write_row_24(const Pixel& px, const uint8_t* src, uint8_t* dst, int32_t width) {
  int32_t i = 0;
  for (; i + 3 < width; i += 4, dst += 12) {
    const uint32_t a = px(src, i), b = px(src, i + 1), c = px(src, i + 2), d = px(src, i + 3);
    store32(dst, (a & 0xFFFFFF) | (b << 24));
    store32(dst + 4, ((b >> 8) & 0xFFFF) | (c << 16));
    store32(dst + 8, ((c >> 16) & 0xFF) | (d << 8));
  }
  for (; i < width; ++i, dst += 3) {
    const uint32_t v = px(src, i);
    dst[0] = static_cast<uint8_t>(v);
    dst[1] = static_cast<uint8_t>(v >> 8);
    dst[2] = static_cast<uint8_t>(v >> 16);
  }
}

template <class Pixel>
void write_row_32(const Pixel& px, const uint8_t* src, uint8_t* dst, int32_t width) {
  for (int32_t i = 0; i < width; ++i) store32(dst + 4 * ptrdiff_t(i), px(src, i));
}

// ---- the row walk ---------------------------------------------------------

int32_t first_dirty_row(const ConvertSource& s) {
  int32_t y = 0;
  while (y < s.height && !s.dirty[y]) ++y;
  return y;
}

// Pixel i of a row of width pixels becomes pixels i * repeat onward, in place:
// from the right end, so no pixel is overwritten before it has been read.
template <int Bytes>
void widen_row(uint8_t* row, int32_t width, int32_t repeat) {
  for (int32_t i = width - 1; i >= 0; --i) {
    uint8_t pixel[Bytes];
    std::memcpy(pixel, row + ptrdiff_t(i) * Bytes, Bytes);
    uint8_t* out = row + ptrdiff_t(i) * repeat * Bytes;
    for (int32_t k = 0; k < repeat; ++k) std::memcpy(out + ptrdiff_t(k) * Bytes, pixel, Bytes);
  }
}

// Source row y fills output rows y * scanline_size .. + scanline_size - 1 when
// its dirty byte is set; the target is addressed per row, so clean rows cost
// only their byte test. Widened rows are converted once and copied.
template <int TargetBytes, class Row>
void walk_dirty_rows(const ConvertSource& s, int32_t y, uint8_t* target, int32_t target_pitch,
                     Row row) {
  const int32_t repeat = s.scanline_size;
  if (s.pixel_repeat <= 1) {
    for (; y < s.height; ++y) {
      if (!s.dirty[y]) continue;
      const uint8_t* src = s.pixels + ptrdiff_t(y) * s.pitch;
      for (int32_t k = 0; k < repeat; ++k)
        row(src, target + (ptrdiff_t(y) * repeat + k) * target_pitch);
    }
    return;
  }
  const int32_t widen = s.pixel_repeat;
  const size_t row_bytes = size_t(s.width) * size_t(widen) * TargetBytes;
  for (; y < s.height && repeat > 0; ++y) {
    if (!s.dirty[y]) continue;
    uint8_t* first = target + ptrdiff_t(y) * repeat * target_pitch;
    row(s.pixels + ptrdiff_t(y) * s.pitch, first);
    widen_row<TargetBytes>(first, s.width, widen);
    for (int32_t k = 1; k < repeat; ++k)
      std::memcpy(first + ptrdiff_t(k) * target_pitch, first, row_bytes);
  }
}

template <class Pixel, int TargetBytes>
void convert_rows(const ConvertSource& s, uint8_t* target, int32_t target_pitch) {
  const int32_t y = first_dirty_row(s);
  if (y >= s.height || s.width <= 0) return;
  const Pixel px(s);
  const int32_t width = s.width;
  walk_dirty_rows<TargetBytes>(s, y, target, target_pitch, [&](const uint8_t* src, uint8_t* dst) {
    if constexpr (TargetBytes == 2)
      write_row_16(px, src, dst, width);
    else if constexpr (TargetBytes == 3)
      write_row_24(px, src, dst, width);
    else
      write_row_32(px, src, dst, width);
  });
}

template <int SourceBytes>
void copy_rows(const ConvertSource& s, uint8_t* target, int32_t target_pitch) {
  if (s.width <= 0) return;
  const size_t bytes = size_t(s.width) * SourceBytes;
  walk_dirty_rows<SourceBytes>(
      s, 0, target, target_pitch,
      [bytes](const uint8_t* src, uint8_t* dst) { std::memcpy(dst, src, bytes); });
}

// ---- the converter tables -------------------------------------------------

// Index: visual 15, 16, 24, 32; then red-high, red-low.
constexpr Converter from32[4][2] = {
    {convert_rows<From32<argb_to_15_red_high>, 2>, convert_rows<From32<argb_to_15_red_low>, 2>},
    {convert_rows<From32<argb_to_16_red_high>, 2>, convert_rows<From32<argb_to_16_red_low>, 2>},
    {convert_rows<From32<argb_to_24_red_high>, 3>, convert_rows<From32<argb_to_red_low>, 3>},
    {copy_rows<4>, convert_rows<From32<argb_to_red_low>, 4>},
};

constexpr Converter from16[4][2] = {
    {convert_rows<From16<rgb565_to_15_red_high>, 2>, convert_rows<From16<rgb565_to_15_red_low>, 2>},
    {copy_rows<2>, convert_rows<From16<rgb565_to_16_red_low>, 2>},
    {convert_rows<From16Table, 3>, convert_rows<From16Table, 3>},
    {convert_rows<From16Table, 4>, convert_rows<From16Table, 4>},
};

constexpr Converter from8[4][2] = {
    {convert_rows<From8<palette_via_argb<argb_to_15_red_high>>, 2>,
     convert_rows<From8<palette_via_argb<argb_to_15_red_low>>, 2>},
    {convert_rows<From8<palette_via_argb<argb_to_16_red_high>>, 2>,
     convert_rows<From8<palette_via_argb<argb_to_16_red_low>>, 2>},
    {convert_rows<From8<palette_via_argb<argb_to_24_red_high>>, 3>,
     convert_rows<From8<palette_via_argb<argb_to_red_low>>, 3>},
    {convert_rows<From8<swap_red_blue>, 4>, convert_rows<From8<palette_unchanged>, 4>},
};

// Entry i: what a source low byte i contributes; entry 256 + i: a high byte i.
// Each channel lands at the top of its 8-bit field with the low bits zero.
void fill_lookup16(uint32_t* table, bool red_low) {
  uint32_t* low = table;
  uint32_t* high = table + 256;
  for (uint32_t i = 0; i < 256; ++i) {
    if (red_low) {
      low[i] = ((i & 0xE0) << 5) | ((i & 0x1F) << 19);
      high[i] = ((i << 13) & 0xFFFF) | (i & 0xF8);
    } else {
      low[i] = ((i & 0xE0) << 5) | ((i << 3) & 0xFF);
      high[i] = ((i & 0xF8) << 16) | ((i << 13) & 0xFFFF);
    }
  }
}

int visual_index(int32_t visual_bpp) {
  switch (visual_bpp) {
    case 15: return 0;
    case 16: return 1;
    case 24: return 2;
    case 32: return 3;
    default: return -1;
  }
}

}  // namespace

Converter converter_choose(int32_t screen_depth, int32_t visual_bpp, bool red_low,
                           uint32_t* lookup16) {
  if (lookup16) fill_lookup16(lookup16, red_low);
  const int order = red_low ? 1 : 0;
  const int visual = visual_index(visual_bpp);
  switch (screen_depth) {
    case 1:
    case 2:
    case 4:
    case 8:
      if (visual_bpp == 8) return copy_rows<1>;
      return visual < 0 ? nullptr : from8[visual][order];
    case 15:
    case 16: return visual < 0 ? nullptr : from16[visual][order];
    case 24:
    case 32: return visual < 0 ? nullptr : from32[visual][order];
    default: return nullptr;
  }
}
