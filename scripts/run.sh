#!/usr/bin/env bash
# Starts Vorlane from a build tree: `run.sh BUILD [DIR]`. Until the window exists this lists DIR (or a demo
# folder made on the spot) with the command-line scanner.
set -euo pipefail
build="$1"
dir="${2:-}"
if [ -z "$dir" ]; then
  dir="$(bash "$(dirname "$0")/make-demo.sh")"
  echo "run: no DIR= given; using the demo folder $dir" >&2
fi
if [ -x "$build/src/app/vorlane" ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display; try: xvfb-run -a make run DIR=$dir" >&2
  fi
  exec "$build/src/app/vorlane" "$dir"
fi
exec "$build/src/cli/vorlane-cli" scan "$dir"
