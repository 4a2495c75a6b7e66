#!/usr/bin/env bash
# The README's function reference is what the declarations make of it.
# usage: docs_check.sh SHEET_REFERENCE README
set -euo pipefail
generated=$("$1")
written=$(awk '/<!-- functions:end -->/ {on=0} on {print} /<!-- functions:begin -->/ {on=1}' "$2")
if [ "$generated" != "$written" ]; then
  diff <(echo "$written") <(echo "$generated") | head -20
  echo "README's function reference is out of date: run ./dev.sh generate"
  exit 1
fi
echo "function reference current ($(grep -c '^`' <<< "$generated") functions)"
