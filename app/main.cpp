// tandrel: probes the hosts of tandrel.cfg, then shows them in one window.
#include <cstdio>

#include "app/config.hpp"
#include "app/text.hpp"

int main() {
  adoptCharacterLocale();
  const Text configuration = "tandrel.cfg";
  readConfiguration(configuration);
  if (hostCount == 0) {
    // Checked before any window exists: without hosts there is nothing to show.
    std::fprintf(stderr, "%s\n", noHostsMessage(configuration).c_str());
    return 1;
  }
  return 0;
}
