#!/usr/bin/env bash
# The real vorlane window in a real X server, driven from outside as a person drives it, for what only the
# real window shows: keys held for seconds with the server's auto-repeat on while the processor is busy act
# once; keys pressed while the menu or the folder dialog is open never reach the grid; a discard onto a
# volume without a Trash keeps the cells and says why; a photo opened with the app selects its cell.
# What happened is read from disk (which copies exist, which originals moved). Screenshots are kept.
# Usage: window_trust_test.sh VORLANE_BINARY SCREENSHOT_DIR
set -euo pipefail
app="$1"; shots="$2"; tools="xset convert"
# The card lives on a tmpfs: GIO keeps no Trash there, as on a volume without a .Trash folder.
[ -d /dev/shm ] && [ -w /dev/shm ] || { echo "SKIP: no writable /dev/shm"; exit 77; }
source "$(dirname "$0")/session.sh"
card="$(mktemp -d /dev/shm/vorlane-card.XXXXXX)"; cleanup_paths+=("$card")
copies_dir="$card/$(basename "$card")_bside"

for i in $(seq -w 1 12); do convert -size 900x600 plasma:fractal -quality 80 "$card/IMG_00$i.JPG"; done
xset r on
xset r rate 200 30
start_app "$card"

# 1. Keys while the Photos menu is open belong to the menu; while the folder dialog is open, to the dialog. The
# keys are typed once the menu or the dialog is on screen (a loaded machine may take seconds to show it): a key
# typed before lands in the window under it, as it should.
windows() { xdotool search --onlyvisible --class vorlane 2>/dev/null | wc -l; }
more_windows_than() { [ "$(windows)" -gt "$1" ]; }
shown="$(windows)"
xdotool mousemove 24 12 click 1
waitfor 20 more_windows_than "$shown" || fail "the Photos menu did not open"
sleep 0.3
import -window root "$shots/trust-menu-open.png"
xdotool key --delay 150 d Right space BackSpace
xdotool key Escape
sleep 0.5
xdotool windowfocus --sync "$wid"
shown="$(windows)"
xdotool key ctrl+o
waitfor 20 more_windows_than "$shown" || fail "the folder dialog did not open"
sleep 1
import -window root "$shots/trust-dialog-open.png"
xdotool key --delay 150 Right Down space d
xdotool key Escape
sleep 1
xdotool windowfocus --sync "$wid"
sleep 0.5
[ -z "$(copies)" ] || fail "a key pressed in the menu or the dialog marked a cell: $(copies)"

# 2. D held for three seconds, then → held for three seconds, with auto-repeat on and the processor busy:
# one mark and one step; the held arrow skims to the last of the twelve cells and stops there, where D marks.
busy 4
xdotool keydown d; sleep 3; xdotool keyup d
sleep 0.5
xdotool keydown Right; sleep 3; xdotool keyup Right
sleep 0.5
xdotool key d
calm
waitfor 60 copies_are "IMG_0001_bside.jpg IMG_0012_bside.jpg" || fail "held D acted more than once, or → did not skim: $(copies)"
sleep 1
import -window root "$shots/trust-held-keys.png"

# 3. The preview stepped quickly: each frame names the photo it shows (looked at in the screenshots).
xdotool key space
sleep 1
for n in 1 2 3; do xdotool key Right; sleep 0.05; import -window root "$shots/trust-preview-step-$n.png"; done
xdotool key space
sleep 0.5

# 4. A discard onto a volume without a Trash: nothing moves, the cells stay marked, the message says why.
xdotool key ctrl+BackSpace
sleep 1
import -window root "$shots/trust-discard-refused.png"
[ -e "$card/IMG_0001.JPG" ] && [ -e "$card/IMG_0012.JPG" ] || fail "an original left a volume without a Trash"
[ "$(copies)" = "IMG_0001_bside.jpg IMG_0012_bside.jpg" ] || fail "copies changed: $(copies)"
stop_app

# 5. A photo opened with the app opens its folder with its cell selected: D marks that photo.
start_app "$card/IMG_0007.JPG"
xdotool key d
waitfor 30 test -s "$copies_dir/IMG_0007_bside.jpg" || fail "opening a photo did not select it: $(copies)"
stop_app
echo "1 passed, 0 failed"
