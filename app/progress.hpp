#pragma once
// The start-up's progress on a terminal: which host is being probed, on one
// line of standard error rewritten in place. Nothing is written unless
// standard error is a terminal and the program runs in its foreground: a log
// keeps no trace of it, and a prompt typed at meanwhile is not overwritten.
#include "app/text.hpp"

// Shows text as the line, cut to the terminal's width, in place of the last.
void progressShow(const Text& text);

// Clears the line, if one is shown. A stop signal while it is shown clears
// it too before it ends the program.
void progressClear();

// Where a tool started now writes its standard error: while the line is
// shown, a pipe whose bytes reach the terminal on lines of their own, the
// line written again below them; otherwise -1 (the program's own is kept).
int progressErrorOutput();
