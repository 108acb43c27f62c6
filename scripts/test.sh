#!/usr/bin/env bash
# Checks the format, then sets up and builds; checks that the files call each
# other in one direction (scripts/layers.sh); runs the whole test suite; then
# the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer;
# then the X11 driver and end-to-end tests built with ThreadSanitizer; then
# every fuzz target for a bounded time (FUZZ_SECONDS each, default 60). Fails
# when any of them fails.
set -euo pipefail
cd "$(dirname "$0")/.."
began=$SECONDS
stage() { echo "== test.sh: $1 ($((SECONDS - began)) s so far)"; }

stage "format"
bash scripts/setup.sh
bash scripts/format.sh --check

stage "build"
bash scripts/build.sh

stage "layers"
bash scripts/layers.sh -q build

stage "tests"
(cd build && ctest --output-on-failure -j"$(nproc)")

stage "sanitized build and tests"
bash scripts/test-sanitized.sh

stage "thread-sanitized X11 and end-to-end tests"
bash scripts/test-threads.sh

stage "fuzz targets"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

stage "all passed"
