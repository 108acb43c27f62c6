#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan and runs it; any report ends the process that made it, so
# the test fails. The programs the tests start (tandrel under Xvfb) are
# built the same way and report the same way.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTANDREL_SANITIZE=ON \
  -DTANDREL_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"

# AddressSanitizer and LeakSanitizer reports go to files, one per process: a
# program a test starts may end with a non-zero status the test expects, and
# its report would pass unseen. (gcc's UndefinedBehaviorSanitizer always
# writes to standard error; any undefined behaviour ends the process with
# status 1.) Leaks inside third-party libraries only: tests/lsan.supp.
reports="$root/build-asan/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
(cd build-asan && ctest --output-on-failure -j"$(nproc)") || status=$?
# Warnings (a test asking for more memory than there is) are shown; errors,
# leaks and undefined behaviour fail the suite.
for f in "$reports"/*; do
  [ -e "$f" ] || continue
  echo "== $f" >&2
  cat "$f" >&2
  if grep -q -E 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$f"; then status=1; fi
done
[ "$status" -eq 0 ] || echo "test-sanitized: FAILED" >&2
exit "$status"
