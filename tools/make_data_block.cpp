// Builds the built-in data block and writes it, compressed, as
// gfx/data_block_packed.cpp.
//
//   make_data_block VGABIOS OUTPUT
//
// VGABIOS is a VGA option ROM that carries the code page 437 fonts, such as
// Debian's /usr/share/seabios/vgabios-isavga.bin. The fonts are found by their
// contents, not by offsets, so another build of the ROM works as long as it
// holds them. The palettes are computed below.
// Run through scripts/make-data-block.sh; the normal build never needs it.
//
// Licence of the output: seabios builds those fonts from vgasrc/vgafonts.c,
// which Debian's copyright file for seabios (/usr/share/doc/seabios/copyright)
// places in the public domain. The generated block, palettes included, is
// public domain too; the package's copyright file says so in a stanza of its
// own for gfx/data_block_packed.cpp.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/data_block.hpp"
#include "tools/lzw_encode.hpp"

// The tool links the decoder to check its own output, and the decoder's
// unpack refers to the stored stream, which is what this tool writes.
const uint8_t data_block_packed[] = {0xFF, 0x0F, 0x00};
const size_t data_block_packed_size = sizeof data_block_packed;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes read_file(const char* path) {
  Bytes data;
  FILE* f = std::fopen(path, "rb");
  if (!f) return data;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  std::fclose(f);
  return data;
}

// Offsets where needle occurs in hay.
std::vector<size_t> find_all(const Bytes& hay, const Bytes& needle) {
  std::vector<size_t> hits;
  if (needle.empty() || hay.size() < needle.size()) return hits;
  for (size_t i = 0; i + needle.size() <= hay.size(); ++i)
    if (std::memcmp(&hay[i], needle.data(), needle.size()) == 0) hits.push_back(i);
  return hits;
}

uint8_t reverse_bits(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r |= uint8_t((b >> i & 1) << (7 - i));
  return r;
}

// Locates a 256-glyph font of the given cell height by its "A" (in the ROM's
// order, leftmost pixel in bit 7) and checks that glyph 0 is blank and glyph
// 0xDB a full block. Returns the font in our order (leftmost pixel in bit 0).
bool find_font(const Bytes& rom, int height, const Bytes& glyph_a, Bytes* font) {
  size_t size = size_t(height) * 256, a_at = size_t(height) * 0x41;
  std::vector<size_t> found;
  for (size_t hit : find_all(rom, glyph_a)) {
    if (hit < a_at || hit - a_at + size > rom.size()) continue;
    const uint8_t* f = &rom[hit - a_at];
    bool ok = true;
    for (int r = 0; r < height; ++r) ok = ok && f[r] == 0x00 && f[0xDB * height + r] == 0xFF;
    if (ok) found.push_back(hit - a_at);
  }
  if (found.size() != 1) {
    std::fprintf(stderr, "make_data_block: %zu candidates for the 8x%d font\n", found.size(),
                 height);
    return false;
  }
  std::fprintf(stderr, "make_data_block: 8x%d font at 0x%zx\n", height, found[0]);
  font->resize(size);
  for (size_t i = 0; i < size; ++i) (*font)[i] = reverse_bits(rom[found[0] + i]);
  return true;
}

// The rest of the VGA's default 256-colour table, in 6-bit DAC values, from
// entry 16 on: a grey ramp, then nine rounds of a 24-step hue circle (three
// saturations at three intensities), then eight blacks. The table is computed
// here rather than read from the ROM: only the fonts come from there.
Bytes vga_palette() {
  static const uint8_t greys[16] = {0x00, 0x05, 0x08, 0x0B, 0x0E, 0x11, 0x14, 0x18,
                                    0x1C, 0x20, 0x24, 0x28, 0x2D, 0x32, 0x38, 0x3F};
  // Per round, the five levels a channel steps through around the circle.
  static const uint8_t levels[9][5] = {
      {0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
      {0, 7, 14, 21, 28},  {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
      {0, 4, 8, 12, 16},   {8, 10, 12, 14, 16},  {11, 12, 13, 15, 16}};
  // Red's step at each point of the circle; green and blue trail by 8 and 16.
  auto step = [](unsigned k) { return k <= 4 ? k : k <= 12 ? 4u : k <= 16 ? 16 - k : 0u; };
  Bytes palette(16 * 3);
  for (uint8_t g : greys) palette.insert(palette.end(), {g, g, g});
  for (const auto& level : levels)
    for (unsigned k = 0; k < 24; ++k)
      palette.insert(palette.end(),
                     {level[step(k)], level[step((k + 16) % 24)], level[step((k + 8) % 24)]});
  palette.resize(256 * 3, 0);
  return palette;
}

void put_rgb(Bytes* out, uint32_t rgb) {
  out->insert(out->end(), {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)});
}

const uint32_t COLORS_16[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA,
                                0xAA5500, 0xAAAAAA, 0x555555, 0x5555FF, 0x55FF55, 0x55FFFF,
                                0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};

// Fonts 8x8, 8x14, 8x16, then the 2-, 16-, 64- and 256-colour palettes.
Bytes build_block(const Bytes& font8, const Bytes& font14, const Bytes& font16, const Bytes& vga) {
  Bytes block;
  block.insert(block.end(), font8.begin(), font8.end());
  block.insert(block.end(), font14.begin(), font14.end());
  block.insert(block.end(), font16.begin(), font16.end());

  put_rgb(&block, 0x000000);
  put_rgb(&block, 0xFFFFFF);

  for (uint32_t c : COLORS_16) put_rgb(&block, c);

  // EGA layout: bits 0-2 add AA to blue, green, red; bits 3-5 add 55.
  for (unsigned n = 0; n < 64; ++n) {
    uint8_t rgb[3];
    for (unsigned ch = 0; ch < 3; ++ch) {  // ch 0 is blue
      unsigned hi = n >> ch & 1, lo = n >> (ch + 3) & 1;
      rgb[2 - ch] = uint8_t(hi * 0xAA + lo * 0x55);
    }
    block.insert(block.end(), rgb, rgb + 3);
  }

  for (uint32_t c : COLORS_16) put_rgb(&block, c);
  for (size_t i = 16 * 3; i < 768; ++i) block.push_back(uint8_t(vga[i] * 255u / 63u));
  return block;
}

bool write_source(const char* path, const char* rom_path, const Bytes& packed) {
  std::string tmp = std::string(path) + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) return false;
  std::fprintf(f,
               "// GENERATED by tools/make_data_block.cpp (run scripts/make-data-block.sh)\n"
               "// from %s. Do not edit.\n"
               "// The built-in fonts and palettes, %zu bytes unpacked, as a 12-bit LZW stream.\n"
               "// Public domain: the fonts come from seabios' vgasrc/vgafonts.c, which\n"
               "// Debian's copyright file for seabios places in the public domain.\n"
               "#include \"gfx/data_block.hpp\"\n\n"
               "const uint8_t data_block_packed[] = {\n",
               rom_path, DATA_BLOCK_SIZE);
  for (size_t i = 0; i < packed.size(); ++i)
    std::fprintf(f, "%s0x%02X,%s", i % 12 == 0 ? "  " : " ", packed[i],
                 i % 12 == 11 || i + 1 == packed.size() ? "\n" : "");
  std::fprintf(f, "};\n\nconst size_t data_block_packed_size = sizeof data_block_packed;\n");
  bool ok = std::fclose(f) == 0;
  return ok && std::rename(tmp.c_str(), path) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_data_block VGABIOS OUTPUT\n");
    return 2;
  }
  Bytes rom = read_file(argv[1]);
  if (rom.empty()) {
    std::fprintf(stderr, "make_data_block: cannot read %s\n", argv[1]);
    return 1;
  }

  Bytes font8, font14, font16;
  if (!find_font(rom, 8, {0x30, 0x78, 0xCC, 0xCC, 0xFC, 0xCC, 0xCC, 0x00}, &font8) ||
      !find_font(
          rom, 14,
          {0x00, 0x00, 0x10, 0x38, 0x6C, 0xC6, 0xC6, 0xFE, 0xC6, 0xC6, 0xC6, 0x00, 0x00, 0x00},
          &font14) ||
      !find_font(rom, 16,
                 {0x00, 0x00, 0x10, 0x38, 0x6C, 0xC6, 0xC6, 0xFE, 0xC6, 0xC6, 0xC6, 0xC6, 0x00,
                  0x00, 0x00, 0x00},
                 &font16))
    return 1;

  Bytes block = build_block(font8, font14, font16, vga_palette());
  static const uint8_t a14[14] = {0x00, 0x00, 0x08, 0x1C, 0x36, 0x63, 0x63,
                                  0x7F, 0x63, 0x63, 0x63, 0x00, 0x00, 0x00};
  if (block.size() != DATA_BLOCK_SIZE ||
      std::memcmp(&block[DATA_FONT_8X14 + 0x41 * 14], a14, 14) != 0 ||
      block[DATA_PALETTE_64 + 6 * 3 + 2] != 0x00 || block[DATA_PALETTE_256 + 31 * 3] != 0xFF) {
    std::fprintf(stderr, "make_data_block: the assembled block is not as expected\n");
    return 1;
  }

  Bytes packed = lzw_encode(block.data(), block.size());
  Bytes check(DATA_BLOCK_SIZE + 1);
  bool ok = false;
  size_t n = lzw_decode(packed.data(), packed.size(), check.data(), check.size(), &ok);
  if (!ok || n != DATA_BLOCK_SIZE || std::memcmp(check.data(), block.data(), n) != 0) {
    std::fprintf(stderr, "make_data_block: the stream does not decode to the block\n");
    return 1;
  }

  if (!write_source(argv[2], argv[1], packed)) {
    std::fprintf(stderr, "make_data_block: cannot write %s\n", argv[2]);
    return 1;
  }
  std::fprintf(stderr, "make_data_block: %zu bytes packed to %zu\n", block.size(), packed.size());
  return 0;
}
