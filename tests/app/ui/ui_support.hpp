#pragma once
// Frames of the monitor drawn on the Null driver, and ways to look at them.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/hosts.hpp"

namespace ui {

constexpr uint32_t background = 0xFF1E1E1E;
constexpr uint32_t face = 0xFF0066CC;
constexpr uint32_t light = 0xFFF5FFFF;
constexpr uint32_t dark = 0xFF010101;
constexpr uint32_t grey = 0xFF888B8B;
constexpr uint32_t warning = 0xFFE06C75;
constexpr uint32_t white = 0xFFFFFFFF;
constexpr uint32_t black = 0xFF000000;
constexpr uint32_t green = 0xFF00C800;
constexpr uint32_t red = 0xFFC80000;

// For textAt: pixels outside the glyphs may be anything but the text colour.
constexpr uint32_t notText = 0x00000000;

// Pixel of the visible page; fails the test outside the screen.
uint32_t pixel(int x, int y);

// The text drawn with its first cell at (x, y) in the 8 x 14 font: every set
// glyph bit is fg, every other pixel of the cells is bg (or, with notText, not
// fg). Pixels outside the screen, and those for which ignore answers true
// (something drawn later over the text), are skipped.
testing::AssertionResult textAt(int x, int y, const std::string& text, uint32_t fg, uint32_t bg,
                                const std::function<bool(int x, int y)>& ignore = {});

// Every pixel of the box (inclusive corners) has the colour.
testing::AssertionResult boxIs(int x1, int y1, int x2, int y2, uint32_t color);

// The columns in [x1, x2] of row y that have the colour, as a count.
int countInRow(int y, int x1, int x2, uint32_t color);

// A fresh host table and the mouse off the window.
void resetState();

// The next slot, filled as a probe would leave a reachable host with its
// next ping far in the future (so no frame pings it).
HostRecord& placeHost(const std::string& name, bool reachable = true);

// Samples: value v at index k with an "HH:MM:SS" stamp derived from k.
void setSample(HostRecord& host, int k, double v);

void pointerAt(int64_t x, int64_t y, int64_t buttons = 0);

// Stub nslookup, nmap, ping and a launcher script first on PATH for the life
// of the object; each appends its arguments as one line to its log.
class Tools {
 public:
  Tools();
  ~Tools();
  std::string dir() const;
  std::string log(const std::string& tool) const;  // "" when never called
  int calls(const std::string& tool) const;        // lines in the log
  std::string launcher() const;                    // path of the launcher stub
  // What the tool prints for this first argument instead of its default.
  void answer(const std::string& tool, const std::string& name, const std::string& text);
  // Seconds the tool waits before it answers.
  void delay(const std::string& tool, double seconds);
  // Wall-clock start of every call so far.
  std::vector<double> starts(const std::string& tool) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// What the scripted mouse reports for one frame; off: the pointer is not on
// the window (the read fails).
struct Pointer {
  int32_t x = -1, y = -1, buttons = 0;
  bool off = false;
};

// Runs the real main loop on the open screen with a driver whose mouse follows
// the script: it is called at the start of every frame with the frame number
// (so it sees the previous frame's results) and fills the pointer. Returning
// false makes this the last frame: the close box is used during it.
// Answers the number of frames drawn.
int runLoop(const std::function<bool(int frame, Pointer& pointer)>& script);

// Test fixture: stubs on PATH, ZORGFX=null, the screen closed at the end.
class FrameTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Opens the window for the hosts added so far and draws one frame.
  void drawOne();
  std::unique_ptr<Tools> tools;
};

}  // namespace ui
