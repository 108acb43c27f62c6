#pragma once
// Messages to the user begin with the program's name, so that on a shared
// standard error they can be told from those of the tools it starts.
#include <cstdio>

#include "app/progress.hpp"
#include "app/text.hpp"

inline constexpr char programName[] = "tandrel";

// "tandrel: " and the text.
inline Text programMessage(const Text& text) { return Text(programName) + ": " + text; }

// The message and a line end on standard error, in one piece, in place of
// a progress line.
inline void reportMessage(const Text& text) {
  progressClear();
  const Text line = programMessage(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}
