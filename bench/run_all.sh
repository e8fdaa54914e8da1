#!/usr/bin/env bash
# Runs every side-by-side benchmark against the peer tools: `run_all.sh BUILD`.
set -euo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
for script in "$here"/*_bench.sh; do
  echo "== $(basename "$script")"
  bash "$script" "$build"
done
