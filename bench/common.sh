# Helpers shared by the benchmark scripts.
# best_of N CMD...: runs CMD N times, prints the fastest wall time in seconds.
best_of() {
  local n="$1"; shift
  local best=""
  for _ in $(seq "$n"); do
    local s e t
    s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best="$t"; fi
  done
  printf '%.4f\n' "$best"
}
# best_inner N CMD...: runs CMD N times, prints the fastest of the times it reports itself on stderr as
# "... took SECONDS" (work timed inside the process, without its start).
best_inner() {
  local n="$1"; shift
  for _ in $(seq "$n"); do "$@" 2>&1 >/dev/null | sed -n 's/.* took \([0-9.]*\)$/\1/p'; done | sort -g | head -1
}
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
peak_kib() { /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1; }
