// Searching, cutting and formatting texts, and numbers read from them in the
// C locale, whatever the user's.
#include "app/text.hpp"

#include <locale.h>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

int64_t findText(int64_t start, const Text& text, const Text& pattern) {
  const int64_t length = static_cast<int64_t>(text.size());
  if (text.empty() || pattern.empty() || start < 1 || start > length ||
      pattern.size() > text.size())
    return 0;
  const size_t at = text.find(pattern, static_cast<size_t>(start - 1));
  return at == Text::npos ? 0 : static_cast<int64_t>(at) + 1;
}

Text substring(const Text& text, int64_t start, int64_t length) {
  const int64_t size = static_cast<int64_t>(text.size());
  if (text.empty() || start < 1 || start > size || length == 0) return Text();
  const int64_t available = size - start + 1;
  const int64_t take = (length < 0 || length > available) ? available : length;
  return text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(take));
}

namespace {

// Largest double below 2^64, so the integer digits always fit in 64 bits.
constexpr double integerLimit = 18446744073709549568.0;

Text unsignedText(uint64_t value) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(value));
  return digits;
}

Text formatDigits(double value, int k) {
  // The application never passes these; give a readable text instead of
  // letting the digit arithmetic run into them.
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";

  int n = value == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(value)))) + 1;
  if (n < 0 && -n >= k) {
    value = 0;  // first significant digit beyond the last shown one: never rounded up
    n = 0;
  }
  int extraZeros = 0;
  if (n > 19) {
    value *= std::pow(10.0, 19 - n);
    extraZeros = n - 19;
  }

  double whole = 0;
  const double fraction = std::modf(value, &whole);
  if (fraction != 0) {
    const double d = k == 1 ? 10.0 : 100.0;
    double g = 0;
    const double rest = std::modf(fraction * d, &g);
    const int64_t e = static_cast<int64_t>(5e14 / d);
    const int64_t f = static_cast<int64_t>(rest * (1e15 / d));
    if (f > e)
      g += 1;
    else if (f < -e)
      g -= 1;
    value = g / d + whole;
  }

  double integerPart = 0;
  const double fractionPart = std::modf(std::fabs(value), &integerPart);
  if (integerPart > integerLimit) integerPart = integerLimit;
  uint64_t integerDigits = static_cast<uint64_t>(integerPart);

  char printed[16];
  std::snprintf(printed, sizeof printed, "%.*f", k, fractionPart);
  // "%.*f" of a fraction just below one would print "1.0"; carry it over.
  if (printed[0] == '1' && integerDigits < UINT64_MAX) {
    ++integerDigits;
    std::snprintf(printed, sizeof printed, "%.*f", k, 0.0);
  }
  Text fractionDigits(printed + 2);
  while (!fractionDigits.empty() && fractionDigits.back() == '0') fractionDigits.pop_back();

  Text out;
  if (value < 0) out += '-';
  out += unsignedText(integerDigits);  // "0" both for exactly 0 and for no digits
  if (integerDigits != 0) out.append(static_cast<size_t>(extraZeros), '0');
  out += '.';
  out += fractionDigits;
  return out;
}

}  // namespace

Text formatNumber(double value, const Text& pattern) {
  const int k = pattern == "0.#" ? 1 : 2;
  // The labels show the same few numbers frame after frame: the texts of the
  // last ones are kept, found by the value's bits.
  struct Formatted {
    uint64_t bits;
    int k;
    Text text;
  };
  thread_local Formatted recent[64];
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  Formatted& slot = recent[((bits * 0x9E3779B97F4A7C15u) >> 58) ^ uint64_t(k)];
  if (slot.k != k || slot.bits != bits) slot = {bits, k, formatDigits(value, k)};
  return slot.text;
}

namespace {

bool isCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest leading part that is a plain decimal number:
// blanks, sign, digits with at most one point, optional exponent.
// Unlike strtod this takes no "inf", "nan" or hexadecimal forms.
size_t decimalPrefix(const Text& s) {
  size_t i = 0;
  while (i < s.size() && isCSpace(s[i])) ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && isDigit(s[j])) {
      while (j < s.size() && isDigit(s[j])) ++j;
      i = j;
    }
  }
  return i;
}

locale_t cLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

}  // namespace

double parseNumber(const Text& text) {
  size_t start = 0;
  while (start < text.size() && text[start] == ' ') ++start;
  if (start == text.size()) return 0;
  Text rest = text.substr(start);
  for (char& c : rest) {
    if (c == 'D')
      c = 'E';
    else if (c == 'd')
      c = 'e';
  }
  const size_t length = decimalPrefix(rest);
  if (length == 0) return 0;
  rest.resize(length);  // also ends the text at the number, before any NUL byte
  return strtod_l(rest.c_str(), nullptr, cLocale());
}

Text integerText(int32_t value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", static_cast<int>(value));
  return digits;
}

Text integerText(uint32_t value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%u", static_cast<unsigned>(value));
  return digits;
}

Text timeOfDayText() {
  const time_t now = std::time(nullptr);
  struct tm local;
  if (now == static_cast<time_t>(-1) || !localtime_r(&now, &local)) return Text();
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return clock;
}

void adoptCharacterLocale() { std::setlocale(LC_CTYPE, ""); }
