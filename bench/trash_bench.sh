#!/usr/bin/env bash
# Undo of 1,000 discarded files in a Trash crowded with 20,000 entries of other programs.
set -euo pipefail
build="$1"
"$build/bench/trash_bench" "${BENCH_DIR:-${TMPDIR:-/tmp}}/vorlane-bench-trash"
