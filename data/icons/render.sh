#!/usr/bin/env bash
# Renders tandrel.svg into the PNG sizes installed under share/icons/hicolor.
# Run after changing the SVG; the PNGs are kept in the repository.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
for size in 16 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --format png \
    --output "$here/tandrel-$size.png" "$here/tandrel.svg"
done
