#!/usr/bin/env bash
# Test lines against source lines: non-blank C++ lines that are not only a // comment, of tests/ over src/.
# We keep tests at a quarter to a third of the source. Usage: bash scripts/test-ratio.sh
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  git ls-files "$1" | grep -E '\.(cpp|h)$' | xargs cat | grep -vE '^\s*(//.*)?$' | wc -l
}
src=$(count src); tests=$(count tests)
awk -v s="$src" -v t="$tests" 'BEGIN { printf "src %d lines, tests %d lines: tests are %.1f %% of the source\n", s, t, 100 * t / s }'
