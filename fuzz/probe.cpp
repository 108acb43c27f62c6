// The lookup and scan parsers over arbitrary tool output: the fields they
// fill follow from the lines alone, the port-line count stays at most 8,
// slots 0, 9 and 10 are never written and reachable is always 0 or 1.
#include <cstdint>
#include <vector>

#include "app/hosts.hpp"
#include "app/probe.hpp"
#include "check.hpp"

namespace {

bool contains(const Text& line, const char* text) { return line.find(text) != Text::npos; }

// text starting a port number: at the start of the line or after a non-digit
// ("8021/tcp" holds "21/tcp" but is another port).
bool containsPort(const Text& line, const char* text) {
  for (size_t at = line.find(text); at != Text::npos; at = line.find(text, at + 1))
    if (at == 0 || line[at - 1] < '0' || line[at - 1] > '9') return true;
  return false;
}

void fill(HostRecord& host) {
  host.address = "old address";
  host.canonicalName = "old name";
  for (int i = 0; i < portLineSlots; ++i) host.portLines[i] = "old " + integerText(i);
  host.reachable = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HostRecord host;  // a record stays in its slot; reused like one
  fill(host);
  const bool wasReachable = size > 0 && (data[0] & 1);
  host.reachable = wasReachable;

  // The tool output, one line per LF as readLine hands it over.
  std::vector<Text> lines;
  const Text output(reinterpret_cast<const char*>(data), size);
  for (size_t at = size > 0 ? 1 : 0; at <= size;) {
    const size_t lf = output.find('\n', at);
    const size_t end = lf == Text::npos ? size : lf;
    lines.push_back(output.substr(at, end - at));
    at = end + 1;
  }

  // Lookup: the last "Address: " line from its 10th byte on; the last other
  // line with "canonical name = " from after its first occurrence.
  Text address = host.address, canonical = host.canonicalName;
  for (const Text& line : lines) {
    applyLookupLine(host, line);
    if (contains(line, "Address: ")) {
      address = line.size() >= 10 ? line.substr(9) : Text();
    } else if (const size_t p = line.find("canonical name = "); p != Text::npos) {
      canonical = line.substr(p + 17);
    }
    FUZZ_CHECK(host.address == address);
    FUZZ_CHECK(host.canonicalName == canonical);
  }

  // Scan: the first seven port lines fill slots 1 to 7 in order; after the
  // eighth only the FTP and SSH lines are kept, in slots 7 and 8.
  uint8_t count = 0;
  int portLinesSeen = 0;
  uint8_t reachable = host.reachable;
  Text expected[portLineSlots];
  for (int i = 0; i < portLineSlots; ++i) expected[i] = host.portLines[i];
  for (const Text& line : lines) {
    applyScanLine(host, line, count);
    const bool portLine = contains(line, "/tcp") || contains(line, "/udp");
    if (portLine && portLinesSeen < 8) {
      ++portLinesSeen;
      reachable = 1;
      if (portLinesSeen <= 7) expected[portLinesSeen] = line;
    } else if (portLinesSeen == 8 && reportsOpenFtp(line)) {
      expected[7] = line;
    } else if (portLinesSeen == 8 && reportsOpenSsh(line)) {
      expected[8] = line;
    } else if (contains(line, "Note: Host seems down.")) {
      reachable = 0;
    } else if (contains(line, "Host is up")) {
      reachable = 1;
    }
    FUZZ_CHECK(count <= 8);
    FUZZ_CHECK(count == portLinesSeen);
    FUZZ_CHECK(host.reachable == reachable);
    FUZZ_CHECK(host.reachable <= 1);
    for (int i = 0; i < portLineSlots; ++i) FUZZ_CHECK(host.portLines[i] == expected[i]);
  }
  FUZZ_CHECK(host.portLines[0] == "old 0");
  FUZZ_CHECK(host.portLines[9] == "old 9");
  FUZZ_CHECK(host.portLines[10] == "old 10");

  // The client buttons look for the texts as nmap prints them; those must
  // always be recognised, and a recognised line holds port, state and service.
  for (const Text& line : lines) {
    if (containsPort(line, "21/tcp    open   ftp")) FUZZ_CHECK(reportsOpenFtp(line));
    if (containsPort(line, "22/tcp    open   ssh")) FUZZ_CHECK(reportsOpenSsh(line));
    if (reportsOpenFtp(line))
      FUZZ_CHECK(contains(line, "21/tcp") && contains(line, "open") && contains(line, "ftp"));
    if (reportsOpenSsh(line))
      FUZZ_CHECK(contains(line, "22/tcp") && contains(line, "open") && contains(line, "ssh"));
  }
  return 0;
}
