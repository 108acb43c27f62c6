#pragma once
// The monitor window: set-up and the main loop.
#include <cstdint>

// Opens the 800 x (count * 200) screen, titles it and selects the 8x14 font.
// Returns the error code of screen_open (0 on success).
int32_t openWindow(uint8_t count);

// Chooses the built-in font whose cells are h pixels high (8, 14 or 16).
bool selectFontHeight(int32_t h);

// Draws one frame: background and every panel (between lock and unlock).
void drawFrame();

// Turns until the close-box key is read or a stop signal has arrived; each
// turn draws one frame with draw.
void mainLoop(void (*draw)() = drawFrame);

// Closes the screen. When a stop signal ended the loop, the process then ends
// as that signal would have ended it.
void closeWindow();

// Makes SIGTERM, SIGINT and SIGHUP end the main loop after its current turn,
// so that the screen is closed (and a switched display mode given back) before
// the signal ends the process; a second signal ends it at once. A signal the
// process was started with ignored stays ignored.
void endOnStopSignals();
