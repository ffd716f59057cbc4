#!/usr/bin/env bash
# The Windows library alone in two builds a user may choose: a Debug build with a postfix, whose DLL,
# KORFlowIDd.lib and libKORFlowIDd.dll.a must all name KORFlowIDd.dll (a client of either import library
# imports from that file; its version resource gives it as the original file name), a static library
# (BUILD_SHARED_LIBS=OFF) whose consumer calls it without import decorations, and a build on a machine
# without clang and llvm-dlltool, which warns and still gives the DLL with its GCC names.
# Usage: scripts/windows-build-variants.sh [work dir]   (default: a temporary one, removed at the end)
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
if [ $# -gt 0 ]; then
  work=$1
  mkdir -p "$work"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/korflowid-variants.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
fail() { echo "windows build variants: $*" >&2; exit 1; }
library_only=(--toolchain "$source/cmake/mingw-w64.cmake" -DKORFLOWID_BUILD_TESTS=OFF -DKORFLOWID_BUILD_TOOLS=OFF
              -DKORFLOWID_BUILD_BENCH=OFF -DKORFLOWID_WARNINGS_AS_ERRORS=ON)
imports_of() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p' | LC_ALL=C sort | tr '\n' ' '; }

# Debug with a postfix.
build=$work/postfix
cmake -S . -B "$build" "${library_only[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_DEBUG_POSTFIX=d >"$work/postfix.log" ||
  { cat "$work/postfix.log"; fail "postfix configure"; }
cmake --build "$build" -j2 >>"$work/postfix.log" || { cat "$work/postfix.log"; fail "postfix build"; }
dll=$build/bin/KORFlowIDd.dll
[ -f "$dll" ] || fail "no KORFlowIDd.dll in $build/bin"
# The version resource names the file built: its strings are UTF-16, each value right after its key.
original=$(strings -el "$dll" | grep -x -A1 OriginalFilename | tail -n 1)
[ "$original" = KORFlowIDd.dll ] || fail "the version resource of KORFlowIDd.dll names '$original'"
echo "KORFlowIDd.dll's version resource names $original"
cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DDLL="$dll" -DMSVC_DEF="$build/KORBuildVersion/KORFlowID-msvc.def" \
  -P tests/CheckDllExports.cmake
# A MinGW client through libKORFlowIDd.dll.a, an MSVC-built one through KORFlowIDd.lib.
x86_64-w64-mingw32-g++-posix -std=c++17 -static -IKORBuildVersion/include tests/consumer/main.cpp \
  "$build/KORBuildVersion/libKORFlowIDd.dll.a" -o "$work/mingw-client.exe"
clang++ --target=x86_64-pc-windows-msvc -ffreestanding -fno-exceptions -std=c++17 -IKORBuildVersion/include \
  -c tests/windows/MsvcClient.cpp -o "$work/msvc-client.obj"
lld-link /nologo /entry:mainCRTStartup /subsystem:console /out:"$work/msvc-client.exe" "$work/msvc-client.obj" \
  "$build/KORBuildVersion/KORFlowIDd.lib" /usr/x86_64-w64-mingw32/lib/libmsvcrt.a \
  /usr/x86_64-w64-mingw32/lib/libkernel32.a
for client in mingw-client msvc-client; do
  imports=$(imports_of "$work/$client.exe")
  [[ " $imports" == *" KORFlowIDd.dll "* && " $imports" != *" KORFlowID.dll "* ]] ||
    fail "$client.exe imports $imports"
  echo "$client.exe imports $imports"
done

# Static (BUILD_SHARED_LIBS=OFF): the archive and its CMake package, and a MinGW program through that package
# that compiles the header without import decorations, imports no KORFlowID DLL and runs under Wine.
build=$work/static
prefix=$work/static-prefix
cmake -S . -B "$build" "${library_only[@]}" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
  -DCMAKE_INSTALL_PREFIX="$prefix" >"$work/static.log" || { cat "$work/static.log"; fail "static configure"; }
cmake --build "$build" -j2 >>"$work/static.log" || { cat "$work/static.log"; fail "static build"; }
cmake --install "$build" >>"$work/static.log" || { cat "$work/static.log"; fail "static install"; }
[ -f "$prefix/lib/libKORFlowID.a" ] && [ -z "$(find "$prefix" -iname '*.dll*')" ] ||
  fail "the static install holds: $(find "$prefix" -type f)"
cmake -S tests/consumer -B "$work/static-consumer" --toolchain "$source/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DKORFlowID_DIR="$prefix/lib/cmake/KORFlowID" >"$work/static-consumer.log" 2>&1 ||
  { cat "$work/static-consumer.log"; fail "static consumer configure"; }
cmake --build "$work/static-consumer" >>"$work/static-consumer.log" 2>&1 ||
  { cat "$work/static-consumer.log"; fail "static consumer build"; }
consumer=$work/static-consumer/bin/korflowid_consumer.exe
imports=$(imports_of "$consumer")
[[ " $imports" != *KORFlowID* ]] || fail "the static consumer imports $imports"
echo "static consumer imports $imports"
wine64=/usr/lib/wine/wine64
if [ -x "$wine64" ]; then
  # A private prefix, as scripts/windows-test.sh keeps one, booted with its streams detached: Wine's helper
  # processes inherit the streams that start them.
  (
    export WINEPREFIX=$work/wine/prefix HOME=$work/wine/home WINESERVER=/usr/lib/wine/wineserver64
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml=" WINEDEBUG=-all LANG=C.UTF-8
    unset DISPLAY WAYLAND_DISPLAY LC_ALL LC_CTYPE
    mkdir -p "$WINEPREFIX" "$HOME"
    trap '"$WINESERVER" -k >/dev/null 2>&1 || true; "$WINESERVER" -w >/dev/null 2>&1 || true' EXIT
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$wine64" wineboot </dev/null >/dev/null 2>&1
    KOR_HOME=$(printf 'Z:%s' "$source/examples/RJGQ.2.1/kor" | tr '/' '\\') "$wine64" "$consumer" </dev/null \
      >"$work/static-consumer.out" 2>"$work/static-consumer.err"
  ) || fail "the static consumer failed under Wine: $(cat "$work/static-consumer.err")"
  output=$(tr -d '\r' <"$work/static-consumer.out")
  [ "$output" = $'RJ GQ.2.1\nInstall Id: 20240611-RJ-004711' ] || fail "the static consumer printed: $output"
  echo "static consumer under Wine: $(echo "$output" | tr '\n' '|')"
else
  echo "static consumer not run: no wine64"
fi

# No clang and no llvm-dlltool: a PATH without them, and no search beyond it.
bin=$work/bin-without-clang
mkdir -p "$bin"
for tool in /usr/bin/*; do
  case ${tool##*/} in clang* | llvm-dlltool*) ;; *) ln -sf "$tool" "$bin/" ;; esac
done
build=$work/without-clang
PATH=$bin cmake -S . -B "$build" "${library_only[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF >"$work/without-clang.log" 2>&1 ||
  { cat "$work/without-clang.log"; fail "configure without clang"; }
grep -q 'No clang or llvm-dlltool' "$work/without-clang.log" || { cat "$work/without-clang.log"; fail "no warning"; }
PATH=$bin cmake --build "$build" -j2 >>"$work/without-clang.log" 2>&1 ||
  { cat "$work/without-clang.log"; fail "build without clang"; }
! find "$build" -name '*.lib' | grep -q . || fail "an MSVC import library without llvm-dlltool"
cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DDLL="$build/bin/KORFlowID.dll" -P tests/CheckDllExports.cmake
echo "windows build variants: postfix names follow the file; the static library's consumer needs no DLL;" \
  "without clang the DLL has its GCC names only"
