// Text conversions over arbitrary values and bytes: formatNumber over every
// double with both patterns, parseNumber against the C library, findText and
// substring at arbitrary positions against plain loops.
#include <locale.h>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/text.hpp"
#include "check.hpp"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void checkFormat(double value, const Text& pattern) {
  const Text out = formatNumber(value, pattern);
  if (std::isnan(value)) {
    FUZZ_CHECK(out == "nan");
    return;
  }
  if (std::isinf(value)) {
    FUZZ_CHECK(out == (value < 0 ? "-inf" : "inf"));
    return;
  }
  const size_t k = pattern == "0.#" ? 1 : 2;
  // Shape: optional minus, integer digits without leading zeros, a point,
  // at most k fraction digits without trailing zeros.
  size_t i = 0;
  if (i < out.size() && out[i] == '-') ++i;
  const size_t digitsFrom = i;
  while (i < out.size() && isDigit(out[i])) ++i;
  const size_t integerDigits = i - digitsFrom;
  FUZZ_CHECK(integerDigits >= 1);
  FUZZ_CHECK(integerDigits == 1 || out[digitsFrom] != '0');
  FUZZ_CHECK(i < out.size() && out[i] == '.');
  ++i;
  const size_t fractionFrom = i;
  while (i < out.size() && isDigit(out[i])) ++i;
  FUZZ_CHECK(i == out.size());
  FUZZ_CHECK(i - fractionFrom <= k);
  FUZZ_CHECK(i == fractionFrom || out.back() != '0');
  // A minus sign only in front of something that is not zero.
  if (out[0] == '-') FUZZ_CHECK(out != "-0.");

  // Read back, the text is within one unit of the last shown decimal.
  const double back = parseNumber(out);
  const double unit = k == 1 ? 0.1 : 0.01;
  FUZZ_CHECK(std::fabs(back - value) <= unit * 1.000001 + std::fabs(value) * 1e-12);
}

// The C library's reading of the same text, where its forms agree with the
// plain decimal ones we take; false when they may differ (hexadecimal,
// "inf", "nan").
bool libraryReading(const Text& text, double* value) {
  size_t start = 0;
  while (start < text.size() && text[start] == ' ') ++start;
  Text rest = text.substr(start);
  for (char& c : rest) {
    if (c == 'D')
      c = 'E';
    else if (c == 'd')
      c = 'e';
  }
  const size_t nul = rest.find('\0');
  if (nul != Text::npos) rest.resize(nul);
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  char* end = nullptr;
  const double v = strtod_l(rest.c_str(), &end, c);
  for (const char* p = rest.c_str(); p < end; ++p)
    if (std::strchr("xXiInNpP", *p)) return false;
  *value = end == rest.c_str() ? 0 : v;
  return true;
}

void checkParse(const Text& text) {
  const double value = parseNumber(text);
  FUZZ_CHECK(!std::isnan(value));
  double expected = 0;
  if (libraryReading(text, &expected))
    FUZZ_CHECK(std::memcmp(&value, &expected, sizeof value) == 0 || (value == 0 && expected == 0));
  // What follows the number never changes it.
  FUZZ_CHECK(parseNumber(text + "x") == value || (std::isnan(value)));
}

int64_t naiveFind(int64_t start, const Text& text, const Text& pattern) {
  const int64_t n = static_cast<int64_t>(text.size()), m = static_cast<int64_t>(pattern.size());
  if (n == 0 || m == 0 || start < 1 || start > n) return 0;
  for (int64_t p = start; p + m - 1 <= n; ++p) {
    bool same = true;
    for (int64_t j = 0; j < m && same; ++j) same = text[p - 1 + j] == pattern[j];
    if (same) return p;
  }
  return 0;
}

Text naiveSubstring(const Text& text, int64_t start, int64_t length) {
  Text out;
  if (start < 1 || length == 0) return out;
  for (int64_t p = start; p <= static_cast<int64_t>(text.size()); ++p) {
    if (length > 0 && static_cast<int64_t>(out.size()) == length) break;
    out += text[p - 1];
  }
  return out;
}

// Small positions most of the time, so that they land inside the text.
int64_t position(FuzzInput& in) {
  const int64_t raw = in.take<int64_t>();
  return (raw & 1) ? raw >> 1 : (raw >> 1) % 80;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  const uint8_t op = in.take<uint8_t>();
  switch (op % 4) {
    case 0: {
      const double value = in.take<double>();
      const uint8_t which = in.take<uint8_t>();
      size_t n = 0;
      const char* rest = in.bytes(in.size, &n);
      const Text pattern = which % 3 == 0 ? "0.##" : which % 3 == 1 ? "0.#" : Text(rest, n);
      checkFormat(value, pattern);
      // The same value given as text, as the application would see it.
      checkFormat(parseNumber(Text(rest, n)), "0.##");
      checkFormat(parseNumber(Text(rest, n)), "0.#");
      break;
    }
    case 1: {
      size_t n = 0;
      const char* rest = in.bytes(in.size, &n);
      checkParse(Text(rest, n));
      break;
    }
    case 2: {
      const int64_t start = position(in);
      const uint8_t patternLength = in.take<uint8_t>() % 16;
      size_t n = 0;
      const char* p = in.bytes(patternLength, &n);
      const Text pattern(p, n);
      const char* t = in.bytes(in.size, &n);
      const Text text(t, n);
      const int64_t found = findText(start, text, pattern);
      FUZZ_CHECK(found == naiveFind(start, text, pattern));
      break;
    }
    default: {
      const int64_t start = position(in);
      const int64_t length = position(in);
      size_t n = 0;
      const char* t = in.bytes(in.size, &n);
      const Text text(t, n);
      FUZZ_CHECK(substring(text, start, length) == naiveSubstring(text, start, length));
      FUZZ_CHECK(substring(text, start) == naiveSubstring(text, start, -1));
      break;
    }
  }
  return 0;
}
