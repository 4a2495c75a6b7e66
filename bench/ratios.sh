#!/usr/bin/env bash
# The figures of the speed table, judged the way this noisy machine needs:
# every round runs the benchmarks of each build once (builds interleaved), each
# ratio is taken within its round, and the median over the rounds is printed
# with the spread (smallest..largest).
#   bench/ratios.sh [-n ROUNDS] BIN_DIR [BIN_DIR ...]
# BIN_DIR holds pk_bench and xl_bench (build/bin).
set -euo pipefail
rounds=11
if [ "${1:-}" = -n ]; then rounds=$2; shift 2; fi
[ $# -ge 1 ] || { echo "usage: $0 [-n ROUNDS] BIN_DIR [BIN_DIR ...]" >&2; exit 2; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

pk_filter='^BM_(ExpFloor|ExpFloor4|PredCp|PredCe)/varying|^BM_TciCe_PumpLimit'
# One line per benchmark: round, build, name, CPU time in milliseconds.
run() {
  local round=$1 build=$2 bin=$3 filter=$4
  "$bin" --benchmark_filter="$filter" --benchmark_min_time=0.2 --benchmark_format=csv 2>/dev/null |
    awk -F, -v r="$round" -v b="$build" 'NR > 1 && $1 ~ /^"BM_/ {
      gsub(/"/, "", $1); t = $4; u = $5; gsub(/"/, "", u)
      if (u == "ns") t /= 1e6; else if (u == "us") t /= 1e3; else if (u == "s") t *= 1e3
      print r, b, $1, t }'
}
for ((r = 0; r < rounds; r++)); do
  b=0
  for dir in "$@"; do
    run "$r" "$b" "$dir/pk_bench" "$pk_filter"
    run "$r" "$b" "$dir/xl_bench" .
    b=$((b + 1))
  done
done >"$out/times"

# label|numerator/denominator (a ratio) or label|benchmark (a time).
figures=(
  "PredCp, varying steps / 3-exp floor|BM_PredCp/varying:1/BM_ExpFloor/varying:1"
  "PredCe, varying steps / 4-exp floor|BM_PredCe/varying:1/BM_ExpFloor4/varying:1"
  "xlPredCp / core PredCp, constant step|BM_xlPredCp/varying:0/BM_CorePredCp/varying:0"
  "xlPredCp / core PredCp, varying steps|BM_xlPredCp/varying:1/BM_CorePredCp/varying:1"
  "TciCe, 1,048,576 rows, pump limit (ms)|BM_TciCe_PumpLimit"
  "12-hour scheme: xlTciCe, 4,321 rows (ms)|BM_Job12h_TciCe"
  "12-hour scheme: xlPredCp, 4,321 rows (ms)|BM_Job12h_PredCp"
  "12-hour scheme: xlPredCe, 4,321 rows (ms)|BM_Job12h_PredCe"
)
printf '%-44s' "figure ($rounds rounds)"
for dir in "$@"; do printf '%34s' "$dir"; done
printf '\n'
for f in "${figures[@]}"; do
  label=${f%%|*} measure=${f#*|}
  printf '%-44s' "$label"
  for ((b = 0; b < $#; b++)); do
    if [[ $measure == */*/*/* ]]; then
      num=${measure%/*/*} den=${measure#*/*/}
      awk -v b=$b -v n="$num" -v d="$den" '$2 == b && $3 == n { x[$1] = $4 } $2 == b && $3 == d { y[$1] = $4 }
        END { for (r in x) if (r in y && y[r] > 0) print x[r] / y[r] }' "$out/times"
    else
      awk -v b=$b -v n="$measure" '$2 == b && $3 == n { print $4 }' "$out/times"
    fi | sort -g | awk '{ v[NR] = $1 } END {
      if (NR == 0) { printf "%34s", "-"; exit }
      m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%34s", sprintf("%.3g (%.3g..%.3g)", m, v[1], v[NR]) }'
  done
  printf '\n'
done
