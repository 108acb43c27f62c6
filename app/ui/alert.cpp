// Which hosts have stopped answering, and the graphics layer told when that
// changes: attention asked for as a host falls silent, given up as the last
// silent one answers again.
#include "app/ui/alert.hpp"

#include <cstddef>

#include "gfx/screen.hpp"

namespace {

struct HostWatch {
  bool answered = false;  // a reply since the host was last found reachable
  int unanswered = 0;     // pings in a row that ended without a reply since
  bool silent = false;    // counted in silentHosts
};

HostWatch watches[hostSlots];
int silentHosts = 0;

void endSilence(HostWatch& watch) {
  if (!watch.silent) return;
  watch.silent = false;
  if (--silentHosts == 0) screen_set_attention(false);
}

}  // namespace

void noteHostPing(const HostRecord& host, PingEnd end) {
  const ptrdiff_t slot = &host - hosts;
  if (slot < 0 || slot >= hostSlots) return;
  HostWatch& watch = watches[slot];
  // A refused name is never probed, so it is never reachable either.
  if (host.reachable == 0) {
    endSilence(watch);
    watch = HostWatch{};
  } else if (end == PingEnd::Answered) {
    endSilence(watch);
    watch.answered = true;
    watch.unanswered = 0;
  } else if (end == PingEnd::Silent && watch.answered && ++watch.unanswered == 2) {
    watch.silent = true;
    ++silentHosts;
    screen_set_attention(true);
  }
}
