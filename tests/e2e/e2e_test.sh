#!/usr/bin/env bash
# The real vorlane binary in a real X server, driven by key presses from outside as a person would press
# them: open a folder, move, mark a RAW+JPEG pair, a photo and a video, wait for the copies, discard with
# Ctrl+Backspace, then check on disk that exactly those originals are in the Trash, the copies are in the
# _bside folder and every other file is untouched. Screenshots are kept for a person to look at.
# Usage: e2e_test.sh VORLANE_BINARY SCREENSHOT_DIR
set -euo pipefail
app="$1"
shots="$2"
for tool in Xvfb xdotool convert ffmpeg trash-list import; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
mkdir -p "$shots"
work="$(mktemp -d)"
xvfb_pid=""; app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; ls -laR "$work/card" || true; echo "0 passed, 1 failed"; exit 1; }
waitfor() { # seconds, condition...
  local limit=$1; shift
  for _ in $(seq $((limit * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}

export HOME="$work/home"
export XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache" XDG_CONFIG_HOME="$HOME/.config"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

card="$work/card"
mkdir -p "$card/sub"
convert -size 1600x1067 plasma:fractal -quality 85 "$card/IMG_0001.JPG"
cp "$card/IMG_0001.JPG" "$card/IMG_0001.CR2"
convert -size 1200x800 gradient:orange-purple -quality 85 "$card/IMG_0002.JPG"
convert -size 1200x800 plasma:fractal -quality 85 "$card/IMG_0003.JPG"
convert -size 640x480 plasma:fractal -quality 85 "$card/sub/IMG_0100.JPG"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi -i sine=frequency=440 -t 2 \
  -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest "$card/MVI_0004.MP4"
before="$(cd "$card" && find . -type f | sort | xargs sha256sum)"

display=""
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || fail "no free X display number"
Xvfb "$display" -screen 0 1280x860x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
waitfor 20 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start"

"$app" "$card" >"$work/app.log" 2>&1 &
app_pid=$!
wid="$(timeout 30 xdotool search --sync --onlyvisible --name '^Vorlane$' | head -1)" || fail "no window"
xdotool windowsize "$wid" 1280 860 windowmove "$wid" 0 0 windowfocus --sync "$wid"
sleep 2 # the listing and the first thumbnails

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
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""

trashed="$(trash-list | awk '{print $3}' | sort)"
expected="$(printf '%s\n' "$card/IMG_0001.CR2" "$card/IMG_0001.JPG" "$card/IMG_0002.JPG" "$card/MVI_0004.MP4" | sort)"
[ "$trashed" = "$expected" ] || fail "the Trash holds: $trashed"
[ "$(ls "$copies" | wc -l)" = 3 ] || fail "copies: $(ls "$copies")"
after="$(cd "$card" && find . -type f -not -path './card_bside/*' | sort | xargs sha256sum)"
untouched="$(echo "$before" | grep -v -e IMG_0001 -e IMG_0002 -e MVI_0004)"
[ "$after" = "$untouched" ] || fail "other files changed: $after"
echo "1 passed, 0 failed"
