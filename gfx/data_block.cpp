// Unpacking of the built-in fonts and palettes.
//
// The stream is ours, but the decoder treats it as untrusted: every code is
// checked against the dictionary, every string against the room left, and
// every read against the input size.
#include "gfx/data_block.hpp"

#include <mutex>

uint8_t data_block[DATA_BLOCK_SIZE];

namespace {

constexpr unsigned END_CODE = 4095;
constexpr unsigned FIRST_FREE = 256;
constexpr unsigned MAX_CHAIN = 4094;

// One entry per code: the string is prefix's string followed by last.
struct Dictionary {
  uint16_t prefix[4096];
  uint16_t length[4096];
  uint8_t last[4096];
  uint8_t first[4096];
};

// Code number i of the stream; false when the input ends before it.
bool read_code(const uint8_t* in, size_t in_size, size_t i, unsigned* code) {
  size_t at = i / 2 * 3 + i % 2;
  if (in_size < 2 || at > in_size - 2) return false;
  if (i % 2 == 0)
    *code = in[at] | (in[at + 1] & 0x0Fu) << 8;
  else
    *code = in[at] >> 4 | unsigned(in[at + 1]) << 4;
  return true;
}

std::once_flag unpack_once;
bool unpack_ok = false;

}  // namespace

size_t lzw_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t capacity, bool* ok) {
  bool ignored;
  if (!ok) ok = &ignored;
  *ok = false;
  if (!in) in_size = 0;
  if (!out) capacity = 0;

  Dictionary dict;
  for (unsigned c = 0; c < FIRST_FREE; ++c) {
    dict.length[c] = 1;
    dict.last[c] = dict.first[c] = uint8_t(c);
    dict.prefix[c] = 0;
  }

  unsigned next = FIRST_FREE;
  unsigned prev = END_CODE;  // none yet
  size_t pos = 0;
  for (size_t i = 0;; ++i) {
    unsigned code;
    if (!read_code(in, in_size, i, &code)) return pos;  // truncated
    if (code == END_CODE) {
      *ok = true;
      return pos;
    }
    if (prev == END_CODE) {
      if (code >= FIRST_FREE) return pos;  // nothing to build a string from
    } else {
      // A code one past the dictionary is the previous string plus its own
      // first byte; anything further is corrupt. Once the dictionary is full
      // (next is 4095) every code below the end code is known.
      if (code > next) return pos;
      if (next < END_CODE) {
        unsigned length = dict.length[prev] + 1u;
        if (length > MAX_CHAIN) return pos;
        dict.prefix[next] = uint16_t(prev);
        dict.length[next] = uint16_t(length);
        dict.first[next] = dict.first[prev];
        dict.last[next] = code == next ? dict.first[prev] : dict.first[code];
        ++next;
      }
    }

    size_t length = dict.length[code];
    if (length > capacity - pos) return pos;  // would pass the expected size
    // Strings are stored back to front; write from the end of their slot.
    unsigned k = code;
    for (size_t j = length; j > 0; --j) {
      out[pos + j - 1] = dict.last[k];
      k = dict.prefix[k];
    }
    pos += length;
    prev = code;
  }
}

bool data_block_unpack() {
  std::call_once(unpack_once, [] {
    bool ok = false;
    size_t n =
        lzw_decode(data_block_packed, data_block_packed_size, data_block, DATA_BLOCK_SIZE, &ok);
    unpack_ok = ok && n == DATA_BLOCK_SIZE;
  });
  return unpack_ok;
}
