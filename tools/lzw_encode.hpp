#pragma once
// 12-bit LZW encoder matching lzw_decode (gfx/data_block.cpp). Used by the
// data block generator and by the decoder's tests, so both share one encoder.
//
// Codes 0-255 are literal bytes; new strings take codes from 256 upward, one
// per emitted code after the first, while the next free code is below 4095.
// 4095 ends the stream. Codes go two in three bytes, low nibble of the
// middle byte to the first code.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint16_t LZW_END_CODE = 4095;
constexpr uint16_t LZW_FIRST_FREE = 256;

// The code sequence for data, without the end code.
inline std::vector<uint16_t> lzw_codes(const uint8_t* data, size_t size) {
  std::vector<uint16_t> codes;
  if (size == 0) return codes;
  // next_code[w * 256 + c] is the code of string w followed by byte c, or 0
  // (no string has code 0 other than the literal, which is never looked up).
  std::vector<uint16_t> next_code(4096 * 256, 0);
  uint16_t free_code = LZW_FIRST_FREE;
  uint16_t w = data[0];
  for (size_t i = 1; i < size; ++i) {
    uint8_t c = data[i];
    uint16_t known = next_code[size_t(w) * 256 + c];
    if (known != 0) {
      w = known;
      continue;
    }
    codes.push_back(w);
    if (free_code < LZW_END_CODE) next_code[size_t(w) * 256 + c] = free_code++;
    w = c;
  }
  codes.push_back(w);
  return codes;
}

// Packs codes two in three bytes; an odd last code is followed by an end code
// so every group is whole.
inline std::vector<uint8_t> lzw_pack(const std::vector<uint16_t>& codes) {
  std::vector<uint8_t> out;
  out.reserve((codes.size() + 1) / 2 * 3);
  for (size_t i = 0; i < codes.size(); i += 2) {
    uint16_t a = codes[i] & 0xFFF;
    uint16_t b = i + 1 < codes.size() ? codes[i + 1] & 0xFFF : LZW_END_CODE;
    out.push_back(uint8_t(a));
    out.push_back(uint8_t(a >> 8 | (b & 0x0F) << 4));
    out.push_back(uint8_t(b >> 4));
  }
  return out;
}

// The whole stored stream for data: its codes, then the end code.
inline std::vector<uint8_t> lzw_encode(const uint8_t* data, size_t size) {
  std::vector<uint16_t> codes = lzw_codes(data, size);
  codes.push_back(LZW_END_CODE);
  return lzw_pack(codes);
}
