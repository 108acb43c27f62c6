#pragma once
// Name lookup and port scan of one host through nslookup and nmap.
#include <cstdint>
#include "app/hosts.hpp"

// Runs "nslookup NAME" then "nmap NAME", and "nmap -6 NAME" when the first
// scan found no address and the name holds a ":" or the lookup reported an
// address that does; keeps what the rules match.
// Clears nothing; a failed tool leaves the fields as they were.
void probeHost(HostRecord& host);

// One line of the lookup's output.
void applyLookupLine(HostRecord& host, const Text& line);

// One line of the scan's output; count is the port lines seen so far in this scan.
void applyScanLine(HostRecord& host, const Text& line, uint8_t& count);

// A line reporting an open FTP (SSH) port: "21/tcp" ("22/tcp"), blanks, "open",
// blanks, "ftp" ("ssh"), the port number not preceded by a digit. Shared by
// the probe and the panel's client buttons.
bool reportsOpenFtp(const Text& line);
bool reportsOpenSsh(const Text& line);
