#pragma once
// tandrel.cfg: the launcher line, then one host per line without "#".
#include "app/hosts.hpp"

// Fills the next free slot with the line and probes it; beyond the sixth host
// line only a warning is printed.
void addHost(const Text& line);

// How addHost probes a new host with a safe name: probeHost, unless replaced
// (the configuration fuzzer reads files without starting any tool).
extern void (*probeNewHost)(HostRecord& host);

// Reads the configuration file and adds its hosts in file order; on a
// terminal a progress line names the host being probed meanwhile.
// A file that cannot be opened leaves the table empty.
void readConfiguration(const Text& fileName);

// The German message for a start without hosts: the file is missing or
// unreadable, or it names no host.
Text noHostsMessage(const Text& fileName);
