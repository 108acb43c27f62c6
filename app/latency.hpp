#pragma once
// A host's ping, started and read without waiting; each reply time is
// shifted into its 100-sample history.
#include "app/hosts.hpp"

// Starts "ping NAME -c 1" for the host and returns at once; nothing when one
// runs already. False when none runs afterwards (a refused name, or the
// command could not be started).
bool sampleLatency(HostRecord& host);

// How a host's ping stands after collectPing.
enum class PingEnd { None, Answered, Silent };

// Applies what the host's ping has written since the last call, without
// waiting: each complete line holding "time=" adds one sample. None while it
// runs or when none ran; Answered or Silent once, in the call that finds it
// ended (output closed, process reaped), by whether it added a sample.
PingEnd collectPing(HostRecord& host);

// Ends every running ping at once: its process group killed and reaped.
void endPings();

// One line of ping's output; true when it added a sample.
bool applyPingLine(HostRecord& host, const Text& line);
