#pragma once
// Texts are counted byte strings; positions are 1-based and 0 means "not found".
#include <cstdint>
#include <string>

using Text = std::string;

// Position (1-based) of the first occurrence of pattern in text at or after start;
// 0 when absent, when text or pattern is empty, when start < 1 or start > length,
// or when the pattern is longer than the text.
int64_t findText(int64_t start, const Text& text, const Text& pattern);

// Bytes from position start on, at most length of them (negative: to the end).
// Empty when text is empty, start < 1, start beyond the end, or length is 0.
Text substring(const Text& text, int64_t start, int64_t length = -1);

// "0.##" or "0.#": integer digits, always a point, up to k fraction digits.
Text formatNumber(double value, const Text& pattern);

// Leading decimal number after blanks, "D"/"d" read as exponent; 0 when none.
// Always the C locale's decimal point.
double parseNumber(const Text& text);

Text integerText(int32_t value);   // "%d"
Text integerText(uint32_t value);  // "%u"

// Local time of day as "HH:MM:SS"; empty when the local time is unknown.
Text timeOfDayText();

// Takes LC_CTYPE from the environment and keeps numeric conventions in "C".
void adoptCharacterLocale();
