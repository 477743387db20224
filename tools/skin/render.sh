#!/usr/bin/env bash
# Renders the skin sources (resources/skin-src/*.svg) to the embedded pictures:
# resources/png/*.png (8-bit RGBA, PNG colour type 6) and resources/jpg/*.jpg.
#
# The two backgrounds are rendered alone.  Every smaller picture is drawn over the pixels of the
# background it is shown on, at its place in the window, so that its edges blend into the skin:
# the program shows the pictures without blending (fully transparent pixels become a key colour
# and partly transparent ones would show their raw colour), so the pictures with see-through
# corners keep only alpha 0 (outside the shape) and 255 (shape, edges pre-blended).
#
# Needs rsvg-convert (librsvg2-bin) and ImageMagick; output is the same on every run.
set -euo pipefail

for tool in rsvg-convert convert identify; do
  command -v "$tool" >/dev/null || {
    echo "render.sh: $tool is missing (Debian packages librsvg2-bin and imagemagick)" >&2
    exit 1
  }
done

root=$(cd "$(dirname "$0")/../.." && pwd)
src=$root/resources/skin-src
png=$root/resources/png
jpg=$root/resources/jpg
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$png" "$jpg"

# No time stamps or other metadata, so that an unchanged source gives identical bytes.
png_opts=(-strip -define png:exclude-chunks=date,time,tEXt,zTXt,iTXt)

layer() { # name -> $tmp/name.png (transparent where the source draws nothing)
  rsvg-convert "$src/$1.svg" -o "$tmp/$1.png"
}

size_of() { identify -format '%wx%h' "$1"; }

# backdrop NAME BASE X Y: the layer NAME drawn over BASE's pixels at (X, Y) -> $tmp/NAME.on.png
backdrop() {
  local name=$1 base=$2 x=$3 y=$4 size
  layer "$name"
  size=$(size_of "$tmp/$name.png")
  convert "$base" -crop "${size}+${x}+${y}" +repage "$tmp/$name.png" -compose Over -composite \
    -alpha off "$tmp/$name.on.png"
}

opaque() { # NAME BASE X Y -> png/NAME.png, fully opaque
  backdrop "$@"
  convert "$tmp/$1.on.png" -alpha off "${png_opts[@]}" "PNG32:$png/$1.png"
}

cut_out() { # NAME BASE X Y -> png/NAME.png, see-through wherever the source draws nothing
  backdrop "$@"
  convert "$tmp/$1.on.png" \( "$tmp/$1.png" -alpha extract -threshold 0 \) \
    -compose CopyOpacity -composite "${png_opts[@]}" "PNG32:$png/$1.png"
}

picture() { # NAME BASE X Y -> jpg/NAME.jpg
  backdrop "$@"
  convert "$tmp/$1.on.png" -quality 95 -sampling-factor 1x1 -strip "$jpg/$1.jpg"
}

# Backgrounds.
for name in main form1; do
  layer "$name"
  convert "$tmp/$name.png" -alpha off "${png_opts[@]}" "PNG32:$png/$name.png"
done
main=$png/main.png
form1=$png/form1.png

# Tabs: tab n stands at x 13, 323 and 637 (third tab: hidden, drawn for completeness), y 87.
tab_x=(13 323 637)
for n in 1 2 3; do
  for look in a b; do
    opaque "mbutton_$n$look" "$main" "${tab_x[$((n - 1))]}" 87
  done
done

# Upgrade page (page coordinates + 156 in y).
for look in out ovr dwn; do
  opaque "checkbtn_$look" "$main" 371 584
done
for state in 0 2; do
  cut_out "internet_connected_text$state" "$main" 607 584
done
for frame in 0 2 3; do
  cut_out "internet_connected_icon$frame" "$main" 832 584
done
picture image_bak1 "$main" 24 164

# Print page: the four buttons at x 28, 180, 332, 484, y 156.
print_x=(28 180 332 484)
i=0
for action in print clear copy edit; do
  for look in normal light; do
    cut_out "btn_${action}_$look" "$main" "${print_x[$i]}" 156
  done
  i=$((i + 1))
done

# Lookup page: its frame over the content area, the search field over the frame.
opaque frame_dtclookup "$main" 0 156
picture image1 "$png/frame_dtclookup.png" 124 5

# Language dialog: one button picture for Confirm (243, 428) and Cancel (515, 428); the dialog
# paints the band under both in the same colours.
picture dialog_button "$form1" 243 428

echo "rendered $(ls "$png" | wc -l) PNG and $(ls "$jpg" | wc -l) JPEG pictures"
