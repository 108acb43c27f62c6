#!/usr/bin/env bash
# Installs every Debian package tandrel needs to build, test and run.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libx11-dev libxext-dev libxrandr-dev libxpm-dev libxtst-dev
  libgtest-dev libbenchmark-dev zlib1g-dev
  xvfb x11-utils xdotool openbox xterm
  xserver-xorg-core xserver-xorg-video-dummy tigervnc-standalone-server
  sway xwayland x11-xserver-utils
  nmap bind9-dnsutils iputils-ping iproute2 dnsmasq-base
  clang libclang-rt-14-dev clang-format
  desktop-file-utils dpkg-dev file man-db librsvg2-bin lintian appstream
  seabios
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
