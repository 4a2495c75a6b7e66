#!/usr/bin/env bash
# The add-ins' Excel entry points are what the declarations make of them.
# usage: entry_points_check.sh EXCEL_GENERATE GENERATED_DIR
set -euo pipefail
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$1" "$out"
status=0
for f in "$out"/*.cpp; do
  if ! diff -u "$2/$(basename "$f")" "$f" | head -20; then :; fi
  cmp -s "$2/$(basename "$f")" "$f" || status=1
done
[ "$(ls "$2"/*.cpp | wc -l)" = "$(ls "$out"/*.cpp | wc -l)" ] || { echo "files differ in number"; status=1; }
if [ $status -ne 0 ]; then
  echo "the entry points in $2 are out of date: run ./dev.sh generate"
  exit 1
fi
echo "entry points current ($(grep -c '^XLW_EXPORT' "$out"/*.cpp | awk -F: '{ n += $2 } END { print n }') functions)"
