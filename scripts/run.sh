#!/usr/bin/env bash
# Sets up, builds and runs the monitor on the bundled example configuration.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh"
cd "$root/examples"
exec "$root/build/tandrel"
