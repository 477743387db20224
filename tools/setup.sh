#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12.  Installs only what is missing,
# so it is cheap to run again.  Needs root or sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libgl-dev
  libpng-dev libjpeg62-turbo-dev zlib1g-dev libudev-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  curl python3 xvfb xauth x11-utils x11-apps imagemagick librsvg2-bin xdotool xclip
  fonts-noto-cjk fonts-noto-core fonts-dejavu-core
  desktop-file-utils appstream weston qt6-wayland
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
