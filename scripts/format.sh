#!/usr/bin/env bash
# Formats every C++ file of the project by .clang-format; with --check it
# changes nothing and fails, naming the places, when a file is not formatted.
# The generated data block is left as its generator writes it.
set -euo pipefail
cd "$(dirname "$0")/.."
list() {
  git ls-files --cached --others --exclude-standard '*.cpp' '*.hpp' 2>/dev/null ||
    find app gfx tests fuzz tools bench -name '*.[ch]pp'
}
mapfile -t files < <(list | grep -vx 'gfx/data_block_packed.cpp')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run -Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
