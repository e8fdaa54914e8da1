#!/usr/bin/env bash
# A labelled set of bursts made from real photos: make_bursts.sh FIXTURES OUTDIR [LONG_EDGE]
#
# Each of seven photos of the corpus becomes a burst of five frames a quarter of a second apart (camera
# times with sub-seconds): the photo itself, one shaken by a few pixels and blurred a little, one blurred
# more, one blurred and noisy (a high ISO), one a stop darker and blurred. In burst 3 the sharp frame is the
# darker one, in burst 5 the sharp frame is noisy too. After every burst comes a trap: another scene one
# second later (time alone must not join it), or the same scene ten minutes later (looks alone must not).
# OUTDIR/labels.txt has a line per file: NAME GROUP SHARPEST(1/0), a group being a burst or a lone trap.
set -euo pipefail
fixtures="$1"; out="$2"; edge="${3:-1600}"
mkdir -p "$out"
photos=(
  "formats/jpg/Apple iPhone 5.jpg"
  "formats/jpg/IMG_20200124_231153.jpg"
  "formats/heic/iphone_7.heic"
  "formats/heic/classic-car.heic"
  "formats/jpg/Nexus 4.jpg"
  "formats/heic/IMG_2927.HEIC"
  "formats/heif/HMD_Nokia_8.3_5G.heif"
)
others=("formats/jpg/london.jpg" "formats/jpeg/mongolia.jpeg" "formats/jpg/IMG_1054.JPG")
: > "$out/labels.txt"
n=1000; group=0
tags="$out/tags.args"; : > "$tags"
frame() { # NAME MILLISECONDS_AFTER_BASE BASE_EPOCH: the camera time with its sub-seconds, written at the end
  local t=$(( $3 + $2 / 1000 ))
  printf '%s\n' -q -q -overwrite_original -all= "-DateTimeOriginal=$(date -u -d "@$t" '+%Y:%m:%d %H:%M:%S')" \
    "-SubSecTimeOriginal=$(printf '%03d' $(( $2 % 1000 )))" "$out/$1" -execute >> "$tags"
}
base_epoch=$(date -u -d '2024-06-01 09:00:00' +%s)
for k in "${!photos[@]}"; do
  src="$fixtures/${photos[$k]}"
  base="$out/base$k.png"
  vips thumbnail "$src" "$base" "$edge" --size down # upright; reads HEIF too
  size="$(identify -quiet -format '%wx%h' "$base")"; w="${size%x*}"; h="${size#*x}"
  t0=$(( base_epoch + k * 1800 ))
  sharp=0; [ "$k" = 3 ] && sharp=4
  for i in 0 1 2 3 4; do
    name="IMG_$((n++)).JPG"
    case "$i" in
      0) if [ "$k" = 3 ]; then ops=(-gaussian-blur 0x1.2); elif [ "$k" = 5 ]; then ops=(-attenuate 0.5 +noise Gaussian); else ops=(); fi ;;
      1) ops=(-crop "$((w - 4))x$((h - 3))+4+3" +repage -gaussian-blur 0x1) ;;
      2) ops=(-gaussian-blur 0x2) ;;
      3) ops=(-gaussian-blur 0x1.5 -attenuate 0.8 +noise Gaussian) ;;
      4) if [ "$k" = 3 ]; then ops=(-colorspace RGB -evaluate multiply 0.5 -colorspace sRGB)
         else ops=(-gaussian-blur 0x1 -colorspace RGB -evaluate multiply 0.5 -colorspace sRGB); fi ;;
    esac
    convert -quiet "$base" "${ops[@]}" -quality 90 "$out/$name"
    frame "$name" $(( i * 250 )) "$t0"
    echo "$name $group $([ "$i" = "$sharp" ] && echo 1 || echo 0)" >> "$out/labels.txt"
  done
  group=$((group + 1))
  name="IMG_$((n++)).JPG"
  if [ $((k % 2)) = 0 ]; then
    # Another scene one second after the burst's last frame.
    vips thumbnail "$fixtures/${others[$((k / 2 % ${#others[@]}))]}" "$out/$name[Q=90]" "$edge" --size down
    frame "$name" 2000 "$t0"
  else
    # The same scene ten minutes later.
    convert -quiet "$base" -quality 90 "$out/$name"
    frame "$name" 600000 "$t0"
  fi
  echo "$name $group 0" >> "$out/labels.txt"
  group=$((group + 1))
  rm -f "$base"
done
# Every frame's time in one exiftool run.
exiftool -@ "$tags"; rm -f "$tags"
