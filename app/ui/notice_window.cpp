// The window that explains a start without hosts, drawn in the panel's font
// and colours and ended through the monitor's own loop.
#include "app/ui/notice_window.hpp"

#include <unistd.h>

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

// Appends text cut into lines of the window's width, at blanks where possible.
void addWrapped(const Text& text) {
  Text rest = toCodePage437(text);
  while (rest.size() > size_t(columns)) {
    size_t cut = rest.rfind(' ', size_t(columns));
    if (cut == Text::npos || cut == 0) cut = size_t(columns);
    shownLines.push_back(rest.substr(0, cut));
    rest.erase(0, rest[cut] == ' ' ? cut + 1 : cut);
  }
  shownLines.push_back(rest);
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

// An open screen with the title; false without a display to show it on.
bool openNoticeWindow() {
  screenWidth = 800;
  screenHeight = 200;
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
  if (isatty(2) || !openNoticeWindow()) return 1;

  addWrapped(message);
  shownLines.push_back("");
  addWrapped(placesHeading);
  for (const Text& place : lookup.places) addWrapped("  " + place);
  shownLines.push_back("");
  addWrapped(
      "Beispiel für die ersten zwei Zeilen (Vorlage: "
      "/usr/share/doc/tandrel/examples/tandrel.cfg):");
  addWrapped("  terminal=xterm -e");
  addWrapped("  localhost");
  endOnStopSignals();
  mainLoop(drawNotice);
  closeWindow();
  return 1;
}
