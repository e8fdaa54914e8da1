#!/usr/bin/env bash
# A labelled set of handheld bursts made from real photos: make_handheld.sh FIXTURES OUTDIR [LONG_EDGE]
#
# Every frame is a window of 85 % of a photo, moved as a hand moves it, scaled to LONG_EDGE. The scenes follow
# each other with no pause (0.6 s between the last frame of one and the first of the next), so only what the
# frames show can keep two scenes apart. Each scene is one of three kinds, in turn:
#   a triplet: sharp, defocused (a disc blur) and motion-blurred (a line blur), reframed by 5-15 % between
#     them, the sharp one first, second or third;
#   a pan: five frames, the window sliding 15 % across, blurred by 0.9-1.4 px but for the middle one, which
#     has a twin a stop darker right after it;
#   zoom and exposure: a frame a stop brighter and blurred, the sharp frame, one zoomed in 9 % and blurred,
#     one a stop darker and blurred, shifted 8 %.
# OUTDIR/labels.txt has a line per file: NAME SCENE SHARPEST(1/0).
set -euo pipefail
fixtures="$1"; out="$2"; edge="${3:-1200}"
mkdir -p "$out"
photos=(
  "formats/jpg/Apple iPhone 5.jpg" "formats/jpg/IMG_20200124_231153.jpg" "formats/jpg/Nexus 4.jpg"
  "formats/heic/2021-02-13-1929.heic" "formats/heic/classic-car.heic" "formats/heic/iphone_7.heic"
  "formats/heif/HMD_Nokia_8.3_5G.heif" "formats/heic/IMG_2927.HEIC" "formats/heif/issue_9292_sony_1_top_left.HIF"
  "formats/jpeg/mongolia.jpeg" "formats/jpg/IMG_1054.JPG" "formats/jpg/london.jpg"
)
: > "$out/labels.txt"
tags="$out/tags.args"; : > "$tags" # every frame's camera time, written at the end in one exiftool run
n=2000; ms=0
base_epoch=$(date -u -d '2024-06-01 09:00:00' +%s)
# frame SCENE SHARP X Y SIZE OPS...: a window SIZE % of the photo at X % and Y % of its width and height.
frame() {
  local scene=$1 sharp=$2 x=$3 y=$4 size=$5; shift 5
  local name="IMG_$((n++)).JPG" cw=$((w * size / 100)) ch=$((h * size / 100))
  convert -quiet "$base" -crop "${cw}x${ch}+$((w * x / 100))+$((h * y / 100))" +repage -resize "${edge}x${edge}>" \
    "$@" -quality 92 "$out/$name"
  local t=$((base_epoch + ms / 1000))
  printf '%s\n' -q -q -overwrite_original -all= "-DateTimeOriginal=$(date -u -d "@$t" '+%Y:%m:%d %H:%M:%S')" \
    "-SubSecTimeOriginal=$(printf '%03d' $((ms % 1000)))" "$out/$name" -execute >> "$tags"
  echo "$name $scene $sharp" >> "$out/labels.txt"
  ms=$((ms + 300))
}
# A defocus: the mean over a disc of radius 3.5 px (an explicit kernel: ImageMagick 6 does not always
# normalise its own Disk kernel).
disc=(-morphology Convolve "$(awk 'BEGIN { r = 3.5; n = 0; for (y = -3; y <= 3; y++) for (x = -3; x <= 3; x++) n += x*x + y*y <= r*r
  s = "7x7:"; for (y = -3; y <= 3; y++) for (x = -3; x <= 3; x++) s = s sprintf("%s%.6f", (x == -3 && y == -3) ? "" : ",", (x*x + y*y <= r*r) ? 1 / n : 0)
  print s }')")
darker=(-colorspace RGB -evaluate multiply 0.5 -colorspace sRGB)
brighter=(-colorspace RGB -evaluate multiply 2 -colorspace sRGB)
for k in "${!photos[@]}"; do
  base="$out/base.png"
  vips thumbnail "$fixtures/${photos[$k]}" "$base" 1600 --size down # upright; reads HEIF too
  size="$(identify -quiet -format '%wx%h' "$base")"; w="${size%x*}"; h="${size#*x}"
  case $((k % 3)) in
    0) first=$((k / 3 % 3))
       for i in 0 1 2; do
         kind=$(( (i - first + 3) % 3 ))
         case $i in 0) x=2 y=3 ;; 1) x=13 y=8 ;; 2) x=4 y=14 ;; esac
         case $kind in
           0) frame "$k" 1 "$x" "$y" 85 ;;
           1) frame "$k" 0 "$x" "$y" 85 "${disc[@]}" ;;
           2) frame "$k" 0 "$x" "$y" 85 -motion-blur 0x7+30 ;;
         esac
       done ;;
    1) frame "$k" 0 0 6 85 -gaussian-blur 0x1.2
       frame "$k" 0 4 5 85 -gaussian-blur 0x0.9
       frame "$k" 1 8 7 85
       frame "$k" 0 8 7 85 "${darker[@]}"
       frame "$k" 0 11 6 85 -gaussian-blur 0x1.4
       frame "$k" 0 15 8 85 -gaussian-blur 0x1 ;;
    2) frame "$k" 0 5 6 85 "${brighter[@]}" -gaussian-blur 0x1
       frame "$k" 1 7 7 85
       frame "$k" 0 10 10 78 -gaussian-blur 0x1.5
       frame "$k" 0 15 10 85 "${darker[@]}" -gaussian-blur 0x1 ;;
  esac
  ms=$((ms + 300))
  rm -f "$base"
done
exiftool -@ "$tags"; rm -f "$tags"
