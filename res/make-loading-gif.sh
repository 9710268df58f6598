#!/usr/bin/env bash
# Makes res/Loading.gif, the scan window's busy animation, from loading.svg:
# eight frames, the ring turned 45 degrees further each time, 100 ms per frame,
# each frame with its graphic control block (delay 10, restore to background).
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert (imagemagick).
set -euo pipefail
cd "$(dirname "$0")"
convert=/usr/bin/convert  # /usr/local/bin may hold a stand-in without GIF output
[[ -x $convert ]] || convert=convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
frames=()
for i in 0 1 2 3 4 5 6 7; do
  sed "s/ANGLE/$((i * 45))/" loading.svg > "$work/frame$i.svg"
  rsvg-convert -w 21 -h 21 "$work/frame$i.svg" -o "$work/frame$i.png"
  frames+=("$work/frame$i.png")
done
"$convert" -delay 10 -dispose Background -loop 0 "${frames[@]}" -layers Optimize-Transparency \
  +repage Loading.gif
echo "wrote $(pwd)/Loading.gif ($(stat -c %s Loading.gif) bytes)"
