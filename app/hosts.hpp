#pragma once
// The host table and the application-wide variables.
#include <cstdint>
#include "app/text.hpp"

constexpr int hostSlots = 6;
constexpr int portLineSlots = 11;  // the probe writes 1..8, the panel shows 1..9
constexpr int latencySlots = 101;  // index 100 newest, 1 oldest kept, 0 never written

// The host's ping while it runs: its output is read a little every frame.
struct PingRun {
  int stream = 0;         // handle of its pipe; 0: no ping runs
  Text partLine;          // what has arrived of a line without its end yet
  bool answered = false;  // a sample was added since it started
};

struct HostRecord {
  Text name;           // the configuration line, untrimmed
  Text address;        // after "Address: " of the lookup
  Text canonicalName;  // after "canonical name = "
  Text portLines[portLineSlots];
  double latency[latencySlots] = {};  // milliseconds; 0 = no sample
  Text timeStamps[latencySlots];      // "HH:MM:SS" of the sample at the same index
  int64_t lastPingTime = 0;           // whole seconds since the epoch
  uint8_t reachable = 0;
  int8_t pingInterval = 0;  // seconds, 1..10
  bool nameSafe = true;     // false: no command is ever built from name
  PingRun ping;

  HostRecord() = default;
  HostRecord(const HostRecord&) = delete;  // a record stays in its slot
  HostRecord& operator=(const HostRecord&) = delete;
};

extern HostRecord hosts[hostSlots];
extern uint8_t hostCount;

extern Text launcherCommand;   // opens a terminal; from the configuration's first line
extern uint16_t screenWidth;   // always 800
extern uint16_t screenHeight;  // hostCount * 200
extern int64_t mouseX, mouseY, mouseWheel, mouseButtons;  // this frame's snapshot
extern double lastClickTime;  // last accepted click on any button, 0 at start

// Wall-clock seconds since the epoch with microsecond resolution.
double wallClock();

// Empties every slot and the variables (tests; the program starts that way).
void resetHostTable();
