#!/usr/bin/env bash
# Thumbnails against vipsthumbnail, a warm second start, and the grid's key-to-repaint time over 10,000 cells.
set -euo pipefail
build="$1"
. "$(dirname "$0")/common.sh"
bench="$build/bench/vorlane-grid-bench"
work="${BENCH_DIR:-${TMPDIR:-/tmp}/vorlane-bench-grid}"
count="${THUMB_COUNT:-300}"
if [ ! -f "$work/.made-$count" ]; then
  rm -rf "$work"; mkdir -p "$work/photos" "$work/cells"
  convert -size 600x400 plasma:fractal -blur 0x2 -resize 6000x4000! -quality 90 "$work/seed.jpg"
  exiftool -q -overwrite_original "-DateTimeOriginal=2024:05:01 09:12:00" "$work/seed.jpg"
  for i in $(seq -w 1 "$count"); do cp "$work/seed.jpg" "$work/photos/IMG_$i.jpg"; done
  convert -size 160x120 plasma:fractal "$work/small.jpg"
  for i in $(seq -w 1 10000); do cp "$work/small.jpg" "$work/cells/IMG_$i.jpg"; done
  touch "$work/.made-$count"
fi
cat "$work"/photos/*.jpg > /dev/null
cache() { rm -rf "$work/cache"; mkdir -p "$work/cache"; }
cache
ours=$(XDG_CACHE_HOME="$work/cache" "$bench" thumbs "$work/photos" 320)
mkdir -p "$work/vt"
vt=$(best_of 1 vipsthumbnail "$work"/photos/*.jpg --size 320 -o "$work/vt/%s.png")
echo "320 px thumbnails of $count 24 MP JPEGs: ours ${ours}s, vipsthumbnail ${vt}s   ratio ours/it: $(ratio "$ours" "$vt") (target <= 1.2)"
cache
cold=$(XDG_CACHE_HOME="$work/cache" "$bench" fill "$work/photos")
warm=$(XDG_CACHE_HOME="$work/cache" "$bench" fill "$work/photos")
echo "visible grid filled: first start ${cold}s, second start ${warm}s   speed-up: $(ratio "$cold" "$warm")x (target >= 20x)"
cache
XDG_CACHE_HOME="$work/cache" "$bench" keys "$work/cells"
