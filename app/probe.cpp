// Probing a host: nslookup's lines for the address, nmap's for the open
// ports and whether the host is up.
#include "app/probe.hpp"

#include "app/commands.hpp"
#include "app/streams.hpp"

namespace {

bool isBlank(char c) { return c == ' '; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Skips one or more blanks at position at (0-based); false when there are none.
bool skipBlanks(const Text& line, size_t& at) {
  const size_t from = at;
  while (at < line.size() && isBlank(line[at])) ++at;
  return at > from;
}

bool startsWithAt(const Text& line, size_t at, const char* word, size_t length) {
  return at + length <= line.size() && line.compare(at, length, word, length) == 0;
}

// port, blanks, "open", blanks, service, at any occurrence of port in the line
// that is not the tail of a longer number ("8021/tcp" is not port 21).
bool reportsOpen(const Text& line, const Text& port, const char* service) {
  for (size_t at = line.find(port); at != Text::npos; at = line.find(port, at + 1)) {
    if (at > 0 && isDigit(line[at - 1])) continue;
    size_t i = at + port.size();
    if (!skipBlanks(line, i) || !startsWithAt(line, i, "open", 4)) continue;
    i += 4;
    if (skipBlanks(line, i) && startsWithAt(line, i, service, 3)) return true;
  }
  return false;
}

}  // namespace

bool reportsOpenFtp(const Text& line) { return reportsOpen(line, "21/tcp", "ftp"); }
bool reportsOpenSsh(const Text& line) { return reportsOpen(line, "22/tcp", "ssh"); }

void applyLookupLine(HostRecord& host, const Text& line) {
  if (findText(1, line, "Address: ") != 0) {
    host.address = substring(line, 10);  // from the 10th character, wherever it was found
    return;
  }
  const int64_t p = findText(1, line, "canonical name = ");
  if (p != 0) host.canonicalName = substring(line, p + 17);
}

void applyScanLine(HostRecord& host, const Text& line, uint8_t& count) {
  const bool portLine = findText(1, line, "/tcp") != 0 || findText(1, line, "/udp") != 0;
  if (portLine && count <= 7) {
    host.reachable = 1;
    ++count;
    if (count <= 7) host.portLines[count] = line;
  } else if (count > 7 && reportsOpenFtp(line)) {
    host.portLines[7] = line;
  } else if (count > 7 && reportsOpenSsh(line)) {
    host.portLines[8] = line;
  } else if (findText(1, line, "Note: Host seems down.") != 0) {
    host.reachable = 0;
  } else if (findText(1, line, "Host is up") != 0) {
    host.reachable = 1;  // answers, even with every scanned port closed
  }
}

namespace {

// Reads one scan into the record; true when it scanned no address at all
// (nmap without -6 finds none for an IPv6 literal or an IPv6-only name).
bool runScan(HostRecord& host, const Text& command, uint8_t& count) {
  StreamHandle scan = openCommandPipe(command, PipeMode::Tool);
  Text line;
  bool noAddress = false;
  while (!atEndOfInput(scan)) {
    readLine(scan, line);
    applyScanLine(host, line, count);
    if (findText(1, line, "Nmap done: 0 IP addresses") != 0) noAddress = true;
  }
  closeStream(scan);
  return noAddress;
}

}  // namespace

void probeHost(HostRecord& host) {
  const Text lookupLine = lookupCommand(host), scanLine = scanCommand(host),
             scanLine6 = scanCommand6(host);
  if (lookupLine.empty() || scanLine.empty() || scanLine6.empty())
    return;  // a refused name is never probed
  Text line;

  // nmap finds no address for a name that resolves nowhere either: only an
  // IPv6 literal, or a name the lookup gave an IPv6 address, is scanned again.
  bool ipv6 = findText(1, host.name, ":") != 0;
  StreamHandle lookup = openCommandPipe(lookupLine, PipeMode::Tool);
  while (!atEndOfInput(lookup)) {
    readLine(lookup, line);
    applyLookupLine(host, line);
    if (findText(1, line, "Address: ") != 0 && findText(1, host.address, ":") != 0) ipv6 = true;
  }
  closeStream(lookup);

  // The IPv6 scan goes on counting the port lines of the first.
  uint8_t count = 0;
  if (runScan(host, scanLine, count) && ipv6) runScan(host, scanLine6, count);
}
