#pragma once
#include <cstdint>
#include "app/hosts.hpp"

// Draws the panel of one host with top edge top, handles its buttons and
// pings the host when due.
void drawHostPanel(HostRecord& host, uint16_t top);

// The command line that the FTP (SSH) button hands to the shell:
// launcherCommand, a blank and the quoted client command.
Text ftpCommand(const HostRecord& host);
Text sshCommand(const HostRecord& host);

// Drawing as every panel does it: solid, absolute coordinates, colours ARGB.
void fillBox(float x1, float y1, float x2, float y2, uint32_t color);
void drawSegment(float x1, float y1, float x2, float y2, uint32_t color,
                 uint16_t style = 0xFFFF);
void setTextColor(uint32_t color);
// Text in the current foreground colour, top-left of its first cell at (x, y).
void drawLabel(float x, float y, const Text& text);

// A computed coordinate in single precision. Never undefined: values beyond
// the float range become infinities, NaN stays NaN; the primitives clip.
float toCoordinate(double value);
