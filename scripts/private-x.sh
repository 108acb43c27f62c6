# Sourced by the run, screenshot and measuring scripts: a private Xvfb with
# openbox, the screenshot tool, and waiting for the monitor's window.
# On exit the script's monitor ($pid, when set) is killed, everything
# started here stopped and the script's scratch folder ($work, when set)
# removed.

private_x_pids=()
pid=""
work=""
end_private_run() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  stop_private_x
  [ -z "$work" ] || rm -rf "$work"
}
trap end_private_run EXIT

# start_private_x [WIDTHxHEIGHT [tcp]]: Xvfb on a free display, openbox on
# it, DISPLAY exported; with tcp the server also listens on TCP and DISPLAY
# names it as 127.0.0.1:N, a remote display as far as clients can tell.
start_private_x() {
  local size="${1:-1024x768}" listen="-nolisten" fifo number
  [ "${2:-}" = tcp ] && listen="-listen"
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${size}x24" "$listen" tcp 3>"$fifo" >/dev/null 2>&1 &
  private_x_pids+=($!)
  read -r -t 10 number <"$fifo" || number=""
  rm -f "$fifo"
  if [ -z "$number" ]; then
    echo "could not start Xvfb" >&2
    return 1
  fi
  export DISPLAY=":$number"
  [ "$listen" = -listen ] && export DISPLAY="127.0.0.1:$number"
  openbox --sm-disable >/dev/null 2>&1 &
  private_x_pids+=($!)
  # openbox is ready once it announces what it supports, window activation
  # included.
  for _ in $(seq 200); do
    xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW && return 0
    sleep 0.05
  done
  return 0
}

# focus_window ID: gives the window the input focus (the monitor reads the
# pointer only while it has it).
focus_window() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1" \
    >/dev/null 2>&1 || true
}

stop_private_x() {
  local i
  for ((i = ${#private_x_pids[@]} - 1; i >= 0; i--)); do
    kill "${private_x_pids[i]}" 2>/dev/null || true
    wait "${private_x_pids[i]}" 2>/dev/null || true
  done
  private_x_pids=()
}

# build_screenshot_tool ROOT BUILD_DIR: compiles tools/screenshot.cpp (with
# tools/png.hpp) into BUILD_DIR/screenshot unless it is up to date; prints
# the path.
build_screenshot_tool() {
  local root="$1" out="$2/screenshot"
  if [ ! -x "$out" ] || [ "$root/tools/screenshot.cpp" -nt "$out" ] ||
    [ "$root/tools/png.hpp" -nt "$out" ]; then
    # shellcheck disable=SC2046
    c++ -std=c++20 -O2 -Wall -Wextra "$root/tools/screenshot.cpp" \
      $(pkg-config --cflags --libs x11 zlib) -o "$out"
  fi
  echo "$out"
}

# wait_for_window TITLE [SECONDS]: until a window of that name is mapped.
wait_for_window() {
  local title="$1" seconds="${2:-20}"
  for _ in $(seq $((seconds * 20))); do
    xdotool search --onlyvisible --name "^${title}\$" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  return 1
}
