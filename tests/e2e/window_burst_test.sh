#!/usr/bin/env bash
# A burst in the real window: four frames a quarter of a second apart, one of them sharp, then two other
# scenes (a landscape and a portrait frame). C compares, → moves the candidate, D marks it and moves on, R makes
# it the reference (the candidate stays in the burst), K keeps the reference and marks the rest of its burst,
# Ctrl+Z takes that batch back, Escape closes on the candidate. A photo cut short shows its badge. G collapses the burst to its sharp frame,
# Return opens it in place and G folds it again. What happened is read from disk (which copies exist);
# screenshots are kept.
# Usage: window_burst_test.sh VORLANE_BINARY SCREENSHOT_DIR
set -euo pipefail
app="$1"; shots="$2"; tools="convert exiftool"
source "$(dirname "$0")/session.sh"

card="$work/card"; copies_dir="$card/card_bside"
mkdir -p "$card"
convert -size 480x320 plasma:fractal -resize 1800x1200 "$work/scene.png"
for i in 1 2 3 4; do
  blur=(); [ "$i" != 2 ] && blur=(-gaussian-blur "0x$((i + 1))")
  convert "$work/scene.png" "${blur[@]}" -quality 90 "$card/IMG_000$i.JPG"
  exiftool -q -q -overwrite_original "-DateTimeOriginal=2024:06:01 09:00:00" "-SubSecTimeOriginal=$(( (i - 1) * 250 ))" \
    "$card/IMG_000$i.JPG"
done
convert -size 1800x1200 gradient:navy-gold -quality 90 "$card/IMG_0005.JPG"
convert -size 800x1200 plasma:fractal -quality 90 "$card/IMG_0006.JPG"
exiftool -q -q -overwrite_original "-DateTimeOriginal=2024:06:01 09:10:00" "$card/IMG_0005.JPG"
exiftool -q -q -overwrite_original "-DateTimeOriginal=2024:06:01 09:20:00" "$card/IMG_0006.JPG"
# A photo cut short in the copy, its camera thumbnail whole: the grid shows that thumbnail with the badge
# saying it does not decode.
convert -size 160x120 xc:lime "$work/thumb.jpg"
convert -size 600x400 plasma:fractal -resize 1800x1200 -quality 90 "$card/IMG_0007.JPG"
exiftool -q -q -overwrite_original "-DateTimeOriginal=2024:06:01 09:30:00" "-ThumbnailImage<=$work/thumb.jpg" \
  "$card/IMG_0007.JPG"
truncate -s $(( $(stat -c %s "$card/IMG_0007.JPG") * 3 / 5 )) "$card/IMG_0007.JPG"

start_app "$card"
sleep 3 # the burst's looks and scores, worked out after the first screen
import -window root "$shots/burst-grid.png"

xdotool key c
sleep 1.5
import -window root "$shots/burst-compare.png"
xdotool key Right
sleep 0.5
xdotool key d
waitfor 60 copies_are "IMG_0003_bside.jpg" || fail "D in the compare view did not mark the candidate: $(copies)"
xdotool key r
sleep 0.5
xdotool key z
sleep 2
import -window root "$shots/burst-compare-zoomed.png"
xdotool key z k
waitfor 60 copies_are "IMG_0001_bside.jpg IMG_0002_bside.jpg IMG_0003_bside.jpg" \
  || fail "K did not mark the rest of the burst around the reference: $(copies)"
sleep 0.5
import -window root "$shots/burst-keep-best.png"
xdotool key ctrl+z
waitfor 30 copies_are "IMG_0003_bside.jpg" || fail "Ctrl+Z did not take back the batch K marked: $(copies)"
xdotool key Escape
sleep 0.5
xdotool key d # the candidate, IMG_0001 (after R on the burst's last frame, its first), is selected now
waitfor 60 copies_are "IMG_0001_bside.jpg IMG_0003_bside.jpg" \
  || fail "the candidate left the burst, or closing did not select it: $(copies)"

# A landscape and a portrait frame side by side, both fitted.
xdotool key --delay 200 End Left Left c
sleep 2
import -window root "$shots/burst-compare-portrait.png"
xdotool key Escape
sleep 0.5

# K in the marked view keeps the frame chosen: every frame of the burst marked, only the marked cells shown,
# K on IMG_0002 unmarks it and leaves the others marked; Ctrl+Z marks it again.
xdotool key --delay 200 Home Right d Right d d
waitfor 60 copies_are "IMG_0001_bside.jpg IMG_0002_bside.jpg IMG_0003_bside.jpg IMG_0004_bside.jpg IMG_0005_bside.jpg" \
  || fail "the burst was not marked whole: $(copies)"
xdotool key --delay 200 v v Home Right k
waitfor 30 copies_are "IMG_0001_bside.jpg IMG_0003_bside.jpg IMG_0004_bside.jpg IMG_0005_bside.jpg" \
  || fail "K in the marked view did not keep the frame chosen: $(copies)"
sleep 0.5
import -window root "$shots/burst-keep-in-marked-view.png"
xdotool key ctrl+z
waitfor 60 copies_are "IMG_0001_bside.jpg IMG_0002_bside.jpg IMG_0003_bside.jpg IMG_0004_bside.jpg IMG_0005_bside.jpg" \
  || fail "Ctrl+Z did not mark the kept frame again: $(copies)"
xdotool key v

# Collapsed: the burst is one cell, its sharp frame (D unmarks it); Return shows its frames in place (→ reaches
# IMG_0003); G folds it again onto the sharp frame (D marks it again).
xdotool key --delay 300 Home g
sleep 0.8
import -window root "$shots/burst-collapsed.png"
xdotool key d
waitfor 30 copies_are "IMG_0001_bside.jpg IMG_0003_bside.jpg IMG_0004_bside.jpg IMG_0005_bside.jpg" \
  || fail "G did not collapse the burst onto its sharp frame: $(copies)"
sleep 0.5
import -window root "$shots/burst-collapsed-marked.png"
xdotool key --delay 300 Return Right d
waitfor 30 copies_are "IMG_0001_bside.jpg IMG_0004_bside.jpg IMG_0005_bside.jpg" \
  || fail "Return did not show the burst's frames: $(copies)"
xdotool key --delay 300 g d
waitfor 30 copies_are "IMG_0001_bside.jpg IMG_0002_bside.jpg IMG_0004_bside.jpg IMG_0005_bside.jpg" \
  || fail "G did not fold the open burst again: $(copies)"
sleep 0.5
xdotool key ctrl+q
waitfor 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "Ctrl+Q did not quit"
app_pid=""
echo "1 passed, 0 failed"
