#pragma once
// The one PNG form the project writes: 8-bit RGB, no interlace, one IDAT
// chunk, every row unfiltered. The screenshot tool and the golden-frame test
// write it; decodePng reads back that form alone (the test's reference
// picture) and refuses any other rather than guess. decodePngRgba reads the
// icons of data/icons: 8-bit RGBA as any encoder writes it. Needs zlib.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

inline void pngPut32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

inline uint32_t pngGet32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

inline void pngChunk(std::vector<uint8_t>& png, const char* type,
                     const std::vector<uint8_t>& data) {
  pngPut32(png, uint32_t(data.size()));
  size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  pngPut32(png, uint32_t(crc32(0, png.data() + start, uInt(png.size() - start))));
}

// rgb holds width * height pixels, three bytes each, row after row.
inline bool encodePng(int width, int height, const std::vector<uint8_t>& rgb,
                      std::vector<uint8_t>* out) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  pngPut32(header, uint32_t(width));
  pngPut32(header, uint32_t(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, no interlace
  pngChunk(png, "IHDR", header);
  std::vector<uint8_t> raw;
  raw.reserve(size_t(height) * (size_t(width) * 3 + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    const uint8_t* row = rgb.data() + size_t(y) * size_t(width) * 3;
    raw.insert(raw.end(), row, row + size_t(width) * 3);
  }
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(size);
  if (compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 9) != Z_OK) return false;
  packed.resize(size);
  pngChunk(png, "IDAT", packed);
  pngChunk(png, "IEND", {});
  *out = std::move(png);
  return true;
}

// Walks the chunks: the header's 13 bytes and the image data joined. False
// for a damaged chunk, no header, and pictures larger than 16384 pixels a
// side; chunks a reader may skip (lower-case first letter) are skipped only
// when skipAncillary is set, anything else unknown is refused.
inline bool pngChunks(const std::vector<uint8_t>& png, bool skipAncillary, uint8_t header[13],
                      std::vector<uint8_t>* packed) {
  static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || std::memcmp(png.data(), signature, 8) != 0) return false;
  bool headed = false;
  size_t at = 8;
  for (;;) {
    if (png.size() - at < 12) return false;
    uint32_t length = pngGet32(&png[at]);
    if (length > png.size() - at - 12) return false;
    const uint8_t* type = &png[at + 4];
    const uint8_t* data = type + 4;
    if (pngGet32(data + length) != uint32_t(crc32(0, type, uInt(length + 4)))) return false;
    at += 12 + length;
    if (std::memcmp(type, "IHDR", 4) == 0) {
      if (length != 13) return false;
      std::memcpy(header, data, 13);
      uint32_t w = pngGet32(data), h = pngGet32(data + 4);
      if (w == 0 || h == 0 || w > 16384 || h > 16384) return false;
      headed = true;
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      packed->insert(packed->end(), data, data + length);
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      return headed;
    } else if (!skipAncillary || !(type[0] & 0x20)) {
      return false;
    }
  }
}

// The rows of a picture of that header, each after its filter byte.
inline bool pngInflate(const uint8_t header[13], const std::vector<uint8_t>& packed,
                       size_t pixelBytes, std::vector<uint8_t>* raw) {
  raw->assign((size_t(pngGet32(header)) * pixelBytes + 1) * pngGet32(header + 4), 0);
  uLongf size = uLongf(raw->size());
  return uncompress(raw->data(), &size, packed.data(), uLong(packed.size())) == Z_OK &&
         size == raw->size();
}

// The inverse of encodePng; false for anything encodePng does not write,
// for a damaged chunk and for pictures larger than 16384 pixels a side.
inline bool decodePng(const std::vector<uint8_t>& png, int* width, int* height,
                      std::vector<uint8_t>* rgb) {
  static const uint8_t form[5] = {8, 2, 0, 0, 0};
  uint8_t header[13];
  std::vector<uint8_t> packed, raw;
  if (!pngChunks(png, false, header, &packed) || std::memcmp(header + 8, form, 5) != 0 ||
      !pngInflate(header, packed, 3, &raw))
    return false;
  const uint32_t w = pngGet32(header), h = pngGet32(header + 4);
  size_t stride = size_t(w) * 3 + 1;
  rgb->clear();
  rgb->reserve(size_t(w) * 3 * h);
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = raw.data() + y * stride;
    if (row[0] != 0) return false;
    rgb->insert(rgb->end(), row + 1, row + stride);
  }
  *width = int(w);
  *height = int(h);
  return true;
}

// An 8-bit RGBA picture without interlace, every filter undone: four bytes
// a pixel, row after row. False for any other form.
inline bool decodePngRgba(const std::vector<uint8_t>& png, int* width, int* height,
                          std::vector<uint8_t>* rgba) {
  static const uint8_t form[5] = {8, 6, 0, 0, 0};
  uint8_t header[13];
  std::vector<uint8_t> packed, raw;
  if (!pngChunks(png, true, header, &packed) || std::memcmp(header + 8, form, 5) != 0 ||
      !pngInflate(header, packed, 4, &raw))
    return false;
  const size_t w = pngGet32(header), h = pngGet32(header + 4), line = w * 4;
  rgba->assign(line * h, 0);
  for (size_t y = 0; y < h; ++y) {
    const uint8_t filter = raw[y * (line + 1)];
    const uint8_t* in = &raw[y * (line + 1) + 1];
    uint8_t* out = &(*rgba)[y * line];
    const uint8_t* up = y ? out - line : nullptr;
    for (size_t i = 0; i < line; ++i) {
      const int a = i >= 4 ? out[i - 4] : 0, b = up ? up[i] : 0, c = up && i >= 4 ? up[i - 4] : 0;
      const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      int predicted;
      switch (filter) {
        case 0: predicted = 0; break;
        case 1: predicted = a; break;
        case 2: predicted = b; break;
        case 3: predicted = (a + b) / 2; break;
        case 4: predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c; break;
        default: return false;
      }
      out[i] = uint8_t(in[i] + predicted);
    }
  }
  *width = int(w);
  *height = int(h);
  return true;
}
