#pragma once
// Where tandrel.cfg is looked for: the working folder first, then the user's
// configuration folder and the system's, as desktop programs do.
#include <vector>

#include "app/text.hpp"

struct ConfigLookup {
  Text file;                 // the file to read; empty when none exists anywhere
  std::vector<Text> places;  // each place looked at, in order, up to the file
};

// "tandrel.cfg" when the working folder holds one; else the first existing
// tandrel/tandrel.cfg under $XDG_CONFIG_HOME (~/.config when unset or empty)
// and then under each folder of $XDG_CONFIG_DIRS (/etc/xdg when unset or
// empty). Relative folders in the variables are skipped. Anything at a place
// that cannot be checked (no permission) ends the search too, so that reading
// it says why.
ConfigLookup findConfiguration();

// The German message for a start without any configuration file.
Text noConfigurationMessage();
