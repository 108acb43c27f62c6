#pragma once
// The latency graph of a host panel: frame, scale, curve and tooltip.
#include <cstdint>
#include "app/hosts.hpp"

// Frame line, white field, scale labels, current-value line, curve, tooltip.
void drawGraph(const HostRecord& host, int32_t top);
