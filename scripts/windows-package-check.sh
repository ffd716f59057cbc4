#!/usr/bin/env bash
# The Windows package: `cpack -G ZIP` in a Windows build folder (or the release's ZIP that
# KORFLOWID_WINDOWS_ZIP names), its listing, the DLL in it (stripped,
# at most 256 KB, importing only KERNEL32 and the C runtime), and the unpacked tree in use: a MinGW
# program built through the CMake package and an MSVC-built one linked against KORFlowID.lib alone,
# both run under Wine on the sample installation.
# Runs inside the Wine session of scripts/windows-test.sh --package, which sets KORFLOWID_WINE64.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
wine64=${KORFLOWID_WINE64:?run it through scripts/windows-test.sh --package}
work=$(mktemp -d "${TMPDIR:-/tmp}/korflowid-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "windows package: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
config=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt" | tr '[:upper:]' '[:lower:]')
if [ -n "${KORFLOWID_WINDOWS_ZIP:-}" ]; then
  # A release's ZIP (scripts/release.sh), built in Release.
  zip=$KORFLOWID_WINDOWS_ZIP
  config=release
else
  (cd "$build" && cpack -G ZIP -B "$work/packages" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
  zip=$work/packages/KORFlowID-$version-win64.zip
fi
[ -f "$zip" ] || fail "no $(basename "$zip")"

expected="bin/KORFlowID.dll
bin/korflowid.exe
include/KORFlow.h
include/korflowid.h
lib/KORFlowID.lib
lib/cmake/KORFlowID/KORFlowIDConfig.cmake
lib/cmake/KORFlowID/KORFlowIDConfigVersion.cmake
lib/cmake/KORFlowID/KORFlowIDTargets-$config.cmake
lib/cmake/KORFlowID/KORFlowIDTargets.cmake
lib/libKORFlowID.dll.a
lib/pkgconfig/korflowid.pc
share/doc/KORFlowID/CHANGELOG.md
share/doc/KORFlowID/README.md
$(for page in docs/*.md; do echo "share/doc/KORFlowID/$page"; done)"
expected=$(echo "$expected" | LC_ALL=C sort)
top=KORFlowID-$version-win64/
listing=$(cmake -E tar tf "$zip" | grep -v '/$' | sed "s|^$top||" | LC_ALL=C sort)
[ "$listing" = "$expected" ] || fail "$(basename "$zip") holds:"$'\n'"$listing"$'\n'"expected:"$'\n'"$expected"
echo "$(basename "$zip"): $(echo "$listing" | wc -l) files as expected"

(cd "$work" && cmake -E tar xf "$zip")
unpacked=$work/$top
dll=$unpacked/bin/KORFlowID.dll
size=$(stat -c %s "$dll")
imports=$(x86_64-w64-mingw32-objdump -p "$dll" | sed -n 's/^\tDLL Name: //p' | LC_ALL=C sort | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll msvcrt.dll " ] || fail "KORFlowID.dll imports $imports"
! x86_64-w64-mingw32-objdump -h "$dll" | grep -q '\.debug_' || fail "KORFlowID.dll is not stripped"
[ "$size" -le 262144 ] || fail "KORFlowID.dll has $size bytes"
echo "KORFlowID.dll in the package: $size bytes, imports $imports"

home=$(printf 'Z:%s' "$PWD/examples/RJGQ.2.1/kor" | tr '/' '\\')
run() { KOR_HOME=$home "$wine64" "$@" </dev/null 2>"$work/wine.log" | tr -d '\r'; }

# A MinGW program through the CMake package. The toolchain confines package searches to MinGW's root,
# so the package is named by its folder.
cmake -S tests/consumer -B "$work/mingw" --toolchain "$PWD/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DKORFlowID_DIR="$unpacked/lib/cmake/KORFlowID" >"$work/mingw.log" 2>&1 ||
  { cat "$work/mingw.log"; fail "MinGW consumer configure"; }
cmake --build "$work/mingw" >>"$work/mingw.log" 2>&1 || { cat "$work/mingw.log"; fail "MinGW consumer build"; }
cp "$dll" "$work/mingw/bin/"
output=$(run "$work/mingw/bin/korflowid_consumer.exe") || fail "MinGW consumer failed: $(cat "$work/wine.log")"
[ "$output" = $'RJ GQ.2.1\nInstall Id: 20240611-RJ-004711' ] || fail "MinGW consumer printed:"$'\n'"$output"

# An MSVC-built program from the package's header and KORFlowID.lib.
mkdir -p "$work/msvc"
clang++ --target=x86_64-pc-windows-msvc -ffreestanding -fno-exceptions -std=c++17 -O2 -I"$unpacked/include" \
  -c tests/windows/MsvcClient.cpp -o "$work/msvc/client.obj"
lld-link /nologo /entry:mainCRTStartup /subsystem:console /out:"$work/msvc/client.exe" "$work/msvc/client.obj" \
  "$unpacked/lib/KORFlowID.lib" /usr/x86_64-w64-mingw32/lib/libmsvcrt.a /usr/x86_64-w64-mingw32/lib/libkernel32.a
cp "$dll" "$work/msvc/"
output=$(run "$work/msvc/client.exe") || fail "MSVC-built client failed: $(cat "$work/wine.log")"
expected_output=$(cat "$build/tests/windows/MsvcClientExpected.txt")
[ "$output" = "$expected_output" ] || fail "MSVC-built client printed:"$'\n'"$output"
echo "windows package: MinGW (CMake package) and MSVC-built (KORFlowID.lib) programs run from the unpacked ZIP"
