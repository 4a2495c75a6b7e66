#!/usr/bin/env bash
# Speed of two builds of a benchmark binary, judged the way this noisy machine
# needs: repetitions interleaved (A, B, A, B, ...), the median of each, its
# spread, and the ratio of the medians.
#   bench/compare.sh BEFORE AFTER FILTER [ROUNDS]
# BEFORE and AFTER are pk_bench (or xl_bench) binaries, FILTER a benchmark
# regular expression; each round runs every matching benchmark once per binary.
set -euo pipefail
before=$1 after=$2 filter=$3 rounds=${4:-15}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for ((r = 0; r < rounds; r++)); do
  for side in before after; do
    bin=${!side}
    "$bin" --benchmark_filter="$filter" --benchmark_min_time=0.2 --benchmark_format=csv 2>/dev/null |
      awk -F, -v side="$side" 'NR > 1 && $1 ~ /^"BM_/ { gsub(/"/, "", $1); print side, $1, $4 }' >>"$out/times"
  done
done
# name, then per side: median, min, max of CPU time per iteration (the unit the benchmark reports).
printf '%-28s %12s %22s %12s %22s %8s\n' benchmark before '(min..max)' after '(min..max)' ratio
for name in $(awk '{ print $2 }' "$out/times" | sort -u); do
  stats() {
    awk -v side="$1" -v name="$name" '$1 == side && $2 == name { print $3 }' "$out/times" | sort -g |
      awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.4g %.4g %.4g", m, v[1], v[NR] }'
  }
  read -r bm bl bh <<<"$(stats before)"
  read -r am al ah <<<"$(stats after)"
  awk -v n="$name" -v bm="$bm" -v bl="$bl" -v bh="$bh" -v am="$am" -v al="$al" -v ah="$ah" \
    'BEGIN { printf "%-28s %12s %22s %12s %22s %8.2f\n", n, bm, "(" bl ".." bh ")", am, "(" al ".." ah ")", bm / am }'
done
