#!/usr/bin/env bash
# Measures the running monitor when nothing happens: six reachable hosts,
# stub tools that answer at once, a private Xvfb with openbox, the pointer off
# the window. Prints the processor use as % of one core (the monitor alone,
# and with the tools it starts) and its peak resident memory.
#   BUILD_DIR  build folder holding tandrel (default: build)
#   SECONDS_MEASURED  length of the measurement (default 20)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
[ -x "$build/tandrel" ] || bash "$root/scripts/build.sh"
seconds="${SECONDS_MEASURED:-20}"

# shellcheck source=private-x.sh
source "$root/scripts/private-x.sh"
work="$(mktemp -d)"
pid=""
finish() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  stop_private_x
  rm -rf "$work"
}
trap finish EXIT

mkdir "$work/bin"
cat >"$work/bin/nslookup" <<'STUB'
#!/bin/sh
printf 'Name:\t%s\nAddress: 127.0.0.1\n' "$1"
STUB
cat >"$work/bin/nmap" <<'STUB'
#!/bin/sh
printf 'PORT   STATE SERVICE\n21/tcp open  ftp\n22/tcp open  ssh\n80/tcp open  http\n'
STUB
cat >"$work/bin/ping" <<'STUB'
#!/bin/sh
printf '64 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=0.051 ms\n'
STUB
chmod +x "$work/bin"/*
printf 'terminal=xterm -e\nh1\nh2\nh3\nh4\nh5\nh6\n' >"$work/tandrel.cfg"

start_private_x 1024x1400
xdotool mousemove 1023 1399
cd "$work"
PATH="$work/bin:$PATH" "$build/tandrel" &
pid=$!
wait_for_window "Zeige 6 Server" 30 || { echo "the window did not appear" >&2; exit 1; }
sleep 3  # first pings and the first frames behind us

ticks() {  # own user+system, and that of the waited-for children
  local f
  read -r -a f <"/proc/$pid/stat"
  # Fields after the "(comm)" part; comm holds no blanks here.
  echo "$((f[13] + f[14])) $((f[15] + f[16]))"
}
hz="$(getconf CLK_TCK)"
read -r own0 kids0 < <(ticks)
t0="$(date +%s.%N)"
sleep "$seconds"
read -r own1 kids1 < <(ticks)
t1="$(date +%s.%N)"
peak="$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")"

awk -v o=$((own1 - own0)) -v k=$((kids1 - kids0)) -v hz="$hz" -v t0="$t0" -v t1="$t1" \
  -v peak="$peak" 'BEGIN {
    s = t1 - t0
    printf "idle over %.1f s, six reachable hosts:\n", s
    printf "  monitor alone:          %.2f %% of one core (goal <= 10 %%)\n", 100 * o / hz / s
    printf "  with the tools it runs: %.2f %% of one core\n", 100 * (o + k) / hz / s
    printf "  peak resident memory:   %.1f MiB (goal <= 32 MiB)\n", peak / 1024
  }'
