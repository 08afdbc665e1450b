#!/usr/bin/env bash
# The installed SDK holds what a customer needs and nothing of the test
# run's; the package gives each toolchain its own import library.
set -euo pipefail
prefix=$1
mingw_target=$2
msvc_target=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
passed=0
failed=0
check() {
  if eval "$2"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}

for file in bin/rylutil.dll bin/rylcli.exe lib/rylutil.lib lib/librylutil.dll.a include/ryl/ryl.h \
            include/ryl/version.h lib/cmake/rylutil/rylutilConfig.cmake \
            lib/cmake/rylutil/rylutilConfigVersion.cmake share/doc/rylutil/README.md share/doc/rylutil/guide.md; do
  check "$file is installed" "[ -s '$prefix/$file' ]"
done
check "bin holds only the DLL and rylcli" "[ \"\$(ls '$prefix/bin' | sort | tr '\n' ' ')\" = 'rylcli.exe rylutil.dll ' ]"
check "every public header is installed" \
      "diff <(ls '$root/include/ryl') <(ls '$prefix/include/ryl') >/dev/null"
check "no build scripts among the documents" \
      "[ -z \"\$(find '$prefix/share/doc/rylutil' -name CMakeLists.txt -o -name '*.py' -o -name '__pycache__')\" ]"

version=$(sed -n 's/^#define RYL_SDK_VERSION_STRING "\(.*\)"$/\1/p' "$root/include/ryl/version.h")
for target in "$mingw_target" "$msvc_target"; do
  check "$(basename "$(dirname "$target")") found version $version" "grep -qx 'version: $version' '$target'"
  check "$(basename "$(dirname "$target")") uses the installed DLL" \
        "grep -qx 'dll: $prefix/bin/rylutil.dll' '$target'"
  check "$(basename "$(dirname "$target")") includes the installed headers" \
        "grep -qx 'include: $prefix/include' '$target'"
done
check "mingw links librylutil.dll.a" "grep -qx 'import library: $prefix/lib/librylutil.dll.a' '$mingw_target'"
check "the MSVC target links rylutil.lib" "grep -qx 'import library: $prefix/lib/rylutil.lib' '$msvc_target'"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
