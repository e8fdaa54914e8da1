#!/usr/bin/env bash
# The real vorlane binary in a real X server, driven by key presses from outside as a person would press
# them: open a folder, move, mark a RAW+JPEG pair, a photo and a video, wait for the copies, discard with
# Ctrl+Backspace, then check on disk that exactly those originals are in the Trash, the copies are in the
# _bside folder and every other file is untouched. Screenshots are kept for a person to look at.
# Usage: e2e_test.sh VORLANE_BINARY SCREENSHOT_DIR
set -euo pipefail
app="$1"; shots="$2"; tools="convert ffmpeg trash-list"; display_range="$(seq 91 140)"
source "$(dirname "$0")/session.sh"

card="$work/card"; cleanup_paths+=("$card")
mkdir -p "$card/sub"
convert -size 1600x1067 plasma:fractal -quality 85 "$card/IMG_0001.JPG"
cp "$card/IMG_0001.JPG" "$card/IMG_0001.CR2"
convert -size 1200x800 gradient:orange-purple -quality 85 "$card/IMG_0002.JPG"
convert -size 1200x800 plasma:fractal -quality 85 "$card/IMG_0003.JPG"
convert -size 640x480 plasma:fractal -quality 85 "$card/sub/IMG_0100.JPG"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi -i sine=frequency=440 -t 2 \
  -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest "$card/MVI_0004.MP4"
before="$(cd "$card" && find . -type f | sort | xargs sha256sum)"
start_app "$card"

# The grid: sub (folder), IMG_0001.CR2+JPG, IMG_0002.JPG, IMG_0003.JPG, MVI_0004.MP4.
xdotool key --delay 250 Return          # into sub
sleep 1
xdotool key --delay 250 BackSpace       # back up: "sub" is selected again
sleep 1
xdotool key --delay 300 Right d d Right d
copies="$card/card_bside"
have_copies() { [ -s "$copies/IMG_0001_bside.jpg" ] && [ -s "$copies/IMG_0002_bside.jpg" ] && [ -s "$copies/MVI_0004_bside.mp4" ]; }
waitfor 180 have_copies || fail "the three copies were not made"
sleep 2
import -window root "$shots/e2e-marked.png"

xdotool key ctrl+BackSpace
gone() { [ ! -e "$card/IMG_0001.JPG" ] && [ ! -e "$card/IMG_0001.CR2" ] && [ ! -e "$card/IMG_0002.JPG" ] && [ ! -e "$card/MVI_0004.MP4" ]; }
waitfor 30 gone || fail "the marked originals were not moved"
sleep 0.5
import -window root "$shots/e2e-discarded.png"
stop_app

trashed="$(trash-list | awk '{print $3}' | sort)"
expected="$(printf '%s\n' "$card/IMG_0001.CR2" "$card/IMG_0001.JPG" "$card/IMG_0002.JPG" "$card/MVI_0004.MP4" | sort)"
[ "$trashed" = "$expected" ] || fail "the Trash holds: $trashed"
[ "$(ls "$copies" | wc -l)" = 3 ] || fail "copies: $(ls "$copies")"
after="$(cd "$card" && find . -type f -not -path './card_bside/*' | sort | xargs sha256sum)"
untouched="$(echo "$before" | grep -v -e IMG_0001 -e IMG_0002 -e MVI_0004)"
[ "$after" = "$untouched" ] || fail "other files changed: $after"
echo "1 passed, 0 failed"
