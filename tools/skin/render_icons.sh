#!/usr/bin/env bash
# Renders the program's icon (resources/desktop/org.quillon.Quillon.svg) to the PNG sizes that
# the install puts into the hicolor icon theme: resources/desktop/icons/<n>x<n>.png.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick; output is the same on every run.
set -euo pipefail
for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || {
    echo "render_icons.sh: $tool is missing (Debian packages librsvg2-bin and imagemagick)" >&2
    exit 1
  }
done
root=$(cd "$(dirname "$0")/../.." && pwd)
src=$root/resources/desktop/org.quillon.Quillon.svg
out=$root/resources/desktop/icons
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
for size in 16 22 24 32 48 64 128 256 512; do
  rsvg-convert -w "$size" -h "$size" "$src" -o "$tmp/icon.png"
  # No time stamps or other metadata, so that an unchanged source gives identical bytes.
  convert "$tmp/icon.png" -strip -define png:exclude-chunks=date,time,tEXt,zTXt,iTXt \
    "PNG32:$out/${size}x${size}.png"
done
