// tandrel: probes the hosts of tandrel.cfg, then shows them in one window.
#include <cstdio>
#include <cstdlib>
#include "app/config.hpp"
#include "app/text.hpp"

int main() {
  adoptCharacterLocale();
  readConfiguration("tandrel.cfg");
  if (hostCount == 0) {
    std::fprintf(stderr, "tandrel: keine Hosts in tandrel.cfg gefunden\n");
    return 1;
  }
  return 0;
}
