// readConfiguration over an arbitrary file: the launcher line, the host
// lines in file order, never more than six, and only names that pass
// hostNameIsSafe reach the probe. The probe is replaced, so no tool runs.
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/commands.hpp"
#include "app/config.hpp"
#include "app/hosts.hpp"
#include "app/streams.hpp"
#include "check.hpp"

namespace {

std::vector<Text> probed;
int quiet = -1;  // /dev/null, for the program's own warnings

void recordProbe(HostRecord& host) { probed.push_back(host.name); }

// Only letters, digits and " .-_:%", no word that starts with "-", one word at most.
bool plainName(const Text& name) {
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = name[i];
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == ' ' || c == '.' || c == '-' || c == '_' ||
                         c == ':' || c == '%';
    if (!allowed) return false;
    if (c == '-' && (i == 0 || name[i - 1] == ' ')) return false;
  }
  // One word at most: a blank after a non-blank may only be followed by blanks.
  bool seenWord = false, gap = false;
  for (const unsigned char c : name) {
    if (c != ' ' && gap) return false;
    if (c != ' ')
      seenWord = true;
    else if (seenWord)
      gap = true;
  }
  return true;
}

// The lines as readLine gives them: up to each LF, without it and a CR
// before it; a CR as the very last byte goes too.
std::vector<Text> linesOf(const Text& input) {
  std::vector<Text> lines;
  for (size_t at = 0; at < input.size();) {
    const size_t lf = input.find('\n', at);
    const size_t next = lf == Text::npos ? input.size() : lf + 1;
    size_t end = lf == Text::npos ? input.size() : lf;
    if (end > at && input[end - 1] == '\r') --end;
    lines.push_back(input.substr(at, end - at));
    at = next;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  probeNewHost = recordProbe;
  // Reports go to the real standard error even while the warnings are muted.
  __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(dup(2))));
  quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  resetHostTable();
  probed.clear();
  const int fd = memfd_create("tandrel.cfg", MFD_CLOEXEC);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(write(fd, data, size) == static_cast<ssize_t>(size));
  char name[64];
  std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd);

  std::fflush(stderr);
  const int saved = dup(2);
  dup2(quiet, 2);
  readConfiguration(name);
  const Text message = noHostsMessage(name);
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);

  const std::vector<Text> lines = linesOf(Text(reinterpret_cast<const char*>(data), size));
  const Text first = lines.empty() ? Text() : lines[0];
  FUZZ_CHECK(launcherCommand == (first.size() > 9 ? first.substr(9) : Text()));

  std::vector<Text> hostLines;
  for (size_t i = 1; i < lines.size(); ++i)
    if (lines[i].find('#') == Text::npos) hostLines.push_back(lines[i]);
  const size_t expectedCount = hostLines.size() < hostSlots ? hostLines.size() : hostSlots;
  FUZZ_CHECK(hostCount == expectedCount);

  std::vector<Text> safe;
  for (size_t i = 0; i < expectedCount; ++i) {
    const HostRecord& host = hosts[i];
    FUZZ_CHECK(host.name == hostLines[i]);
    FUZZ_CHECK(host.lastPingTime == static_cast<int64_t>(i));
    FUZZ_CHECK(host.pingInterval == 2);
    FUZZ_CHECK(host.nameSafe == plainName(host.name));
    Text why;
    FUZZ_CHECK(hostNameIsSafe(host.name, &why) == host.nameSafe);
    FUZZ_CHECK(host.nameSafe == why.empty());
    if (host.nameSafe) safe.push_back(host.name);
  }
  FUZZ_CHECK(probed == safe);  // unsafe names never reach a tool
  for (int i = static_cast<int>(expectedCount); i < hostSlots; ++i) {
    FUZZ_CHECK(hosts[i].name.empty());
    FUZZ_CHECK(hosts[i].pingInterval == 0);
  }
  FUZZ_CHECK(!message.empty());

  // Every stream was closed again: the file takes the lowest handle.
  const StreamHandle again = openInputFile(name);
  FUZZ_CHECK(again == 1);
  closeStream(again);
  close(fd);
  return 0;
}
