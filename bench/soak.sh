#!/usr/bin/env bash
# Soak check (not part of `make test` or `make bench`): `make soak`, or `bench/soak.sh BUILD [PHOTOS] [MARKS]`.
set -euo pipefail
build="$1"
work="${SOAK_DIR:-${TMPDIR:-/tmp}/vorlane-soak}"
mkdir -p "$work"
"$build/bench/vorlane-soak" "$work" "${2:-5000}" "${3:-1000}"
