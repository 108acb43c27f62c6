#!/usr/bin/env bash
# Regenerates gfx/data_block_packed.cpp (the built-in fonts and palettes); the
# fonts come from a VGA option ROM, by default the one of Debian's seabios
# package, whose font source is public domain. Only needed when the block
# changes; the normal build uses the committed file.
#   scripts/make-data-block.sh [VGABIOS]
set -euo pipefail
cd "$(dirname "$0")/.."
rom="${1:-/usr/share/seabios/vgabios-isavga.bin}"
if [ ! -r "$rom" ]; then
  echo "make-data-block: $rom not found (install the seabios package)" >&2
  exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"${CXX:-g++}" -std=c++20 -O2 -Wall -Wextra -I. \
  tools/make_data_block.cpp gfx/data_block.cpp -o "$work/make_data_block"
"$work/make_data_block" "$rom" gfx/data_block_packed.cpp
