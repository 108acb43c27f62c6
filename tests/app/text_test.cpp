// Text search, cutting, number formatting and parsing, clock text.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "app/text.hpp"
#include "app_test.hpp"

TEST(FormatNumber, WorkedValues) {
  struct Case {
    double value;
    const char* twoDecimals;
    const char* oneDecimal;
  };
  const Case cases[] = {
      {0, "0.", "0."},           {5, "5.", "5."},          {190, "190.", "190."},
      {0.5, "0.5", "0.5"},       {0.045, "0.04", "0."},    {0.046, "0.05", "0."},
      {0.0099, "0.", "0."},      {0.01, "0.01", "0."},     {0.06, "0.06", "0."},
      {0.1, "0.1", "0.1"},       {0.125, "0.12", "0.1"},   {0.95, "0.95", "0.9"},
      {7.05, "7.05", "7."},      {7.06, "7.06", "7.1"},    {12.345, "12.34", "12.3"},
      {23.456, "23.46", "23.5"}, {99.999, "100.", "100."}, {123.456, "123.46", "123.5"},
      {-0.25, "-0.25", "-0.2"},  {-0.004, "0.", "0."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatNumber(c.value, "0.##"), c.twoDecimals) << c.value;
    EXPECT_EQ(formatNumber(c.value, "0.#"), c.oneDecimal) << c.value;
  }
}

TEST(FormatNumber, HugeAndNonFiniteValuesGiveSaneTexts) {
  EXPECT_EQ(formatNumber(1e19, "0.##"), "10000000000000000000.");
  // Beyond 19 integer digits the digits are padded with zeros: one per digit.
  const double huge[] = {1e20, 4.2e25, -3e100, 1e308, std::numeric_limits<double>::max()};
  for (double v : huge) {
    const Text text = formatNumber(v, "0.#");
    const size_t digits = static_cast<size_t>(std::floor(std::log10(std::fabs(v)))) + 1;
    EXPECT_EQ(text.size(), digits + 1 + (v < 0)) << v;
    EXPECT_EQ(text.back(), '.') << v;
  }
  EXPECT_EQ(formatNumber(-3e100, "0.#")[0], '-');
  EXPECT_EQ(formatNumber(INFINITY, "0.##"), "inf");
  EXPECT_EQ(formatNumber(-INFINITY, "0.##"), "-inf");
  EXPECT_EQ(formatNumber(NAN, "0.#"), "nan");
  EXPECT_EQ(formatNumber(5e-324, "0.##"), "0.");
}

TEST(ParseNumber, ReadsTheLeadingDecimalNumberOnly) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"", 0},          {"   ", 0},          {"ms", 0},        {"<1 ms", 0},
      {"1D2", 100},     {"1d2", 100},        {"2.5D-1", 0.25}, {"0.045", 0.045},
      {"12.3 ", 12.3},  {"123 m", 123},      {"7.61 ", 7.61},  {"  42", 42},
      {"\t4", 4},       {"-2.5e1x", -25},    {"+3", 3},        {".5", 0.5},
      {"5.", 5},        {"1.2.3", 1.2},      {"1e", 1},        {"1e+", 1},
      {"0x10", 0},      {"nan", 0},          {"inf", 0},       {"-infinity", 0},
      {"1e308", 1e308}, {"9e999", INFINITY}, {"1e-999", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(parseNumber(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(parseNumber(Text("3\0"
                             "5",
                             3)),
            3);
}

TEST(ParseNumber, IgnoresTheGlobalNumericLocale) {
  // A German locale of our own, where the decimal sign is a comma.
  ScratchDir dir;
  const std::string build =
      "localedef -i de_DE -f UTF-8 '" + dir.file("de_DE.UTF-8") + "' >/dev/null 2>&1";
  if (std::system(build.c_str()) != 0) GTEST_SKIP() << "localedef cannot build de_DE";
  EnvSetting path("LOCPATH", dir.path().c_str());
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
  ASSERT_EQ(std::strtod("0,5", nullptr), 0.5);  // the locale is in force
  EXPECT_EQ(parseNumber("0.045"), 0.045);
  EXPECT_EQ(parseNumber("0,045"), 0);
  EXPECT_EQ(formatNumber(1.5, "0.#"), "1.5");
  std::setlocale(LC_NUMERIC, "C");

  // The program takes only the character classes from a German environment.
  EnvSetting all("LC_ALL", "de_DE.UTF-8");
  adoptCharacterLocale();
  EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "de_DE.UTF-8");
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  EXPECT_EQ(parseNumber("2.5"), 2.5);
  std::setlocale(LC_CTYPE, "C");
}

TEST(FindText, PositionsAndBounds) {
  struct Case {
    int64_t start;
    const char* text;
    const char* pattern;
    int64_t found;
  };
  const Case cases[] = {
      {1, "Address: x", "Address: ", 1},
      {1, "ab", "abc", 0},
      {1, "", "a", 0},
      {1, "abc", "", 0},
      {0, "abc", "a", 0},
      {-5, "abc", "a", 0},
      {4, "abc", "c", 0},
      {3, "abc", "c", 3},
      {2, "abab", "ab", 3},
      {1, "xyz", "q", 0},
      {1, "a#b", "#", 2},
      {1, "aaa", "aa", 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(findText(c.start, c.text, c.pattern), c.found) << c.text << " / " << c.pattern;
  EXPECT_EQ(findText(1, Text("a\0b", 3), Text("\0b", 2)), 2);
}

TEST(Substring, BoundsAndLengths) {
  struct Case {
    const char* text;
    int64_t start, length;
    const char* part;
  };
  const Case cases[] = {
      {"123456789", 10, -1, ""}, {"1234567890", 10, -1, "0"},
      {"", 1, -1, ""},           {"abc", 0, 2, ""},
      {"abc", -1, 2, ""},        {"abc", 2, 0, ""},
      {"abc", 2, 1, "b"},        {"abc", 2, 99, "bc"},
      {"abc", 1, -7, "abc"},     {"time=0.045 ms", 6, 5, "0.045"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(substring(c.text, c.start, c.length), c.part)
        << c.text << " " << c.start << " " << c.length;
}

TEST(IntegerText, SignedAndUnsigned) {
  EXPECT_EQ(integerText(int32_t{2}), "2");
  EXPECT_EQ(integerText(int32_t{-7}), "-7");
  EXPECT_EQ(integerText(INT32_MIN), "-2147483648");
  EXPECT_EQ(integerText(uint32_t{3}), "3");
  EXPECT_EQ(integerText(UINT32_MAX), "4294967295");
}

TEST(TimeOfDayText, TwoDigitsEachJustAfterMidnight) {
  // A time zone whose local clock stands at 00:00:05 right now.
  const time_t now = std::time(nullptr);
  const long offset = (86400 + 5 - static_cast<long>(now % 86400)) % 86400;
  char zone[32];
  std::snprintf(zone, sizeof zone, "XXX-%02ld:%02ld:%02ld", offset / 3600, offset / 60 % 60,
                offset % 60);
  Text text;
  {
    EnvSetting tz("TZ", zone);
    tzset();
    text = timeOfDayText();
  }
  tzset();
  EXPECT_EQ(text.size(), 8u) << text;
  EXPECT_EQ(text.substr(0, 7), "00:00:0") << text;
}
