#!/usr/bin/env bash
# The quick loop beside scripts/test.sh: builds only the unit test programs
# and the program (no X server, no root, no sanitizers) in build-check, checks
# that its files call each other in one direction (scripts/layers.sh) and runs
# the unit tests. About a minute from a clean folder on two cores;
# scripts/test.sh stays the gate.
#   scripts/check.sh [CTEST_ARGS...]   e.g. scripts/check.sh -R Config
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-check -DCMAKE_BUILD_TYPE=Release -DTANDREL_BENCH=OFF >/dev/null
cmake --build build-check -j"$(nproc)" --target unit_tests tandrel
bash scripts/layers.sh -q build-check
cd build-check && ctest -L unit --output-on-failure -j"$(nproc)" "$@"
