#pragma once
// What the desktop around the window is told when a host stops answering:
// the window asks for attention and its icon carries a mark.
#include "app/hosts.hpp"
#include "app/latency.hpp"

// Takes how the host's ping ended this frame (collectPing), every frame. A
// host that has answered once and then lets two pings in a row end without
// a reply is silent until it answers again: the moment it becomes so the
// window asks for attention, and while any host is silent the window shows
// the marked icon. A host that is not reachable (down, or a refused name)
// is not watched, and counts again only once it has answered again.
void noteHostPing(const HostRecord& host, PingEnd end);
