#!/usr/bin/env bash
# Builds the X11 driver tests, the end-to-end tests and the monitor they start
# with ThreadSanitizer in build-tsan and runs them: the update thread and the
# drawing thread share the frame buffer, its dirty rows, the image and the
# input state, and any access to them outside the driver lock is reported.
# Reports go to files, one per process; any report fails the suite.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTANDREL_TSAN=ON \
  -DTANDREL_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$(nproc)" --target test_x11 test_e2e tandrel

reports="$root/build-tsan/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
export TSAN_OPTIONS="log_path=$reports/tsan:second_deadlock_stack=1:history_size=4"
status=0
# ThreadSanitizer needs the address layout it expects; some kernels randomise
# beyond it, so the tests run with randomisation off.
for program in test_x11 test_e2e; do
  setarch "$(uname -m)" -R "build-tsan/tests/$program" --gtest_brief=1 || status=$?
done
for f in "$reports"/*; do
  [ -e "$f" ] || continue
  echo "== $f" >&2
  cat "$f" >&2
  status=1
done
[ "$status" -eq 0 ] || echo "test-threads: FAILED" >&2
exit "$status"
