#!/usr/bin/env bash
# Measures the running monitor when little or nothing happens: six reachable
# hosts, stub tools that answer at once, a private Xvfb reached over TCP
# (DISPLAY=127.0.0.1:N, the plain-image path of a remote display) with
# openbox, the pointer off the window. Two cases:
#   static  the ping prints no reply line: no sample is added, the picture
#           never changes
#   live    every ping answers with another time, every 2 s per host
# Each case runs twice in the same invocation: with TANDREL_FULL_FRAMES=1
# (every frame drawn and every dirty row sent, the behaviour before frame
# skipping) and as the program normally runs; then once more as it normally
# runs with TANDREL_SCALE=2 (every pixel shown as a 2 x 2 block), on a screen
# of its own large enough for the window. Printed per run: processor use of
# the monitor and of the X server as % of one core, the monitor's peak
# resident memory, the bytes per second it sent to the X server, and the
# monitor's use against the floor measured over the same seconds.
# The floor is a bare loop (tools/idle_floor.cpp: a 5 ms select and a thread
# waking every 30 ms) that runs beside every measurement; its row comes last.
# Processor use is the scheduler's run time of all threads (schedstat, in
# nanoseconds): clock ticks are too coarse near 1 % of a core.
#   BUILD_DIR  build folder holding tandrel (default: build)
#   SECONDS_MEASURED  length of each measurement (default 20)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
[ -x "$build/tandrel" ] || bash "$root/scripts/build.sh"
seconds="${SECONDS_MEASURED:-20}"

# shellcheck source=private-x.sh
source "$root/scripts/private-x.sh"
work="$(mktemp -d)"

mkdir -p "$work/static" "$work/live"
for kind in static live; do
  cat >"$work/$kind/nslookup" <<'STUB'
#!/bin/sh
printf 'Name:\t%s\nAddress: 127.0.0.1\n' "$1"
STUB
  cat >"$work/$kind/nmap" <<'STUB'
#!/bin/sh
printf 'PORT   STATE SERVICE\n21/tcp open  ftp\n22/tcp open  ssh\n80/tcp open  http\n'
STUB
done
cat >"$work/static/ping" <<'STUB'
#!/bin/sh
printf 'PING %s (127.0.0.1) 56(84) bytes of data.\n\n1 packets transmitted, 0 received, 100%% packet loss, time 0ms\n' "$1"
STUB
cat >"$work/live/ping" <<'STUB'
#!/bin/sh
# Another time at every call.
n=$(od -An -N2 -tu2 /dev/urandom)
printf '64 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=%d.%03d ms\n' $((n % 9 + 1)) $((n % 1000))
STUB
chmod +x "$work"/*/*
printf 'terminal=xterm -e\nh1\nh2\nh3\nh4\nh5\nh6\n' >"$work/tandrel.cfg"

# on_screen WIDTH HEIGHT: a fresh private X server of that size over TCP, the
# pointer in its far corner.
on_screen() {
  stop_private_x
  start_private_x "$1x$2" tcp
  xserver="${private_x_pids[0]}"
  port=$((6000 + ${DISPLAY##*:}))
  xdotool mousemove $(($1 - 1)) $(($2 - 1))
}

c++ -std=c++20 -O2 -Wall -Wextra -pthread "$root/tools/idle_floor.cpp" -o "$work/idle_floor"
"$work/idle_floor" &
floor=$!
trap 'kill "$floor" 2>/dev/null || true; end_private_run' EXIT

runtime() {  # nanoseconds on a processor, summed over the threads of a process
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'
}
sent() {  # bytes sent to the X server over TCP: the monitor's, and openbox's, which idles
  ss -tinH state established "( dport = :$port )" 2>/dev/null |
    awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^bytes_sent:/) { split($i, a, ":"); s += a[2] } }
         END { printf "%.0f\n", s }'
}

# run CASE FULL SCALE: one measurement; prints one line of figures.
run() {
  local kind="$1" full="$2" scale="$3" own0 own1 x0 x1 f0 f1 b0 b1 t0 t1 peak
  (cd "$work" && exec env PATH="$work/$kind:$PATH" TANDREL_FULL_FRAMES="$full" \
    TANDREL_SCALE="$scale" "$build/tandrel") &
  pid=$!
  wait_for_window "Zeige 6 Server" 30 || { echo "the window did not appear" >&2; exit 1; }
  sleep 3  # first pings and the first frames behind us
  own0="$(runtime "$pid")" x0="$(runtime "$xserver")" f0="$(runtime "$floor")"
  b0="$(sent)" t0="$(date +%s.%N)"
  sleep "$seconds"
  own1="$(runtime "$pid")" x1="$(runtime "$xserver")" f1="$(runtime "$floor")"
  b1="$(sent)" t1="$(date +%s.%N)"
  peak="$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
  awk -v kind="$kind" -v full="$full" -v scale="$scale" -v o=$((own1 - own0)) \
    -v x=$((x1 - x0)) -v f=$((f1 - f0)) -v b=$((b1 - b0)) -v t0="$t0" -v t1="$t1" \
    -v peak="$peak" 'BEGIN {
      s = t1 - t0
      pc = s * 1e7  # nanoseconds in one percent of a core
      printf "%-7s %-14s %5d %10.2f %10.2f %9.1f %14.1f %8.2f\n", kind,
        full == 1 ? "every frame" : "skip+compare", scale, o / pc, x / pc, peak / 1024,
        b / s / 1024, (f > 0 ? o / f : 0)
    }' | tee -a "$work/lines"
  echo "$((f1 - f0)) $t0 $t1" >>"$work/floor"
}

echo "six hosts, $seconds s per run, X server over TCP:"
printf "%-7s %-14s %5s %10s %10s %9s %14s %8s\n" case frames scale "monitor %" "X server %" \
  "RSS MiB" "to X KiB/s" "x floor"
on_screen 1024 1400
for kind in static live; do
  run "$kind" 1 1
  run "$kind" 0 1
done
on_screen 1700 2500
for kind in static live; do
  run "$kind" 0 2
done
awk '{ f += $1; s += $3 - $2 }
  END { printf "%-7s %-14s %5s %10.2f\n", "floor", "bare loop", "", f / s / 1e7 }' "$work/floor"
# Ratios measured side by side above: the new behaviour to the old at scale
# 1, and scale 2 to scale 1 as the program normally runs.
awk '{ if ($2 == "every") old[$1] = $0; else if ($3 == 1) new[$1] = $0; else big[$1] = $0 }
  END {
    for (k in old) {
      split(old[k], o, " "); split(new[k], n, " "); split(big[k], b, " ")
      printf "%-7s new/old: monitor %.3f, X server %.3f, bytes %.5f\n", k,
        (o[5] > 0 ? n[4] / o[5] : 0), (o[6] > 0 ? n[5] / o[6] : 0), (o[8] > 0 ? n[7] / o[8] : 0)
      printf "%-7s scale 2/1: monitor %.3f, X server %.3f, bytes %.3f\n", k,
        (n[4] > 0 ? b[4] / n[4] : 0), (n[5] > 0 ? b[5] / n[5] : 0), (n[7] > 0 ? b[7] / n[7] : 0)
    }
  }' "$work/lines"
