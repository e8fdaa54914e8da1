#!/usr/bin/env bash
# Still-image copies against vipsthumbnail and ImageMagick on the same 24-megapixel camera-like JPEGs,
# page cache warm: per-image time, a six-rung photo against a first-rung one, a RAW's full-size embedded
# preview against that preview as a JPEG, and 2 jobs against 1. `image_bench.sh BUILD`.
set -euo pipefail
build="$1"
. "$(dirname "$0")/common.sh"
bench="$build/bench/vorlane-image-bench"
work="${BENCH_DIR:-${TMPDIR:-/tmp}/vorlane-bench-image}"
count="${IMAGE_COUNT:-6}"
fixtures="$(cd "$(dirname "$0")/../.." && pwd)/shared/fixtures"

if [ ! -f "$work/.made-v3-$count" ]; then
  rm -rf "$work"; mkdir -p "$work/smooth" "$work/detailed"
  # Two 6000 x 4000 frames of about the same file size (8-9 MB, a camera's fine JPEG), so they cost the same
  # to decode: a soft one with sensor-like grain that averages away in the downscale (fits at the first rung)
  # and one with detail coarse enough to survive it (still over the target at the last rung).
  convert -size 600x400 plasma:fractal -blur 0x2 -resize 6000x4000! -attenuate 0.3 +noise Gaussian -quality 92 \
    "$work/seed-smooth.jpg"
  convert -size 2000x1334 xc: +noise Random -resize 6000x4000! -quality 80 "$work/seed-detailed.jpg"
  for seed in smooth detailed; do
    exiftool -q -overwrite_original "-DateTimeOriginal=2024:05:01 09:12:00" -Make=Bench -Model=Body "$work/seed-$seed.jpg"
    for i in $(seq 1 "$count"); do cp "$work/seed-$seed.jpg" "$work/$seed/IMG_$i.jpg"; done
  done
  touch "$work/.made-v3-$count"
fi
out="$work/out"; rm -rf "$out"; mkdir -p "$out"
smooth=("$work"/smooth/*.jpg); detailed=("$work"/detailed/*.jpg)
cat "${smooth[@]}" "${detailed[@]}" >/dev/null

per() { printf '%.1f' "$(echo "$1 * 1000 / $2" | bc -l)"; }
first_q=$("$bench" "$out" "${smooth[0]}" 2>/dev/null | awk '{print $3}')
last_q=$("$bench" "$out" "${detailed[0]}" 2>/dev/null | awk '{print $3}')

ours=$(best_of 3 "$bench" --jobs 1 "$out" "${smooth[@]}")
vt1=$(best_of 3 env VIPS_CONCURRENCY=1 vipsthumbnail "${smooth[@]}" --size 1920 -o "$out/%s_vt.jpg[Q=85,strip]")
vtn=$(best_of 3 vipsthumbnail "${smooth[@]}" --size 1920 -o "$out/%s_vt.jpg[Q=85,strip]")
im=$(best_of 1 bash -c 'for f in "$@"; do convert "$f" -resize 1920x1920 -quality 85 -strip "'"$out"'/$(basename "$f" .jpg)_im.jpg"; done' _ "${smooth[@]}")
six=$(best_of 3 "$bench" --jobs 1 "$out" "${detailed[@]}")

echo "24 MP JPEG -> 1920 px copy, per image (first rung Q$first_q):"
echo "  ours (1 core):                     $(per "$ours" "$count") ms"
echo "  vipsthumbnail Q85 strip, 1 thread: $(per "$vt1" "$count") ms   ratio ours/it: $(ratio "$ours" "$vt1") (target <= 0.75)"
echo "  vipsthumbnail Q85 strip, default:  $(per "$vtn" "$count") ms   ratio ours/it: $(ratio "$ours" "$vtn")"
echo "  convert -resize 1920x1920 -q 85:   $(per "$im" "$count") ms   ratio ours/it: $(ratio "$ours" "$im")"
echo "six rungs (ends at Q$last_q) vs first rung: $(per "$six" "$count") ms vs $(per "$ours" "$count") ms   ratio: $(ratio "$six" "$ours") (target <= 1.3)"

nef="$fixtures/formats/nef/NIKON_D7100_head.nef"
if [ -f "$nef" ]; then
  mkdir -p "$work/raw"
  for i in $(seq 1 "$count"); do cp "$nef" "$work/raw/NEF_$i.nef"; done
  exiftool -q -b -JpgFromRaw "$nef" > "$work/raw/preview.jpg"
  for i in $(seq 1 "$count"); do cp "$work/raw/preview.jpg" "$work/raw/PRV_$i.jpg"; done
  raw=$(best_of 3 "$bench" --jobs 1 "$out" "$work"/raw/NEF_*.nef)
  prv=$(best_of 3 "$bench" --jobs 1 "$out" "$work"/raw/PRV_*.jpg)
  echo "RAW with full-size preview vs that preview as JPEG: $(per "$raw" "$count") ms vs $(per "$prv" "$count") ms   ratio: $(ratio "$raw" "$prv") (target <= 1.3)"
else
  echo "RAW vs preview: skipped (no fixtures)"
fi

# Throughput is the scheduler's in a running process: the clock starts once the codecs have started, and the
# batch is long enough (each photo twice) that the last job running alone weighs little.
batch=("${smooth[@]}" "${detailed[@]}" "${smooth[@]}" "${detailed[@]}")
one=$(best_inner 3 "$bench" --jobs 1 "$out" "${batch[@]}")
two=$(best_inner 3 "$bench" --jobs 2 "$out" "${batch[@]}")
echo "batch of ${#batch[@]} on $(nproc) cores, process start excluded: --jobs 1 ${one}s, --jobs 2 ${two}s   throughput ratio: $(ratio "$one" "$two")x (target >= 1.85)"
echo "peak memory, one 24 MP copy: $(peak_kib "$bench" "$out" "${smooth[0]}") KiB"
