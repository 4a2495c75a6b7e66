#!/usr/bin/env bash
# The Windows add-ins as files: PE32 for i386 or PE32+ for x86-64, exactly the
# exported names of the Linux add-ins (undecorated, also where __stdcall), and
# imports from Windows system DLLs only.
# usage: check_binaries.sh DIST_DIR LINUX_ADDIN_DIR
set -euo pipefail
dist=$1 linux=$2
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
    echo "checked $file: $format, $(wc -l <<< "$exports") exports, imports $imports"
  done
done
echo "$failures failed"
[ "$failures" -eq 0 ]
