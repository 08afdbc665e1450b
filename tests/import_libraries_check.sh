#!/usr/bin/env bash
# Both import libraries name the three exports as their toolchains expect:
# the C symbols _RylModuleInit and _RylModuleFinish, the stdcall symbol
# _GetRylObject@20, each with its __imp_ pointer, and every import by the
# DLL's undecorated export name. A host that links against either library
# then loads the DLL without a missing-entry-point error.
set -euo pipefail
mingw=$1
msvc=$2
nm=${LLVM_NM:-llvm-nm-14}
readobj=${LLVM_READOBJ:-llvm-readobj-14}
objdump=${LLVM_OBJDUMP:-llvm-objdump-14}
passed=0
failed=0
check() {
  if eval "$2"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}

for lib in "$mingw" "$msvc"; do
  symbols=$("$nm" "$lib" 2>/dev/null | awk '$2 == "T" || $2 == "I" {print $3}' | sort -u)
  for symbol in _RylModuleInit _RylModuleFinish _GetRylObject@20 \
                __imp__RylModuleInit __imp__RylModuleFinish __imp__GetRylObject@20; do
    check "$(basename "$lib") defines $symbol" "grep -qxF '$symbol' <<<\"\$symbols\""
  done
  check "$(basename "$lib") has no undecorated GetRylObject symbol" \
        "! grep -qxE '_?GetRylObject' <<<\"\$symbols\""
done

# MSVC's short import records: the name type tells the loader's name.
records=$("$readobj" "$msvc")
check "rylutil.lib imports from rylutil.dll" "grep -q 'rylutil.dll' <<<\"\$records\""
name_type() { awk -v s="Symbol: _$1" '/Name type:/ {t=$3} $0 ~ s"$" {print t; exit}' <<<"$records"; }
check "GetRylObject@20 is imported undecorated" "[ \"\$(name_type 'GetRylObject@20')\" = undecorate ]"
check "RylModuleInit is imported without its prefix" "[ \"\$(name_type RylModuleInit)\" = noprefix ]"
check "RylModuleFinish is imported without its prefix" "[ \"\$(name_type RylModuleFinish)\" = noprefix ]"

# mingw's long import objects carry the hint/name string itself.
names=$("$objdump" -s --section='.idata$6' "$mingw" | python3 -c '
import re, sys
for block in re.split(r"Contents of section", sys.stdin.read())[1:]:
    data = bytes.fromhex("".join("".join(m.group(1).split()) for m in re.finditer(r"^ [0-9a-f]{4} ((?:[0-9a-f]{2,8} ?){1,4})", block, re.M)))
    print(data[2:].split(b"\0")[0].decode("ascii", "replace"))
' | sort -u)
for export in GetRylObject RylModuleFinish RylModuleInit; do
  check "librylutil.dll.a imports $export by name" "grep -qx '$export' <<<\"\$names\""
done
check "librylutil.dll.a's members carry no build path" "! \"$nm\" \"$mingw\" 2>&1 | grep -q '^_*tmp_\\|/'"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
