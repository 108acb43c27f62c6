// The window that explains a start without hosts, drawn in the panel's font
// and colours and ended through the monitor's own loop.
#include "app/ui/notice_window.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/config.hpp"
#include "app/messages.hpp"
#include "app/ui/paint.hpp"
#include "app/ui/palette.hpp"
#include "app/ui/window.hpp"
#include "gfx/console.hpp"
#include "gfx/draw.hpp"
#include "gfx/screen.hpp"

namespace {

constexpr int32_t margin = 8, lineHeight = 14, columns = (800 - 2 * margin) / 8;
// The window grows with its lines from 200 pixels up to this many lines
// (576 pixels, room on a small screen); beyond them the places are cut short.
constexpr size_t mostLines = 40;

// What the window shows, already in the font's code page; the first line
// in the notice colour.
std::vector<Text> shownLines;

// The font is code page 437: German letters get their codes there, the
// German quotes become plain ones, anything else unknown a "?".
Text toCodePage437(const Text& text) {
  struct Letter {
    const char* utf8;
    char code;
  };
  static const Letter letters[] = {
      {"ä", '\x84'}, {"ö", '\x94'}, {"ü", '\x81'}, {"Ä", '\x8E'}, {"Ö", '\x99'},
      {"Ü", '\x9A'}, {"ß", '\xE1'}, {"„", '"'},    {"“", '"'},    {"”", '"'},
  };
  Text out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += text[i++];
      continue;
    }
    size_t length = 1;
    for (const Letter& l : letters)
      if (text.compare(i, std::strlen(l.utf8), l.utf8) == 0) {
        out += l.code;
        length = std::strlen(l.utf8);
        break;
      }
    if (length == 1) {
      out += '?';
      // Skip the continuation bytes of the one unknown character.
      while (i + length < text.size() &&
             (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80)
        ++length;
    }
    i += length;
  }
  return out;
}

// Appends text to lines, cut into lines of the window's width, at blanks
// where possible.
void addWrapped(const Text& text, std::vector<Text>& lines = shownLines) {
  Text rest = toCodePage437(text);
  while (rest.size() > size_t(columns)) {
    size_t cut = rest.rfind(' ', size_t(columns));
    if (cut == Text::npos || cut == 0) cut = size_t(columns);
    lines.push_back(rest.substr(0, cut));
    rest.erase(0, rest[cut] == ' ' ? cut + 1 : cut);
  }
  lines.push_back(rest);
}

// The message, the places looked at and how the file begins. The example
// is what the window is for: places that would push it off are cut short.
void buildLines(const Text& message, const char* placesHeading, const ConfigLookup& lookup) {
  std::vector<Text> example{""};
  addWrapped(
      "Beispiel für die ersten zwei Zeilen (Vorlage: "
      "/usr/share/doc/tandrel/examples/tandrel.cfg):",
      example);
  addWrapped("  terminal=setsid -f x-terminal-emulator -e", example);
  addWrapped("  localhost", example);
  addWrapped(message);
  shownLines.push_back("");
  addWrapped(placesHeading);
  std::vector<Text> places;
  for (const Text& place : lookup.places) addWrapped("  " + place, places);
  const size_t room = mostLines - std::min(mostLines, shownLines.size() + example.size());
  if (places.size() > room) {
    places.resize(room > 0 ? room - 1 : 0);
    places.push_back("  ...");
  }
  shownLines.insert(shownLines.end(), places.begin(), places.end());
  shownLines.insert(shownLines.end(), example.begin(), example.end());
}

void drawNotice() {
  screen_lock();
  console_clear(CLEAR_DEFAULT);
  fillBox(0, 0, float(screenWidth), float(screenHeight), windowBackground);
  for (size_t i = 0; i < shownLines.size(); ++i) {
    setTextColor(i == 0 ? noticeRed : lightText);
    drawLabel(float(margin), float(margin + int32_t(i) * lineHeight), shownLines[i]);
  }
  screen_unlock(-1, -1);
}

// An open screen with the title, tall enough for every line; false without
// a display to show it on.
bool openNoticeWindow() {
  screenWidth = 800;
  screenHeight = uint16_t(std::max(200, 2 * margin + int32_t(shownLines.size()) * lineHeight));
  screen_set_title(programMessage("keine Hosts"));
  if (screen_open(screenWidth, screenHeight, 32, 1, 0, 0) != 0) return false;
  // A frame buffer nobody sees would wait for a close box forever.
  if (!screen_shown()) {
    screen_close();
    return false;
  }
  selectFontHeight(14);
  return true;
}

}  // namespace

int reportNoHosts(const ConfigLookup& lookup) {
  const Text message = lookup.file.empty() ? noConfigurationMessage() : noHostsMessage(lookup.file);
  const char* const placesHeading = "Gesucht wurde hier, in dieser Reihenfolge:";
  std::fprintf(stderr, "%s\n", message.c_str());
  // Without a file the message alone would not say where it may go.
  if (lookup.file.empty()) {
    std::fprintf(stderr, "%s\n", placesHeading);
    for (const Text& place : lookup.places) std::fprintf(stderr, "  %s\n", place.c_str());
  }
  std::fflush(stderr);
  if (isatty(2)) return 1;
  buildLines(message, placesHeading, lookup);
  if (!openNoticeWindow()) return 1;
  endOnStopSignals();
  mainLoop(drawNotice);
  closeWindow();
  return 1;
}
