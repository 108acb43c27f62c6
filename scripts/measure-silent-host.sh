#!/usr/bin/env bash
# Measures the monitor while one of its hosts has stopped answering, with the
# real nslookup, nmap and ping. Two network namespaces: the monitor's, with
# dnsmasq answering for healthy.lab.test (10.203.0.2) and silent.lab.test
# (10.203.0.3), and the hosts', one veth away. Both answer at start, so the
# scans find them up and both are pinged; once the silent host has answered
# a ping, its namespace throws away everything it would send from its address
# (a blackhole rule): its pings now wait 10 s for a reply, as behind a
# firewall that drops. The monitor runs on a private Xvfb with openbox; then:
#   hover  20 times, 3 s apart: the pointer (XTEST) onto "Neuladen" of the
#          healthy panel and away; seconds until the button turns light and
#          until it turns back (tools/window_reaction.cpp)
#   pings  each host's pings started per minute over those seconds, counted
#          by a ping first on PATH that logs each call and runs the real one
#   close  seconds from WM_DELETE_WINDOW to the monitor's end, and the ping
#          processes running in its namespace just before and right after
# Needs root (network namespaces).
#   BUILD_DIR  build folder holding tandrel (default: build)
set -euo pipefail
[ "$(id -u)" = 0 ] || { echo "measure-silent-host: needs root for ip netns" >&2; exit 2; }
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
[ -x "$build/tandrel" ] || bash "$root/scripts/build.sh"

# shellcheck source=private-x.sh
source "$root/scripts/private-x.sh"
work="$(mktemp -d)"
lab="tandrel-silent-$$"
dns=""
end_lab() {
  [ -z "$dns" ] || kill "$dns" 2>/dev/null || true
  for ns in "$lab-main" "$lab-peer"; do
    for p in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$p" 2>/dev/null || true; done
    ip netns del "$ns" 2>/dev/null || true
  done
  rm -rf "/etc/netns/$lab-main"
  end_private_run
}
trap end_lab EXIT

# The lab: no route out; whatever runs in the monitor's namespace asks only our dnsmasq.
ip netns add "$lab-main"
ip netns add "$lab-peer"
ip -n "$lab-main" link set lo up
ip -n "$lab-main" link add lab0 type veth peer name lab1 netns "$lab-peer"
ip -n "$lab-main" addr add 10.203.0.1/24 dev lab0
ip -n "$lab-main" link set lab0 up
ip -n "$lab-peer" addr add 10.203.0.2/24 dev lab1
ip -n "$lab-peer" addr add 10.203.0.3/24 dev lab1
ip -n "$lab-peer" link set lab1 up
mkdir -p "/etc/netns/$lab-main"
echo "nameserver 127.0.0.53" >"/etc/netns/$lab-main/resolv.conf"
echo "127.0.0.1 localhost" >"/etc/netns/$lab-main/hosts"
printf 'hosts: files dns\nnetworks: files\n' >"/etc/netns/$lab-main/nsswitch.conf"
inside() { ip netns exec "$lab-main" "$@"; }
inside dnsmasq --keep-in-foreground --conf-file=/dev/null --no-resolv --no-hosts \
  --port=53 --listen-address=127.0.0.53 --bind-interfaces --user=root --pid-file= \
  --local=/lab.test/ --host-record=healthy.lab.test,10.203.0.2 \
  --host-record=silent.lab.test,10.203.0.3 >"$work/dnsmasq.out" 2>&1 &
dns=$!
for _ in $(seq 100); do
  inside bash -c 'exec 3<>/dev/tcp/127.0.0.53/53' 2>/dev/null && break
  sleep 0.1
done

mkdir "$work/bin"
cat >"$work/bin/ping" <<STUB
#!/bin/sh
echo "\$(date +%s.%N) \$1" >>"$work/pings.log"
exec $(command -v ping) "\$@"
STUB
chmod +x "$work/bin/ping"
: >"$work/pings.log"
printf 'terminal=true\nhealthy.lab.test\nsilent.lab.test\n' >"$work/tandrel.cfg"
c++ -std=c++20 -O2 -Wall -Wextra "$root/tools/window_reaction.cpp" -lXtst -lX11 \
  -o "$work/window_reaction"

start_private_x 1024x768
(cd "$work" && exec ip netns exec "$lab-main" env PATH="$work/bin:$PATH" "$build/tandrel") &
pid=$!
wait_for_window "Zeige 2 Server" 120 || { echo "the window did not appear" >&2; exit 1; }
window="$(xdotool search --onlyvisible --name '^Zeige 2 Server$' | head -n 1)"
focus_window "$window"
for _ in $(seq 200); do
  grep -q ' silent.lab.test$' "$work/pings.log" && break
  sleep 0.1
done
sleep 1  # its first ping has answered
ip -n "$lab-peer" rule add from 10.203.0.3 blackhole
sleep 3

t0="$EPOCHREALTIME"
"$work/window_reaction" "$window" hover 60 10 250 120 5 10 20 3000 >"$work/hover"
t1="$EPOCHREALTIME"
pinged() {  # HOST: its pings started while the pointer moved
  awk -v h="$1" -v t0="$t0" -v t1="$t1" '$2 == h && $1 >= t0 && $1 < t1' "$work/pings.log" | wc -l
}
pings="$(pinged healthy.lab.test)" silent="$(pinged silent.lab.test)"
running() {  # ping processes in the monitor's namespace
  local n=0 p
  for p in $(ip netns pids "$lab-main"); do
    [ "$(cat "/proc/$p/comm" 2>/dev/null)" = ping ] && n=$((n + 1))
  done
  echo "$n"
}
before="$(running)"

c0="$EPOCHREALTIME"
"$work/window_reaction" "$window" close
for _ in $(seq 3000); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.01
done
c1="$EPOCHREALTIME"
left="$(running)"
ended="still running"
kill -0 "$pid" 2>/dev/null || { ended="ended"; pid=""; }

summary() {  # WHAT: max, median and count of the hover lines for WHAT
  awk -v what="$1" '$1 == what && $2 != "timeout" { print $2 }' "$work/hover" | sort -n |
    awk -v what="$1" -v late="$(grep -c "^$1 timeout" "$work/hover" || true)" '{ v[++n] = $1 }
      END {
        median = n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        printf "%-22s %8.3f %8.3f %6d", "hover " what " (s)", v[n], median, n
        if (late > 0) printf "   %d more timed out (30 s)", late
        printf "\n"
      }'
}
printf '%-22s %8s %8s %6s\n' "while silent is down" max median count
summary on
summary off
awk -v n="$pings" -v silent="$silent" -v t0="$t0" -v t1="$t1" -v c0="$c0" -v c1="$c1" \
  -v before="$before" -v ended="$ended" -v left="$left" 'BEGIN {
    printf "%-22s %8.1f %17s\n", "healthy pings/min", n * 60 / (t1 - t0), \
      "(" n " in " int(t1 - t0 + 0.5) " s)"
    printf "%-22s %8.1f %17s\n", "silent pings/min", silent * 60 / (t1 - t0), \
      "(" silent " started)"
    printf "%-22s %8d\n", "pings running at close", before
    printf "%-22s %8.3f %17s\n", "close box to exit (s)", c1 - c0, "(" ended ")"
    printf "%-22s %8d\n", "pings left running", left
  }'
