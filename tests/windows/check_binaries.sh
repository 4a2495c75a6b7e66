#!/usr/bin/env bash
# The Windows add-ins as files: PE32 for i386 or PE32+ for x86-64, exactly the
# exported names of the Linux add-ins (undecorated, also where __stdcall),
# imports from Windows system DLLs only, a version resource with the product's
# name, version and description, and (32-bit) our own arithmetic in SSE2, not
# in the x87 unit.
# usage: check_binaries.sh DIST_DIR LINUX_ADDIN_DIR VERSION
set -euo pipefail
dist=$1 linux=$2 version=$3
failures=0
for arch in win32 win64; do
  if [ $arch = win32 ]; then objdump=i686-w64-mingw32-objdump format=pei-i386; else objdump=x86_64-w64-mingw32-objdump format=pei-x86-64; fi
  for addin in Ambrel Corvel; do
    file="$dist/$arch/$addin.xll"
    dump=$($objdump -p "$file")
    grep -q "file format $format" <<< "$dump" || { echo "FAIL $file is not $format"; failures=$((failures + 1)); }
    exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^\t\[/ {print $NF} on && !/^\t\[/ {on=0}' <<< "$dump" | sort)
    expected=$(nm -D --defined-only "$linux/$addin.so" | awk '{print $3}' | sort)
    if [ "$exports" != "$expected" ]; then
      echo "FAIL $file exports:"; diff <(echo "$expected") <(echo "$exports") || true; failures=$((failures + 1))
    fi
    imports=$(awk '/DLL Name:/ {print toupper($3)}' <<< "$dump" | sort -u | tr '\n' ' ')
    for dll in $imports; do
      case $dll in KERNEL32.DLL|USER32.DLL|MSVCRT.DLL) ;; *) echo "FAIL $file imports $dll"; failures=$((failures + 1)) ;; esac
    done
    # The version resource: its texts are UTF-16 in the .rsrc section.
    case $addin in Ambrel) long="Ambrel PK/PD tools" ;; Corvel) long="Corvel drug models" ;; esac
    bits=${arch#win}
    grep -q ' \.rsrc ' <<< "$($objdump -h "$file")" || { echo "FAIL $file has no resource section"; failures=$((failures + 1)); }
    resource=$(strings -el -n 3 "$file")
    for text in ProductName "$addin" FileVersion "$version" FileDescription "$long (Excel add-in, $bits-bit)" \
                OriginalFilename "$addin.xll"; do
      grep -qxF -- "$text" <<< "$resource" || { echo "FAIL $file: no \"$text\" in its version resource"; failures=$((failures + 1)); }
    done
    if [ $arch = win32 ]; then
      # x87 arithmetic in the functions of our own namespaces (the C runtime's
      # own mathematics may use it; our code must not).
      x87=$($objdump -d --no-show-raw-insn "$file" | awk '
        /^[0-9a-f]+ <.*>:$/ { ours = ($2 ~ /pkcore|drugmodels|sheet|xlw/) }
        ours && $2 ~ /^f(add|sub|subr|mul|div|divr)p?$|^fsqrt$|^fi(add|sub|mul|div)$/ { n++ }
        END { print n + 0 }')
      [ "$x87" -eq 0 ] || { echo "FAIL $file: $x87 x87 arithmetic instructions in our own code"; failures=$((failures + 1)); }
    fi
    echo "checked $file: $format, $(wc -l <<< "$exports") exports, imports $imports, version resource"
  done
done
echo "$failures failed"
[ "$failures" -eq 0 ]
