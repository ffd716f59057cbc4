#!/usr/bin/env bash
# The Linux packages of build/ (README's test command made it): a tarball and a Debian package with
# the listings they must have, and the tarball used where it is unpacked: a program built through its
# pkg-config file and one built through its CMake package both run on the sample installation, and so
# does its tool.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
build=$PWD/build
[ -f "$build/CMakeCache.txt" ] || { echo "no $build: run 'cmake --workflow --preset test' first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
config=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt" | tr '[:upper:]' '[:lower:]')
(cd "$build" && cpack -G "TGZ;DEB" -B "$work/packages" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }

expected="bin/korflowid
include/KORFlow.h
lib/cmake/KORFlowID/KORFlowIDConfig.cmake
lib/cmake/KORFlowID/KORFlowIDConfigVersion.cmake
lib/cmake/KORFlowID/KORFlowIDTargets-$config.cmake
lib/cmake/KORFlowID/KORFlowIDTargets.cmake
lib/libKORFlowID.so
lib/libKORFlowID.so.1
lib/libKORFlowID.so.$version
lib/pkgconfig/korflowid.pc
share/doc/KORFlowID/README.md"
check_listing() {  # name, listing of files relative to the package's prefix
  if [ "$2" != "$expected" ]; then
    echo "$1 holds:"; echo "$2"; echo "expected:"; echo "$expected"
    exit 1
  fi
  echo "$1: $(echo "$2" | wc -l) files as expected"
}

tarball=$work/packages/KORFlowID-$version-Linux.tar.gz
top=KORFlowID-$version-Linux/
check_listing "$(basename "$tarball")" "$(tar -tzf "$tarball" | grep -v '/$' | sed "s|^$top||" | LC_ALL=C sort)"
deb=$work/packages/korflowid_${version}_$(dpkg --print-architecture).deb
check_listing "$(basename "$deb")" \
  "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | LC_ALL=C sort)"

# Unpacked somewhere the build never knew of.
tar -xzf "$tarball" -C "$work"
unpacked=$work/$top
export KOR_HOME="$PWD/examples/RJGQ.2.1/kor"
expected_output=$'RJ GQ.2.1\nInstall Id: 20240611-RJ-004711'
check_run() {
  local output
  output=$("$@")
  [ "$output" = "$expected_output" ] || { printf 'unexpected output from %s:\n%s\n' "$1" "$output"; exit 1; }
}
PKG_CONFIG_PATH=$unpacked/lib/pkgconfig
export PKG_CONFIG_PATH
libdir=$(pkg-config --variable=libdir korflowid)
# shellcheck disable=SC2046
c++ -std=c++17 tests/consumer/main.cpp $(pkg-config --cflags --libs korflowid) -Wl,-rpath,"$libdir" \
  -o "$work/consumer-pc"
check_run "$work/consumer-pc"
cmake -S tests/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$unpacked" >"$work/consumer.log" ||
  { cat "$work/consumer.log"; exit 1; }
cmake --build "$work/consumer" >>"$work/consumer.log" || { cat "$work/consumer.log"; exit 1; }
check_run "$work/consumer/korflowid_consumer"
[ "$("$unpacked/bin/korflowid" --field release)" = "GQ.2.1" ]
echo "== packages: listings fine, the unpacked tarball works through pkg-config and CMake ($((SECONDS - started)) s)"
