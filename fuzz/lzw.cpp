// lzw_decode over arbitrary streams and capacities, against a plain decoder
// written from the stream rules, with guard bytes on both sides of the
// output; and the encoding of arbitrary data decoded back.
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "check.hpp"
#include "gfx/data_block.hpp"

namespace {

constexpr unsigned endCode = 4095;
constexpr size_t guard = 64;
constexpr uint8_t guardByte = 0xA5;

// Decodes by the rules alone: strings kept whole, no limits but the stream's.
std::string referenceDecode(const uint8_t* in, size_t size, size_t capacity, bool* ok) {
  *ok = false;
  std::vector<std::string> dict;
  for (unsigned c = 0; c < 256; ++c) dict.push_back(std::string(1, char(c)));
  std::string out;
  int prev = -1;
  for (size_t i = 0;; ++i) {
    const size_t at = i / 2 * 3 + i % 2;
    if (at + 2 > size) return out;
    const unsigned code = i % 2 == 0 ? (in[at] | (in[at + 1] & 0x0Fu) << 8)
                                     : (in[at] >> 4 | unsigned(in[at + 1]) << 4);
    if (code == endCode) {
      *ok = true;
      return out;
    }
    if (prev < 0 && code >= 256) return out;
    if (prev >= 0) {
      if (code > dict.size()) return out;
      if (dict.size() < endCode) {
        const std::string& p = dict[size_t(prev)];
        const char first = code == dict.size() ? p[0] : dict[code][0];
        if (p.size() + 1 > 4094) return out;
        dict.push_back(p + first);
      }
    }
    const std::string& s = dict[code];
    if (s.size() > capacity - out.size()) return out;
    out += s;
    prev = int(code);
  }
}

// The stream for data: longest known string first, one new string per code.
std::vector<uint8_t> encode(const uint8_t* data, size_t size) {
  std::vector<unsigned> codes;
  if (size > 0) {
    std::map<std::pair<unsigned, uint8_t>, unsigned> known;
    unsigned next = 256, w = data[0];
    for (size_t i = 1; i < size; ++i) {
      auto it = known.find({w, data[i]});
      if (it != known.end()) {
        w = it->second;
        continue;
      }
      codes.push_back(w);
      if (next < endCode) known[{w, data[i]}] = next++;
      w = data[i];
    }
    codes.push_back(w);
  }
  codes.push_back(endCode);
  if (codes.size() % 2) codes.push_back(endCode);
  std::vector<uint8_t> out;
  for (size_t i = 0; i < codes.size(); i += 2) {
    out.push_back(uint8_t(codes[i]));
    out.push_back(uint8_t(codes[i] >> 8 | (codes[i + 1] & 0x0F) << 4));
    out.push_back(uint8_t(codes[i + 1] >> 4));
  }
  return out;
}

// Decodes into a buffer of exactly capacity bytes between two guard zones.
size_t guardedDecode(const uint8_t* in, size_t size, size_t capacity, std::vector<uint8_t>& buffer,
                     bool* ok) {
  buffer.assign(capacity + 2 * guard, guardByte);
  const size_t n = lzw_decode(in, size, buffer.data() + guard, capacity, ok);
  FUZZ_CHECK(n <= capacity);
  for (size_t i = 0; i < guard; ++i) {
    FUZZ_CHECK(buffer[i] == guardByte);
    FUZZ_CHECK(buffer[guard + capacity + i] == guardByte);
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  const uint8_t mode = in.take<uint8_t>();
  const size_t capacity = in.take<uint16_t>() % 16384;
  std::vector<uint8_t> buffer;
  bool ok = false;

  if (mode & 1) {
    // Arbitrary stream.
    const size_t n = guardedDecode(in.data, in.size, capacity, buffer, &ok);
    bool refOk = false;
    const std::string expected = referenceDecode(in.data, in.size, capacity, &refOk);
    FUZZ_CHECK(ok == refOk);
    FUZZ_CHECK(n == expected.size());
    FUZZ_CHECK(std::memcmp(buffer.data() + guard, expected.data(), n) == 0);
  } else {
    // Arbitrary data, encoded: decodes back whole when it fits, else a
    // prefix of it with ok false.
    const std::vector<uint8_t> stream = encode(in.data, in.size);
    const size_t room = (mode & 2) ? in.size : capacity;
    const size_t n = guardedDecode(stream.data(), stream.size(), room, buffer, &ok);
    FUZZ_CHECK(std::memcmp(buffer.data() + guard, in.data, n) == 0);
    if (room >= in.size) {
      FUZZ_CHECK(ok);
      FUZZ_CHECK(n == in.size);
    } else {
      FUZZ_CHECK(!ok);
    }
  }

  // No input at all, or no room at all, writes nothing and reports no success
  // unless the stream ends at once.
  FUZZ_CHECK(lzw_decode(nullptr, 0, nullptr, 0, &ok) == 0 && !ok);
  FUZZ_CHECK(lzw_decode(in.data, in.size, nullptr, 0, nullptr) == 0);
  return 0;
}
