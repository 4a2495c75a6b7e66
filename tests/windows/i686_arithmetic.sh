#!/usr/bin/env bash
# The formulas of the Windows checks through the 64-bit Linux build and the
# 32-bit one made with the 32-bit Windows arithmetic flags: the results must
# agree (to a relative 1e-12, as between Linux and Windows), in both layouts.
# usage: i686_arithmetic.sh XLHOST64 XLHOST32 COMPARE WORK_DIR
set -euo pipefail
x64=$1 x32=$2 compare=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
file "$x32" | grep -q "ELF 32-bit" || { echo "FAIL $x32 is not a 32-bit program"; exit 1; }
failures=0
for version in 16 11; do
  "$x64" --excel-version $version --json - < "$here/formulas.txt" > "$work/x86_64-$version.json"
  "$x32" --excel-version $version --json - < "$here/formulas.txt" > "$work/i686-$version.json"
  if "$compare" "$work/x86_64-$version.json" "$work/i686-$version.json"; then
    echo "ok   32-bit results agree with 64-bit, Excel $version"
  else
    echo "FAIL 32-bit results, Excel $version"; failures=$((failures + 1))
  fi
done
echo "$failures failed"
[ "$failures" -eq 0 ]
