#pragma once
// One ping of a host, appended to its 100-sample history.
#include "app/hosts.hpp"

// Runs "ping NAME -c 1"; every line holding "time=" adds one sample.
void sampleLatency(HostRecord& host);

// One line of ping's output.
void applyPingLine(HostRecord& host, const Text& line);
