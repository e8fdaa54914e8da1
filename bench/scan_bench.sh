#!/usr/bin/env bash
# Directory scan against exiftool (capture dates) and du (folder sizes), on one card-like tree, page cache warm.
set -euo pipefail
build="$1"
. "$(dirname "$0")/common.sh"
cli="$build/src/cli/vorlane-cli"
work="${BENCH_DIR:-${TMPDIR:-/tmp}/vorlane-bench-scan}"
photos="${SCAN_PHOTOS:-3000}"
nested="${SCAN_NESTED:-30000}"

if [ ! -f "$work/.made-$photos-$nested" ]; then
  rm -rf "$work"; mkdir -p "$work/DCIM/100CARD"
  seed="$work/seed.jpg"
  convert -size 640x427 plasma:fractal -quality 85 "$seed"
  exiftool -q -overwrite_original "-DateTimeOriginal=2024:05:01 09:12:00" -Make=Bench -Model=Card "$seed"
  for i in $(seq 1 "$photos"); do
    n=$(printf '%04d' "$i")
    if [ $((i % 5)) -eq 0 ]; then cp "$seed" "$work/DCIM/100CARD/IMG_$n.CR2"; fi
    cp "$seed" "$work/DCIM/100CARD/IMG_$n.JPG"
  done
  # nested folders holding tens of thousands of files
  for d in $(seq 1 30); do
    mkdir -p "$work/DCIM/100CARD/archive_$d/sub"
    for i in $(seq 1 $((nested / 60))); do
      head -c $((i * 37 % 5000)) /dev/zero > "$work/DCIM/100CARD/archive_$d/f$i.bin"
      head -c $((i * 53 % 3000)) /dev/zero > "$work/DCIM/100CARD/archive_$d/sub/g$i.bin"
    done
  done
  rm -f "$seed"; touch "$work/.made-$photos-$nested"
fi

top="$work/DCIM/100CARD"
media=$(find "$top" -maxdepth 1 -type f \( -name '*.JPG' -o -name '*.CR2' \) | wc -l)
# warm the page cache
"$cli" scan "$top" >/dev/null; du -sb "$top"/archive_* >/dev/null

ours=$(best_of 3 "$cli" scan "$top")
exif=$(best_of 1 bash -c "exiftool -fast2 -T -DateTimeOriginal '$top'/*.JPG '$top'/*.CR2")
# folder sizes alone: a folder holding only the archive folders
sizes_real="$work/sizes-real"; rm -rf "$sizes_real"; mkdir -p "$sizes_real"
for d in "$top"/archive_*; do mv "$d" "$sizes_real/"; done
ours_sizes=$(best_of 5 "$cli" scan "$sizes_real")
du_sizes=$(best_of 5 du -sb "$sizes_real"/archive_*)
for d in "$sizes_real"/archive_*; do mv "$d" "$top/"; done
full=$(best_of 3 "$cli" scan "$top")
files=$(find "$top" -type f | wc -l)
peak=$(peak_kib "$cli" scan "$top")

echo "media files in top folder: $media; files under it: $files"
echo "scan (dates+pairs) ours:        ${ours}s   exiftool -fast2: ${exif}s   speed-up: $(ratio "$exif" "$ours")x (target >= 20x)"
echo "folder sizes ours:              ${ours_sizes}s   du -sb: ${du_sizes}s   ratio ours/du: $(ratio "$ours_sizes" "$du_sizes") (target <= 1.2)"
echo "whole scan: ${full}s, $(printf '%.0f' "$(echo "$files / $full" | bc -l)") files/s, peak memory ${peak} KiB"
