#!/usr/bin/env bash
# The 4,321-row TCI sheet through xlhost: 12 hours of effect-site TCI in
# 10-second rows (propofol, Schnider model, 40 years, 70 kg, 170 cm, male),
# then the plasma and effect-site concentrations of those rates, as a sheet
# would compute them: one xlhost run with the sheet and three formulas.
#
# Each XLHOST given is timed in turn, round after round (so that the
# machine's drift touches all alike), together with xlhost's start-up alone
# (=BMI(70,175)); printed: median, quartiles and range of each, and each
# median as a ratio to the first job's.
# usage: tci_sheet_job.sh [-n ROUNDS] XLHOST [XLHOST ...]
set -euo pipefail
rounds=31
if [ "${1:-}" = -n ]; then rounds=$2; shift 2; fi
[ $# -ge 1 ] || { echo "usage: $0 [-n ROUNDS] XLHOST [XLHOST ...]" >&2; exit 2; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
rows=4321
# Time step (min), target (ug/mL), bolus (mg): row 1 is time 0.
awk -v n=$rows 'BEGIN { print "0,0,0"; for (i = 2; i <= n; i++) print "0.16666666666666666,3,0" }' > "$dir/tci.csv"
model='0.22723990546024994,0.006453030149091226,0.0004991018613848807,0.9826635716619452,0.03995188715635417,0.0022928094887841866'
ke0=0.456
rate="TciCe(A1:A$rows,B1:B$rows,200,$model,$ke0)"
{
  echo "=$rate"
  echo "=PredCp(A1:A$rows,$rate,C1:C$rows,$model)"
  echo "=PredCe(A1:A$rows,$rate,C1:C$rows,$model,$ke0)"
} > "$dir/formulas.txt"
for x in "$@"; do
  lines=$("$x" --sheet "$dir/tci.csv" - < "$dir/formulas.txt" | wc -l)
  [ "$lines" -eq $((3 * rows)) ] || { echo "$x printed $lines lines, not $((3 * rows))" >&2; exit 1; }
done

now() { date +%s%N; }
for ((r = 0; r < rounds; r++)); do
  k=0
  for x in "$@"; do
    t=$(now); "$x" --sheet "$dir/tci.csv" - < "$dir/formulas.txt" > /dev/null; echo "job$k $(( $(now) - t ))"
    t=$(now); "$x" '=BMI(70,175)' > /dev/null; echo "start$k $(( $(now) - t ))"
    k=$((k + 1))
  done
done > "$dir/times"

k=0
for x in "$@"; do
  for what in job start; do
    awk -v key="$what$k" '$1 == key { print $2 / 1e6 }' "$dir/times" | sort -g > "$dir/sorted"
    awk -v label="$what" -v x="$x" '{ t[NR] = $1 } END {
      m = t[int((NR + 1) / 2)]; printf "%-5s median %6.1f ms  quartiles %6.1f..%6.1f  range %6.1f..%6.1f  (%d runs)  %s\n",
        label, m, t[int((NR + 3) / 4)], t[int((3 * NR + 1) / 4)], t[1], t[NR], NR, x }' "$dir/sorted"
    awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }' "$dir/sorted" > "$dir/median-$what$k"
  done
  k=$((k + 1))
done
if [ $# -gt 1 ]; then
  for ((k = 1; k < $#; k++)); do
    awk -v a="$(cat "$dir/median-job0")" -v b="$(cat "$dir/median-job$k")" -v k=$k \
      'BEGIN { printf "job median of xlhost %d / xlhost 0: %.3f\n", k, b / a }'
  done
fi
