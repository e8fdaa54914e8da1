#!/usr/bin/env bash
# The preview stepped through 50 photos of 24 MP at two steps a second, in a real X server: key to the full
# picture on screen, with the neighbours decoded ahead and without (target: median 16 ms or less with, and no
# frame showing the previous photo); then once more with every aid on (focus points, peaking, clipping, histogram):
# the step stays as quick, and the aids follow within 200 ms.
set -euo pipefail
build="$1"
work="${BENCH_DIR:-${TMPDIR:-/tmp}/vorlane-bench-preview}"
if [ ! -f "$work/.made" ]; then
  rm -rf "$work"; mkdir -p "$work/photos"
  convert -size 600x400 plasma:fractal -blur 0x2 -resize 6000x4000! -quality 90 "$work/seed.jpg"
  for i in $(seq -w 1 50); do cp "$work/seed.jpg" "$work/photos/IMG_$i.jpg"; done
  touch "$work/.made"
fi
cat "$work"/photos/*.jpg > /dev/null
export XDG_CACHE_HOME="$work/cache"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bench/preview_bench" "$work/photos" 49
