#!/usr/bin/env bash
# The model's responsiveness while copies run: a scripted session of 50 marks over 200 camera-size photos.
set -euo pipefail
build="$1"
work="${BENCH_DIR:-${TMPDIR:-/tmp}/vorlane-bench-model}"
mkdir -p "$work"
"$build/bench/model_stall_bench" "$work"
if command -v trash-list >/dev/null; then
  echo "trash-list sees $(HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" trash-list | wc -l) entries"
fi
