#pragma once
// A start without hosts, told where the user looks: a program started from
// the desktop menu has a standard error nobody reads.
#include "app/config_path.hpp"

// The message on standard error, and with no terminal there, in a window
// "tandrel: keine Hosts" as well (800 wide, at least 200 high, as high as its
// lines need), with the places looked at and how the file begins, until its
// close box is used. Without a display only the message. Returns the exit
// status: 1.
int reportNoHosts(const ConfigLookup& lookup);
