#!/usr/bin/env bash
# The first screen of a cold folder against vipsthumbnail, a warm second start, and the grid's key-to-repaint
# time over 10,000 cells while thumbnails are being made.
set -euo pipefail
build="$1"
. "$(dirname "$0")/common.sh"
bench="$build/bench/vorlane-grid-bench"
work="${BENCH_DIR:-${TMPDIR:-/tmp}/vorlane-bench-grid}"
count="${THUMB_COUNT:-300}"
if [ ! -f "$work/.made-v2-$count" ]; then
  rm -rf "$work"; mkdir -p "$work/photos" "$work/cells"
  # Camera-like: 6000 x 4000 with EXIF and a 160 x 120 EXIF thumbnail padded with black bars, as cameras do.
  convert -size 600x400 plasma:fractal -blur 0x2 -resize 6000x4000! -quality 90 "$work/seed.jpg"
  convert "$work/seed.jpg" -resize 160x120 -background black -gravity center -extent 160x120 "$work/thumb.jpg"
  exiftool -q -overwrite_original "-DateTimeOriginal=2024:05:01 09:12:00" -Make=Bench -Model=Body \
    "-ThumbnailImage<=$work/thumb.jpg" "$work/seed.jpg"
  for i in $(seq -w 1 "$count"); do cp "$work/seed.jpg" "$work/photos/IMG_$i.jpg"; done
  # 10,000 cells of the same 24 MP photo (hard links: one file's worth of disk, 10,000 thumbnails to make).
  for i in $(seq -w 1 10000); do ln "$work/seed.jpg" "$work/cells/IMG_$i.jpg"; done
  touch "$work/.made-v2-$count"
fi
cat "$work/seed.jpg" "$work"/photos/*.jpg > /dev/null
cache() { rm -rf "$work/cache"; mkdir -p "$work/cache"; }

cache
read -r picture cold visible < <(XDG_CACHE_HOME="$work/cache" "$bench" fill "$work/photos")
read -r _ warm _ < <(XDG_CACHE_HOME="$work/cache" "$bench" fill "$work/photos")
first=("$work"/photos/*.jpg); first=("${first[@]:0:$visible}")
mkdir -p "$work/vt"
vt=$(best_of 1 vipsthumbnail "${first[@]}" --size 320 -o "$work/vt/%s.png")
echo "cold folder of $count 24 MP JPEGs with EXIF thumbnails, $visible cells visible:"
echo "  every visible cell shows a picture after:  $(printf '%.0f' "$(echo "$picture * 1000" | bc -l)") ms (target <= 300 ms)"
echo "  first screen sharp: ours ${cold}s, vipsthumbnail --size 320 on those $visible files ${vt}s   ratio ours/it: $(ratio "$cold" "$vt") (target <= 1.0)"
echo "  second start (shared cache): ${warm}s   speed-up: $(ratio "$cold" "$warm")x (target >= 20x)"
# A phone's folder: HEICs with their thumbnails (as phones write them) between the phone clips of the
# corpus. Its first screen, every cell pictured, against the JPEG folder's.
fixtures="$(dirname "$0")/../../shared/fixtures/videos"
if [ -d "$fixtures" ] && command -v heif-enc >/dev/null; then
  if [ ! -f "$work/.made-phone" ]; then
    rm -rf "$work/phone"; mkdir -p "$work/phone"
    convert "$work/seed.jpg" -resize 4032x3024! "$work/seed4k.jpg"
    heif-enc -q 60 -t 320 "$work/seed4k.jpg" -o "$work/seed.heic" >/dev/null
    clips=("$fixtures/VID_20191220_170832.mp4" "$fixtures/pixel7_videoOnly_cleaned.mp4" "$fixtures/IMG_7943_HEVC.MOV"
           "$fixtures/sample_portrait.mp4")
    for i in $(seq 1 60); do
      n=$(printf %03d "$i")
      if [ $((i % 2)) = 1 ]; then cp "$work/seed.heic" "$work/phone/P_$n.HEIC"
      else clip="${clips[$((i / 2 % 4))]}"; cp "$clip" "$work/phone/P_$n.${clip##*.}"; fi
    done
    touch "$work/.made-phone"
  fi
  cache
  read -r phone _ phoneVisible < <(XDG_CACHE_HOME="$work/cache" "$bench" fill "$work/phone")
  echo "a phone's folder (HEICs with thumbnails between clips), $phoneVisible cells visible, every cell pictured:"
  echo "  $(printf '%.0f' "$(echo "$phone * 1000" | bc -l)") ms; the JPEG folder's first screen pictured $(printf '%.0f' "$(echo "$picture * 1000" | bc -l)") ms, sharp $(printf '%.0f' "$(echo "$cold * 1000" | bc -l)") ms   ratio phone/JPEG sharp: $(ratio "$phone" "$cold") (target <= 2)"
fi
cache
XDG_CACHE_HOME="$work/cache" "$bench" keys "$work/cells" | sed 's/$/   (target: median < 8 ms, worst < 16 ms)/'
