#!/usr/bin/env bash
# Regenerates docs/screenshot.png: the monitor on examples/tandrel.cfg under a
# private Xvfb, with stub nslookup, nmap and ping that answer for the example
# hosts as the real tools do on a typical desktop, so the picture does not
# depend on the machine it is made on. The pointer rests on a sample of the
# first graph to show its tooltip.
#   BUILD_DIR   build folder holding tandrel (default: build, built if missing)
#   SECONDS_RUN how long the monitor collects samples first (default 45)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
[ -x "$build/tandrel" ] || bash "$root/scripts/build.sh"
out="$root/docs/screenshot.png"

# shellcheck source=private-x.sh
source "$root/scripts/private-x.sh"
work="$(mktemp -d)"
tool="$(build_screenshot_tool "$root" "$build")"

cat >"$work/nslookup" <<'STUB'
#!/bin/bash
printf 'Server:\t\t127.0.0.53\nAddress:\t127.0.0.53#53\n\n'
case "$1" in
  127.0.0.1) printf '1.0.0.127.in-addr.arpa\tname = localhost.\n\n'
             printf 'Authoritative answers can be found from:\n\n' ;;
  *) printf 'Non-authoritative answer:\nName:\t%s\nAddress: 127.0.0.1\n\n' "$1" ;;
esac
STUB
cat >"$work/nmap" <<'STUB'
#!/bin/bash
now="$(date '+%Y-%m-%d %H:%M %Z')"
printf 'Starting Nmap 7.93 ( https://nmap.org ) at %s\n' "$now"
printf 'Nmap scan report for localhost (127.0.0.1)\nHost is up (0.0000030s latency).\n'
case "$1" in
  localhost)
    printf 'Other addresses for localhost (not scanned): ::1\n'
    printf 'Not shown: 996 closed tcp ports (reset)\nPORT    STATE SERVICE\n'
    printf '21/tcp  open  ftp\n22/tcp  open  ssh\n80/tcp  open  http\n631/tcp open  ipp\n' ;;
  *)
    printf 'Not shown: 997 closed tcp ports (reset)\nPORT     STATE SERVICE\n'
    printf '22/tcp   open  ssh\n25/tcp   open  smtp\n5432/tcp open  postgresql\n' ;;
esac
printf '\nNmap done: 1 IP address (1 host up) scanned in 0.07 seconds\n'
STUB
cat >"$work/ping" <<'STUB'
#!/bin/bash
# Loopback answers in 30 to 90 microseconds, now and then a slower one.
t=$((30 + RANDOM % 60))
[ $((RANDOM % 9)) -eq 0 ] && t=$((t + 60 + RANDOM % 80))
ms="$(printf '0.%03d' "$t")"
printf 'PING %s (127.0.0.1) 56(84) bytes of data.\n' "$1"
printf '64 bytes from localhost (127.0.0.1): icmp_seq=1 ttl=64 time=%s ms\n\n' "$ms"
printf -- '--- %s ping statistics ---\n' "$1"
printf '1 packets transmitted, 1 received, 0%% packet loss, time 0ms\n'
printf 'rtt min/avg/max/mdev = %s/%s/%s/0.000 ms\n' "$ms" "$ms" "$ms"
STUB
chmod +x "$work"/*

start_private_x 1024x768
cd "$root/examples"
PATH="$work:$PATH" "$build/tandrel" &
pid=$!
title="Zeige 2 Server"
wait_for_window "$title" 30 || { echo "the window did not appear" >&2; exit 1; }
sleep "${SECONDS_RUN:-45}"

# Pointer on sample 90 of the first host (x = 3 * 90 + 450), far enough left
# for the whole tooltip to fit.
window="$(xdotool search --onlyvisible --name "^${title}\$" | head -n 1)"
focus_window "$window"
xdotool mousemove --window "$window" 720 120
sleep 0.5
mkdir -p "$root/docs"
"$tool" "$out" "$title"

xdotool key --window "$window" alt+F4 >/dev/null 2>&1 || true
for _ in $(seq 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
wait "$pid" 2>/dev/null || true
pid=""
echo "$out"
