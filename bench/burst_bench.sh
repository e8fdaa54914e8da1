#!/usr/bin/env bash
# vorlane-cli groups on a folder of 24 MP bursts against djpeg -scale 1/2 decoding the same files, one after
# another (the decode the sharpness needs, and nothing else).
set -euo pipefail
build="$1"
. "$(dirname "$0")/common.sh"
cli="$build/src/cli/vorlane-cli"
work="${BENCH_DIR:-${TMPDIR:-/tmp}/vorlane-bench-bursts}"
count="${BURST_FRAMES:-40}"
if [ ! -f "$work/.made-$count" ]; then
  rm -rf "$work"; mkdir -p "$work/photos"
  # Camera-like 6000 x 4000 frames: bursts of four, each frame blurred a little more than the last.
  for b in $(seq 0 $((count / 4 - 1))); do
    convert -size 600x400 plasma:fractal -resize 6000x4000! "$work/base.png"
    for f in 0 1 2 3; do
      n=$(printf '%04d' $((b * 4 + f)))
      if [ "$f" = 0 ]; then convert "$work/base.png" -quality 90 "$work/photos/IMG_$n.JPG"
      else convert "$work/base.png" -gaussian-blur "0x$f" -quality 90 "$work/photos/IMG_$n.JPG"; fi
      exiftool -q -q -overwrite_original "-DateTimeOriginal=2024:05:01 09:$(printf '%02d' $((b % 60))):00" \
        "-SubSecTimeOriginal=$((f * 25))" "$work/photos/IMG_$n.JPG"
    done
  done
  rm -f "$work/base.png"; touch "$work/.made-$count"
fi
cat "$work"/photos/*.JPG > /dev/null
ours=$(best_of 3 "$cli" groups "$work/photos")
theirs=$(best_of 3 bash -c "for f in '$work'/photos/*.JPG; do djpeg -scale 1/2 \"\$f\" > /dev/null; done")
groups=$("$cli" groups "$work/photos" | sed 's/.*"group": \([0-9]*\).*/\1/' | sort -u | wc -l)
echo "groups of $count 24 MP frames ($groups groups): ours ${ours}s, djpeg -scale 1/2 ${theirs}s   ratio ours/it: $(ratio "$ours" "$theirs") (target <= 1.5)"
