#!/usr/bin/env bash
# Install into a temporary prefix, then build a program against it once through the CMake package
# and once through pkg-config, and run both on the sample installation.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake -S . -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DKORFLOWID_BUILD_TESTS=OFF -DKORFLOWID_WARNINGS_AS_ERRORS=ON
cmake --build "$work/build" -j2
cmake --install "$work/build"

library=$(find "$prefix" -name 'libKORFlowID.so.*.*.*')
objdump -p "$library" | grep -q 'SONAME *libKORFlowID\.so\.1$' || { echo "no SONAME libKORFlowID.so.1"; exit 1; }

export KOR_HOME="$PWD/examples/RJGQ.2.1/kor"
expected=$'RJ GQ.2.1\nInstall Id: 20240611-RJ-004711'
check() {
  local output
  output=$("$@")
  if [ "$output" != "$expected" ]; then
    printf 'unexpected output from %s:\n%s\n' "$1" "$output"
    exit 1
  fi
}

# CMake package.
cmake -S tests/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix"
cmake --build "$work/consumer"
check "$work/consumer/korflowid_consumer"

# pkg-config.
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name korflowid.pc)")
export PKG_CONFIG_PATH
libdir=$(pkg-config --variable=libdir korflowid)
# shellcheck disable=SC2046
c++ -std=c++17 tests/consumer/main.cpp $(pkg-config --cflags --libs korflowid) -Wl,-rpath,"$libdir" \
  -o "$work/consumer-pc"
check "$work/consumer-pc"

# The installed tool finds its library without help.
[ "$("$prefix/bin/korflowid" --field release)" = "GQ.2.1" ]
echo "install and consume: CMake package, pkg-config and installed tool all fine"
