#!/usr/bin/env bash
# The real window, with a card and a home that other programs have been at: the shared thumbnail cache holds
# a FIFO and a link to /dev/zero where two photos' thumbnails belong, one photo is a JPEG that repeats its last
# scan thousands of times, a file discarded is followed into the Trash by another file of the same name, and
# a photo whose copy exists is replaced by a new one under its name. Nothing of that may block the window,
# steer the undo or move a photo nobody marked. What happened is read from disk; screenshots are kept.
# Usage: window_evidence_test.sh VORLANE_BINARY SCREENSHOT_DIR
set -euo pipefail
app="$1"; shots="$2"; tools="convert gio trash-list md5sum python3"
source "$(dirname "$0")/session.sh"

card="$work/card"; copies="$card/card_bside"
mkdir -p "$card"
for i in 1 2 3 5; do convert -size 1200x800 plasma:fractal -quality 85 "$card/IMG_000$i.JPG"; done
# The scan bomb: a progressive JPEG whose last scan is repeated 3,000 times.
convert -size 2000x2000 gradient:white-black -interlace JPEG "$work/progressive.jpg"
python3 - "$work/progressive.jpg" "$card/IMG_0004.JPG" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
last, end = data.rfind(b'\xff\xda'), data.rfind(b'\xff\xd9')
open(sys.argv[2], 'wb').write(data[:end] + data[last:end] * 3000 + b'\xff\xd9')
PY
# Another program's "thumbnails" of IMG_0002 and IMG_0003, in every size.
for flavour in normal large x-large xx-large; do
  mkdir -p "$XDG_CACHE_HOME/thumbnails/$flavour"
  for n in 2 3; do
    name="$(printf 'file://%s' "$card/IMG_000$n.JPG" | md5sum | cut -d' ' -f1).png"
    if [ "$n" = 2 ]; then mkfifo "$XDG_CACHE_HOME/thumbnails/$flavour/$name"
    else ln -s /dev/zero "$XDG_CACHE_HOME/thumbnails/$flavour/$name"; fi
  done
done
original="$(sha256sum < "$card/IMG_0001.JPG")"
start_app "$card"
sleep 2
import -window root "$shots/evidence-grid.png"
kill -0 "$app_pid" || fail "the app died on the poisoned cache or the scan bomb"

# 1. Discard IMG_0001; another file of the same name goes to the Trash after it; Ctrl+Z brings back the photo.
xdotool key d
waitfor 60 test -s "$copies/IMG_0001_bside.jpg" || fail "IMG_0001 was not copied"
xdotool key ctrl+BackSpace
waitfor 30 test ! -e "$card/IMG_0001.JPG" || fail "IMG_0001 was not discarded"
echo "a later file under the same name" > "$card/IMG_0001.JPG"
gio trash "$card/IMG_0001.JPG"
xdotool key ctrl+z
waitfor 30 test -e "$card/IMG_0001.JPG" || fail "undo put nothing back"
sleep 1
[ "$(sha256sum < "$card/IMG_0001.JPG")" = "$original" ] || fail "undo put back another file: $(head -c 40 "$card/IMG_0001.JPG")"
[ "$(trash-list | wc -l)" = 1 ] && trash-list | grep -q "$card/IMG_0001.JPG" || fail "the Trash holds: $(trash-list)"
import -window root "$shots/evidence-undone.png"

# 2. IMG_0005 marked, then replaced by a new photo under its name: the copy names the old one, so the new one
# is not marked and a discard leaves it (while it takes IMG_0001, marked again by its own copy).
xdotool key End d
waitfor 60 test -s "$copies/IMG_0005_bside.jpg" || fail "IMG_0005 was not copied"
stop_app
convert -size 1200x800 gradient:green-yellow -quality 85 "$card/IMG_0005.JPG"
replaced="$(sha256sum < "$card/IMG_0005.JPG")"
start_app "$card"
xdotool key ctrl+BackSpace
sleep 3
[ "$(sha256sum < "$card/IMG_0005.JPG")" = "$replaced" ] || fail "the new IMG_0005 was discarded on the old one's copy"
[ ! -e "$card/IMG_0001.JPG" ] || fail "IMG_0001, marked by its own copy, was not discarded"
xdotool key End
sleep 1
import -window root "$shots/evidence-copy-of-another.png"

# 3. Quitting waits for no decode.
xdotool key ctrl+q
waitfor 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "Ctrl+Q did not quit within 10 s"
app_pid=""
echo "1 passed, 0 failed"
