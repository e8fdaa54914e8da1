#!/usr/bin/env bash
# The real vorlane binary in a real X server, driven by key presses from outside as a person would press
# them: open a folder, move, mark a RAW+JPEG pair, a photo and a video, wait for the copies, discard with
# Ctrl+Backspace, then check on disk that exactly those originals are in the Trash, the copies are in the
# _bside folder and every other file is untouched. Screenshots are kept for a person to look at.
# Usage: e2e_test.sh VORLANE_BINARY SCREENSHOT_DIR
set -euo pipefail
app="$1"; shots="$2"; tools="convert ffmpeg trash-list"
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
trashed="$(trash-list | awk '{print $3}' | sort)"
expected="$(printf '%s\n' "$card/IMG_0001.CR2" "$card/IMG_0001.JPG" "$card/IMG_0002.JPG" "$card/MVI_0004.MP4" | sort)"
[ "$trashed" = "$expected" ] || fail "the Trash holds: $trashed"
[ "$(ls "$copies" | wc -l)" = 3 ] || fail "copies: $(ls "$copies")"
after="$(cd "$card" && find . -type f -not -path './card_bside/*' | sort | xargs sha256sum)"
untouched="$(echo "$before" | grep -v -e IMG_0001 -e IMG_0002 -e MVI_0004)"
[ "$after" = "$untouched" ] || fail "other files changed: $after"

# Ctrl+Z puts the originals back as they were, and their cells come back marked.
xdotool key ctrl+z
back() { [ "$(cd "$card" && find . -type f -not -path './card_bside/*' | sort | xargs sha256sum)" = "$before" ]; }
waitfor 30 back || fail "undo did not put the originals back"
[ -z "$(trash-list)" ] || fail "the Trash still holds: $(trash-list)"
sleep 1
import -window root "$shots/e2e-undone.png"

# End selects the last cell (the video, marked: D unmarks it and its copy goes), Home the first (the
# folder). A double-click on the second cell opens the preview; Z zooms, I shows the
# shooting information, Escape closes. The context menu of IMG_0003 offers Mark first.
xdotool key End d
waitfor 30 test ! -e "$copies/MVI_0004_bside.mp4" || fail "End did not select the last cell"
xdotool key Home
sleep 0.3
xdotool mousemove 250 160 click --repeat 2 --delay 80 1
sleep 1.5
xdotool key z
sleep 1
import -window root "$shots/e2e-preview-zoomed.png"
xdotool key i
sleep 1
import -window root "$shots/e2e-preview-info.png"
xdotool key i Escape
sleep 0.5
xdotool mousemove 633 160 click 3
sleep 0.7
import -window root "$shots/e2e-context-menu.png"
xdotool key Down Return
waitfor 60 test -s "$copies/IMG_0003_bside.jpg" || fail "the context menu's 标记 did not mark IMG_0003.JPG"

# Ctrl+Q quits.
title="$(xdotool getwindowname "$wid")"
[ "$title" = "card — Vorlane" ] || fail "the window title is: $title"
xdotool key ctrl+q
waitfor 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "Ctrl+Q did not quit"
app_pid=""
echo "1 passed, 0 failed"
