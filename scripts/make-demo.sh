#!/usr/bin/env bash
# Makes a small folder of sample media in a temporary directory and prints its path. Never touches the
# user's own files. Uses the shared fixtures when they sit beside the checkout, else makes files with
# ImageMagick, exiftool and ffmpeg.
set -euo pipefail
root="${VORLANE_DEMO_DIR:-${TMPDIR:-/tmp}/vorlane-demo}"
if [ -d "$root/card" ]; then echo "$root/card"; exit 0; fi
card="$root/card"
mkdir -p "$card/2024-trip"
fixtures="$(cd "$(dirname "$0")/.." && pwd)/../shared/fixtures"

mk() { # name size date
  convert -size "$2" plasma:fractal -quality 88 "$card/$1"
  exiftool -q -overwrite_original "-DateTimeOriginal=$3" "$card/$1"
}
mk IMG_0001.JPG 1600x1067 "2024:05:01 09:12:00"
mk IMG_0002.JPG 1600x1067 "2024:05:01 09:13:30"
mk IMG_0010.JPG 1200x1800 "2024:05:02 17:40:00"
mk 2024-trip/IMG_0100.JPG 1600x1067 "2024:06:10 12:00:00"
# a portrait stored sideways with EXIF Orientation 6
convert -size 1800x1200 gradient:orange-purple -quality 88 "$card/IMG_0003.JPG"
exiftool -q -overwrite_original "-DateTimeOriginal=2024:05:01 10:00:00" -Orientation#=6 "$card/IMG_0003.JPG"
# a RAW+JPEG pair
if [ -f "$fixtures/broken/IMG_5952_truncated.CR2" ]; then
  cp "$fixtures/broken/IMG_5952_truncated.CR2" "$card/IMG_0004.CR2"
  mk IMG_0004.JPG 1728x1152 "2009:07:21 13:03:20"
else
  mk IMG_0004.JPG 1728x1152 "2024:05:01 11:00:00"
  cp "$card/IMG_0004.JPG" "$card/IMG_0004.DNG"
fi
# a short video with sound
ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=30 -f lavfi -i sine=frequency=440 \
  -t 3 -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest "$card/MVI_0005.MP4"
echo "$card"
