#!/usr/bin/env bash
# The example's table and picture in examples/ (which README shows) are what
# the example makes now; ./dev.sh example writes them anew.
# usage: example_check.sh XLHOST EXAMPLES_DIR
set -euo pipefail
xlhost=$1 examples=$2
command -v gnuplot >/dev/null || { echo "FAIL gnuplot is missing (./dev.sh deps installs it)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$examples/propofol_tci.sh" "$xlhost" "$work" > "$work/stdout"
failures=0
cmp -s "$work/stdout" "$work/propofol_tci.txt" || { echo "FAIL the table printed differs from the one written"; failures=$((failures + 1)); }
for f in propofol_tci.txt propofol_tci.svg; do
  if cmp -s "$work/$f" "$examples/$f"; then
    echo "ok   examples/$f is current"
  else
    echo "FAIL examples/$f differs from what the example makes now (./dev.sh example writes it)"
    diff "$examples/$f" "$work/$f" | head -20 || true
    failures=$((failures + 1))
  fi
done
grep -q '<path' "$work/propofol_tci.svg" || { echo "FAIL the picture draws no curve"; failures=$((failures + 1)); }
echo "$failures failed"
[ "$failures" -eq 0 ]
