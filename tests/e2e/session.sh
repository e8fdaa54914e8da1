# Sourced by the end-to-end scripts: a private HOME and XDG folders, an Xvfb display of its own, and
# fail/waitfor/copies/busy helpers. Before sourcing, set `tools` (programs to require); after it, "$work" is a
# scratch folder removed on exit, like any path added to cleanup_paths and any process id added to cleanup_pids.
# The server never resets (-noreset), so keyboard settings made with xset last until the app connects.
for tool in Xvfb xdotool import $tools; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work="$(mktemp -d)"; cleanup_paths=("$work"); cleanup_pids=(); app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  for p in "${cleanup_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "${cleanup_paths[@]}"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; ls -laR "${cleanup_paths[@]:1}" 2>/dev/null | head -50 || true; echo "0 passed, 1 failed"; exit 1; }
waitfor() { # seconds, condition...
  local limit=$1; shift
  for _ in $(seq $((limit * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
# The names in $copies_dir (the card's copies), on one line; and a test of them.
copies() { ls "$copies_dir" 2>/dev/null | grep -v '^\.' | tr '\n' ' ' | sed 's/ $//'; }
copies_are() { [ "$(copies)" = "$1" ]; }
# busy [N]: N busy loops (2 unless told), as other programs keep the processor; calm stops them.
busy_pids=()
busy() { for _ in $(seq "${1:-2}"); do (while :; do :; done) & busy_pids+=($!); cleanup_pids+=($!); done; }
calm() { for p in "${busy_pids[@]}"; do kill "$p" 2>/dev/null || true; done; busy_pids=(); }
export HOME="$work/home"
export XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache" XDG_CONFIG_HOME="$HOME/.config"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$shots"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS # no session bus: the app must not leave one behind
# A display of our own. Xvfb picks the number itself (-displayfd): it skips a number whose lock file, socket
# file or abstract socket is taken. The abstract socket is shared by every mount namespace on the machine, so a
# server in another container or chroot can hold a number whose files are not in this /tmp; a client would
# then talk to that server and lose it when it quits. The geometry read back proves the server is ours.
Xvfb -displayfd 3 -screen 0 1280x860x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
cleanup_pids+=($!)
waitfor 20 grep -q '^[0-9]' "$work/display" || fail "no X display could be started: $(tail -3 "$work/xvfb.log")"
display=":$(head -1 "$work/display")"
[ "$(DISPLAY=$display xdotool getdisplaygeometry 2>&1)" = "1280 860" ] \
  || fail "display $display answers, but not as the server started here"
export DISPLAY="$display"
# start_app ARGS...: the app on the display, its window found, sized and focused, given time to list.
start_app() {
  "$app" "$@" >>"$work/app.log" 2>&1 &
  app_pid=$!
  wid="$(timeout 30 xdotool search --sync --onlyvisible --name 'Vorlane$' | head -1)" || fail "no window"
  xdotool windowsize "$wid" 1280 860 windowmove "$wid" 0 0 windowfocus --sync "$wid"
  sleep 2 # the listing and the first thumbnails
}
# stop_app: SIGTERM, as a session ending sends it; with copies unfinished the app asks first, and a second
# SIGTERM quits at once.
stop_app() {
  kill "$app_pid" 2>/dev/null || true
  waitfor 5 bash -c "! kill -0 $app_pid 2>/dev/null" || kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true; app_pid=""
}
