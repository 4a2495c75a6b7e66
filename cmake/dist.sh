#!/usr/bin/env bash
# Packs the download into OUT_DIR, named by the version:
#   Ambrel-VERSION-windows.zip  one folder Ambrel-VERSION-windows/ holding
#       Excel 64-bit/ and Excel 32-bit/   Ambrel.xll, Corvel.xll, Ambrel.chm, Corvel.chm
#       Examples/                         the example workbooks (.xlsx)
#       QUICKSTART.txt, CHANGELOG.txt     with Windows line ends, for Notepad
#   Ambrel-VERSION.oxt          the LibreOffice extension
# Earlier versions' files in OUT_DIR are removed.
# usage: dist.sh VERSION WIN32_DIR WIN64_DIR HELP_DIR OXT OUT_DIR
set -euo pipefail
[ $# -eq 6 ] || { sed -n '2,10p' "$0" >&2; exit 2; }
version=$1 win32=$2 win64=$3 help=$4 oxt=$5 out=$6
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

missing=0
for f in "$win32/Ambrel.xll" "$win32/Corvel.xll" "$win64/Ambrel.xll" "$win64/Corvel.xll" "$oxt"; do
  [ -f "$f" ] || { echo "dist: $f is missing" >&2; missing=1; }
done
for f in "$help/Ambrel.chm" "$help/Corvel.chm"; do
  [ -f "$f" ] || { echo "dist: $f is missing: the CMake target help_chm makes the help files there" >&2; missing=1; }
done
examples=("$root"/examples/*.xlsx)
[ -f "${examples[0]}" ] || { echo "dist: no example workbooks in $root/examples (./dev.sh workbooks)" >&2; missing=1; }
[ "$missing" -eq 0 ] || exit 1

name=Ambrel-$version-windows
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top="$stage/$name"
mkdir -p "$top/Excel 64-bit" "$top/Excel 32-bit" "$top/Examples"
for pair in "Excel 64-bit:$win64" "Excel 32-bit:$win32"; do
  folder=${pair%%:*} from=${pair#*:}
  cp "$from/Ambrel.xll" "$from/Corvel.xll" "$help/Ambrel.chm" "$help/Corvel.chm" "$top/$folder/"
done
cp "${examples[@]}" "$top/Examples/"
sed "s/@VERSION@/$version/g; s/\$/\r/" "$here/QUICKSTART.txt.in" > "$top/QUICKSTART.txt"
sed 's/$/\r/' "$root/CHANGELOG.md" > "$top/CHANGELOG.txt"

mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/Ambrel-*-windows.zip "$out"/Ambrel-*.oxt
(cd "$stage" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")
cp "$oxt" "$out/Ambrel-$version.oxt"
echo "$out/$name.zip"
echo "$out/Ambrel-$version.oxt"
