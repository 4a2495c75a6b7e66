#!/usr/bin/env bash
# The 64-bit Windows add-ins, run for real under Wine with the Windows build
# of xlhost: the same formulas as on Linux, and what only Windows shows.
# usage: wine_checks.sh LINUX_XLHOST COMPARE WIN_HOST_DIR DIST64_DIR WORK_DIR
set -euo pipefail
linux_xlhost=$1 compare=$2 host_dir=$3 dist=$4 work=$5
here=$(cd "$(dirname "$0")" && pwd)
wine=/usr/lib/wine/wine64
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all
mkdir -p "$work"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot --init >/dev/null 2>&1 || true
  # Windows without a display: the null graphics driver still has windows.
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # The desktop started with the prefix keeps the old driver: start afresh.
  /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  /usr/lib/wine/wineserver64 -w 2>/dev/null || true
fi
winpath() { echo "Z:${1//\//\\}"; }
xlhost_exe() { "$wine" "$host_dir/xlhost.exe" "$@" 2>/dev/null | tr -d '\r'; }
failures=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}

ambrel=$(winpath "$dist/Ambrel.xll") corvel=$(winpath "$dist/Corvel.xll")
linux_dir=$(dirname "$linux_xlhost")
for version in 16 11; do
  "$linux_xlhost" --excel-version $version --addin "$linux_dir/Ambrel.so" --addin "$linux_dir/Corvel.so" --json - \
    < "$here/formulas.txt" > "$work/linux-$version.json"
  xlhost_exe --excel-version $version --addin "$ambrel" --addin "$corvel" --json - \
    < "$here/formulas.txt" > "$work/windows-$version.json"
  if "$compare" "$work/linux-$version.json" "$work/windows-$version.json"; then
    echo "ok   formulas agree with Linux, Excel $version"
  else
    echo "FAIL formulas, Excel $version"; failures=$((failures + 1))
  fi
done

# Excel's add-in manager lists each add-in by the long name it answers:
# xlAddInManagerInfo12 in the Excel 2007 layout, xlAddInManagerInfo in 97's.
for version in 16 11; do
  names=$(xlhost_exe --excel-version $version --addin "$ambrel" --addin "$corvel" --addin-names | cut -f1 | tr '\n' '|')
  check "add-in manager names, Excel $version" "Ambrel PK/PD tools|Corvel drug models|" "$names"
done

# PATH gains the add-in's directory once (also after a second add-in from elsewhere).
dir=$(winpath "$dist")
path=$(xlhost_exe --addin "$ambrel" --env PATH)
check "PATH ends with the add-in's directory" "$dir" "${path##*;}"
check "PATH holds it once" 1 "$(tr ';' '\n' <<< "$path" | grep -cxF "$dir")"

# The help file beside the add-in, or one directory up.
tree="$work/helptree"
rm -rf "$tree" && mkdir -p "$tree/bin" && cp "$dist/Ambrel.xll" "$tree/bin/"
# The first function's help topic, its JSON escapes undone.
topic() {
  xlhost_exe --addin "$(winpath "$tree/bin/Ambrel.xll")" --list --json | head -1 |
    sed 's/.*"helpTopic": "\([^"]*\)".*/\1/; s/\\\\/\\/g'
}
check "no help file, no topic" "" "$(topic)"
touch "$tree/Ambrel.chm"
check "help file one directory up" "$(winpath "$tree/bin")\\..\\Ambrel.chm!1" "$(topic)"
touch "$tree/bin/Ambrel.chm"
check "help file beside the add-in" "$(winpath "$tree/bin")\\Ambrel.chm!1" "$(topic)"

# A real "bosa_sdm_XL" window: the function wizard, or a find/replace dialog.
check "function wizard answers TRUE" "TRUE" "$(xlhost_exe --addin "$ambrel" --wizard '=BMI(70,175)')"
check "find/replace is not the wizard" "22.857142857142858" "$(xlhost_exe --addin "$ambrel" --find-replace '=BMI(70,175)')"

echo "$failures failed"
[ "$failures" -eq 0 ]
