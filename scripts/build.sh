#!/usr/bin/env bash
# Configures and builds tandrel in ./build (Release by default).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
cmake --build build -j"$(nproc)"
