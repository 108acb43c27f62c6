#!/usr/bin/env bash
# Runs the monitor for a long time and watches it for leaks and hangs.
#   scripts/soak.sh [DURATION]   DURATION in seconds, or with m or h (default 1h)
#   BUILD_DIR  build folder holding tandrel (default: build)
#   SOAK_SILENT_HOST  one of h1.test ... h6.test whose pings get no reply, as
#              from a host that drops them: each waits SOAK_SILENT_SECONDS
#              (default 10; 0: until it is killed), then ends without a
#              reply line. Not h1.test, whose pings are counted at start.
#
# Six hosts at the 1-second ping interval on a private Xvfb with openbox. The
# stub tools vary their answers: pings reply at different times, now and then
# slowly or not at all; a scan may list other ports; every few seconds one
# host goes down or comes back, which the monitor learns through "Neuladen"
# pressed with XTEST; in between the pointer wanders over buttons and graphs.
# Every minute it samples resident memory, open descriptors, threads, child
# processes left behind (ended but not reaped, or older than 10 s, apart from
# one running ping of the silent host and the pipe it writes to) and whether
# the window still answers a press on "Neuladen" with a scan. Fails (exit 1)
# at the first sample where, against the first minute's sample, resident
# memory has grown by more than 4 MiB, descriptors or threads by any, there is
# a leftover child, or the window did not answer; also when the monitor ends
# early, does not end with status 0 through its close box at the end, or
# leaves one of the stub tools running.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
if [ ! -x "$build/tandrel" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target tandrel >/dev/null
fi

duration="${1:-1h}"
case "$duration" in
  *h) seconds=$((${duration%h} * 3600)) ;;
  *m) seconds=$((${duration%m} * 60)) ;;
  *s) seconds=${duration%s} ;;
  *) seconds=$duration ;;
esac
[ "$seconds" -ge 120 ] || { echo "soak: at least two minutes, please" >&2; exit 2; }
rss_margin_kb=4096
silent="${SOAK_SILENT_HOST:-}"
hang="${SOAK_SILENT_SECONDS:-10}"

# shellcheck source=private-x.sh
source "$root/scripts/private-x.sh"
work="$(mktemp -d)"

mkdir "$work/bin" "$work/down"
# Each stub logs "tool host" to calls.log; a host is down while down/HOST exists.
cat >"$work/bin/nslookup" <<STUB
#!/bin/bash
echo "nslookup \$1" >>"$work/calls.log"
printf 'Server:\t\t127.0.0.1\nAddress:\t127.0.0.1#53\n\n'
[ \$((RANDOM % 4)) -eq 0 ] && printf '%s\tcanonical name = web.%s.\n' "\$1" "\$1"
printf 'Name:\t%s\nAddress: 127.0.0.%d\n' "\$1" \$((RANDOM % 200 + 2))
STUB
cat >"$work/bin/nmap" <<STUB
#!/bin/bash
echo "nmap \$1" >>"$work/calls.log"
printf 'Starting Nmap 7.93 ( https://nmap.org ) at 2026-12-09 01:00 UTC\n'
if [ -e "$work/down/\$1" ]; then
  printf 'Note: Host seems down. If it is really up, but blocking our ping probes, try -Pn\n'
  exit 0
fi
printf 'Nmap scan report for %s (127.0.0.2)\nHost is up.\nPORT     STATE SERVICE\n' "\$1"
ports=("21/tcp   open  ftp" "22/tcp   open  ssh" "25/tcp   open  smtp" "80/tcp   open  http"
       "443/tcp  open  https" "631/tcp  open  ipp" "3306/tcp open  mysql" "5432/tcp open  postgresql"
       "8080/tcp open  http-proxy" "9100/tcp open  jetdirect")
for p in "\${ports[@]}"; do [ \$((RANDOM % 3)) -ne 0 ] && echo "\$p"; done
echo "22/tcp   open  ssh"
STUB
cat >"$work/bin/ping" <<STUB
#!/bin/bash
echo "ping \$1" >>"$work/calls.log"
printf 'PING %s (127.0.0.2) 56(84) bytes of data.\n' "\$1"
if [ ! -e "$work/calm" ] && [ "\$1" = "$silent" ]; then
  # Waits on a pipe nobody writes to: no child of its own is left to count.
  if [ "$hang" -gt 0 ]; then read -r -t "$hang" <>"$work/hang"; else read -r <>"$work/hang"; fi
  printf '\n--- %s ping statistics ---\n1 packets transmitted, 0 received, 100%% packet loss\n' "\$1"
  exit 0
fi
# Quick and always answering while the intervals are set up.
[ -e "$work/calm" ] && r=9 || r=\$((RANDOM % 10))
case \$r in
  0) sleep 0.3; printf '\n--- %s ping statistics ---\n1 packets transmitted, 0 received, 100%% packet loss\n' "\$1" ;;
  1) sleep 0.1; printf '64 bytes from 127.0.0.2: icmp_seq=1 ttl=64 time=%d.%d ms\n' \$((RANDOM % 400 + 100)) \$((RANDOM % 10)) ;;
  *) printf '64 bytes from 127.0.0.2: icmp_seq=1 ttl=64 time=0.%03d ms\n' \$((RANDOM % 900 + 20)) ;;
esac
STUB
chmod +x "$work/bin"/*
mkfifo "$work/hang"
: >"$work/calls.log"
: >"$work/calm"
hosts=(h1.test h2.test h3.test h4.test h5.test h6.test)
{ echo terminal=true; printf '%s\n' "${hosts[@]}"; } >"$work/tandrel.cfg"

start_private_x 1024x1400
xdotool mousemove 1023 1399
cd "$work"
PATH="$work/bin:$PATH" "$build/tandrel" >"$work/stderr" 2>&1 &
pid=$!
title="Zeige 6 Server"
wait_for_window "$title" 30 || { echo "soak: the window did not appear" >&2; exit 1; }
window="$(xdotool search --onlyvisible --name "^${title}\$" | head -n 1)"
focus_window "$window"

at() { xdotool mousemove --window "$window" "$1" "$2"; }
# A click held for $3 seconds, then a pause past the monitor's one-second
# debounce. The monitor reads the button once per frame, and a frame waits
# for the tools it runs: a click shorter than such a wait goes unseen.
click() {
  at "$1" "$2"
  xdotool mousedown 1
  sleep "$3"
  xdotool mouseup 1
  sleep 1.1
}
calls() { grep -c "^$1 $2\$" "$work/calls.log" || true; }

# The interval button cycles 2, 3, ..., 10, 1: nine clicks per host, each
# shorter than its quarter-second debounce, while the tools answer at once.
for k in 0 1 2 3 4 5; do
  for _ in $(seq 9); do click 175 $((k * 200 + 10)) 0.15; done
done
at 1000 1000
before="$(calls ping h1.test)"
sleep 10
pinged=$(($(calls ping h1.test) - before))
[ "$pinged" -ge 8 ] || { echo "soak: h1.test pinged $pinged times in 10 s, not every second" >&2; exit 1; }
rm "$work/calm"
echo "soak: six hosts pinged every second; running for $seconds s, sample every 60 s"

silent_pipe() {  # the pipe a running ping of the silent host writes to, if any
  local c
  [ -n "$silent" ] || return 0
  for c in $(pgrep -P "$pid"); do
    if tr '\0' ' ' 2>/dev/null <"/proc/$c/cmdline" | grep -qF "ping $silent -c 1"; then
      readlink "/proc/$c/fd/1" 2>/dev/null
      return 0
    fi
  done
}

sample() {  # rss_kb fds threads leftovers
  local rss threads fds leftovers n
  rss="$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")"
  threads="$(awk '/^Threads:/ {print $2}' "/proc/$pid/status")"
  # A tool's pipe is open while it runs: the fewest of ten looks over two
  # seconds is what the monitor keeps. The silent host's ping runs most of
  # the time, so its pipe is not counted.
  fds=""
  for _ in $(seq 10); do
    n="$(find "/proc/$pid/fd" -mindepth 1 -printf '%l\n' | grep -cvxF "$(silent_pipe)" || true)"
    [ -z "$fds" ] || [ "$n" -lt "$fds" ] && fds=$n
    sleep 0.2
  done
  # Descendants of the monitor that ended unreaped or have run for 10 s or
  # more. A ping of the silent host runs that long on purpose, up to its
  # wait and a few seconds more; but only one at a time.
  leftovers="$(ps -e -o pid=,ppid=,stat=,etimes=,args= | awk -v top="$pid" \
    -v mark="ping $silent -c 1" -v hang="$hang" '
    { parent[$1] = $2; stat[$1] = $3; age[$1] = $4; quiet[$1] = index($0, mark) > 0 }
    END {
      n = 0
      for (p in parent) {
        child = p
        q = parent[p]
        while (q != "" && q != top && q > 1) { child = q; q = parent[q] }
        if (q != top) continue
        if (stat[p] ~ /^Z/) n++
        else if (quiet[child] && (hang == 0 || age[child] < hang + 5)) running[child] = 1
        else if (age[p] >= 10) n++
      }
      for (c in running) k++
      print n + (k > 1 ? k - 1 : 0)
    }')"
  echo "$rss $fds $threads $leftovers"
}

# Holds "Neuladen" of host k (not changing whether it is up) until its scan
# starts, for up to 10 s.
answers() {
  local k="$1" host="${hosts[$1]}" n seen=1
  n="$(calls nmap "$host")"
  at 50 $((k * 200 + 10))
  xdotool mousedown 1
  for _ in $(seq 100); do
    [ "$(calls nmap "$host")" -gt "$n" ] && { seen=0; break; }
    sleep 0.1
  done
  xdotool mouseup 1
  sleep 1.1
  return "$seen"
}

# A few seconds of what a user and the network do.
churn() {
  local k host i
  k=$((RANDOM % 6))
  host="${hosts[$k]}"
  if [ -e "$work/down/$host" ]; then rm -f "$work/down/$host"; else : >"$work/down/$host"; fi
  click 50 $((k * 200 + 10)) 0.5
  for i in 1 2 3 4; do
    case $((RANDOM % 4)) in
      0) at $((401 + RANDOM % 399)) $((RANDOM % 6 * 200 + 1 + RANDOM % 195)) ;;  # a graph
      1) at $((21 + RANDOM % 79)) $((RANDOM % 6 * 200 + 2 + RANDOM % 16)) ;;     # Neuladen
      2) at $((121 + RANDOM % 109)) $((RANDOM % 6 * 200 + 2 + RANDOM % 16)) ;;   # interval
      3) at $((301 + RANDOM % 89)) $((RANDOM % 6 * 200 + 68 + RANDOM % 12)) ;;   # client buttons
    esac
    sleep 0.5
  done
}

start=$SECONDS
next=$((start + 60))
minute=0
first=""
failed=""
printf 'soak: %6s %9s %4s %7s %9s %7s %6s %6s\n' minute rss_kB fds threads leftovers answers pings scans
while [ $((SECONDS - start)) -lt "$seconds" ]; do
  kill -0 "$pid" 2>/dev/null || { failed="the monitor ended: $(cat "$work/stderr")"; break; }
  churn
  [ "$SECONDS" -lt "$next" ] && continue
  next=$((next + 60))
  minute=$((minute + 1))
  k=$((minute % 6))
  rm -f "$work/down/${hosts[$k]}"
  if answers "$k"; then answered=yes; else answered=no; fi
  read -r rss fds threads leftovers < <(sample)
  pings="$(grep -c '^ping ' "$work/calls.log" || true)"
  scans="$(grep -c '^nmap ' "$work/calls.log" || true)"
  printf 'soak: %6d %9d %4d %7d %9d %7s %6d %6d\n' "$minute" "$rss" "$fds" "$threads" "$leftovers" \
    "$answered" "$pings" "$scans"
  [ -z "$first" ] && first="$rss $fds $threads"
  read -r rss0 fds0 threads0 <<<"$first"
  [ "$answered" = yes ] || failed="the window did not answer in minute $minute"
  [ "$rss" -le $((rss0 + rss_margin_kb)) ] || failed="resident memory grew from $rss0 kB to $rss kB"
  [ "$fds" -le "$fds0" ] || failed="open descriptors grew from $fds0 to $fds"
  [ "$threads" -le "$threads0" ] || failed="threads grew from $threads0 to $threads"
  [ "$leftovers" -eq 0 ] || failed="$leftovers child processes left behind"
  [ -n "$failed" ] && break
done

if [ -z "$failed" ]; then
  focus_window "$window"
  xdotool key alt+F4  # openbox closes the focused window through its close protocol
  status=""
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" && status=0 || status=$?; break; }
    sleep 0.1
  done
  [ "$status" = 0 ] || failed="the close box did not end the monitor with status 0 (${status:-still running})"
  pid=""
  stubs="$(ps -e -o args= | STUBS="$work/bin/" awk 'index($0, ENVIRON["STUBS"])' | wc -l)"
  [ "$stubs" -eq 0 ] || failed="$stubs stub tools still run after the monitor ended"
fi
pings="$(grep -c '^ping ' "$work/calls.log" || true)"
scans="$(grep -c '^nmap ' "$work/calls.log" || true)"
summary="$minute minutes, $pings pings, $scans scans; first minute: ${first:-none} (rss_kB fds threads);"
summary+=" last: ${rss:-?} ${fds:-?} ${threads:-?}"
if [ -n "$failed" ]; then
  echo "soak: FAILED: $failed; $summary"
  exit 1
fi
echo "soak: PASSED: $summary; margins: rss +$rss_margin_kb kB, fds, threads and leftovers +0"
