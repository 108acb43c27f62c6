#!/usr/bin/env bash
# Sets up, builds and runs the monitor on the bundled example configuration.
# With a DISPLAY it simply runs the monitor. Without one (a server, a fresh
# container) it runs it for a few seconds on a private Xvfb, saves a
# screenshot of its window, says where it is, and ends. Only the monitor and
# the screenshot tool are built; the test programs are the test command's.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh" tandrel
cd "$root/examples"
if [ -n "${DISPLAY:-}" ]; then
  exec "$root/build/tandrel"
fi

# shellcheck source=private-x.sh
source "$root/scripts/private-x.sh"
tool="$(build_screenshot_tool "$root" "$root/build")"
start_private_x 1024x768
echo "No DISPLAY: running the monitor on a private X server ($DISPLAY) for a few seconds."

# The window's title counts the host lines: every line after the first
# without a "#", at most six.
count="$(tail -n +2 tandrel.cfg | grep -vc '#' || true)"
[ "$count" -gt 6 ] && count=6
title="Zeige $count Server"

"$root/build/tandrel" &
pid=$!
if ! wait_for_window "$title" 120; then
  echo "The window \"$title\" did not appear." >&2
  exit 1
fi
sleep "${RUN_SECONDS:-6}"
shot="$root/build/screenshot.png"
"$tool" "$shot" "$title"

# Close it as a user would; the window manager asks the program to end.
window="$(xdotool search --onlyvisible --name "^${title}\$" | head -n 1)"
focus_window "$window"
xdotool key --window "$window" alt+F4 >/dev/null 2>&1 || true
for _ in $(seq 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
wait "$pid" 2>/dev/null || true
pid=""
echo "Screenshot of the monitor's window: $shot"
