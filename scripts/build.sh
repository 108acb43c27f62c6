#!/usr/bin/env bash
# Configures and builds tandrel in ./build (Release by default): every target,
# or only the ones named.
#   scripts/build.sh [TARGET...]   e.g. scripts/build.sh tandrel
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
