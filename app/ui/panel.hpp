#pragma once
// One host's panel: buttons, labels, port lines and the latency graph.
#include <cstdint>
#include "app/hosts.hpp"

// Draws the panel of one host with top edge top, handles its buttons and
// pings the host when due.
void drawHostPanel(HostRecord& host, uint16_t top);
