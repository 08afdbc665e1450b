#!/usr/bin/env bash
# The DLL exports exactly its three entry points by undecorated name and
# imports nothing but Windows' own DLLs (the runtime is linked in).
set -euo pipefail
dll=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
dump=$("$objdump" -p "$dll")

exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NR>1 && NF {print $NF}' | sort)
expected=$(printf '%s\n' GetRylObject RylModuleFinish RylModuleInit)
if [ "$exports" != "$expected" ]; then
  echo "unexpected exports:"; printf '%s\n' "$exports"; echo "0 passed, 1 failed"; exit 1
fi

allowed='^(kernel32|ntdll|msvcrt|bcrypt|advapi32|user32|ws2_32|crypt32|shell32|ole32)\.dll$'
bad=0
while read -r name; do
  [ -z "$name" ] && continue
  if ! printf '%s\n' "$name" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
    echo "import from a non-system DLL: $name"; bad=1
  fi
done < <(printf '%s\n' "$dump" | awk '/DLL Name:/ {print $3}')
if [ $bad -ne 0 ]; then echo "1 passed, 1 failed"; exit 1; fi
echo "exports: $(echo $exports); imports: $(printf '%s\n' "$dump" | awk '/DLL Name:/ {printf "%s ", $3}')"
echo "2 passed, 0 failed"
