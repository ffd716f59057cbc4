#!/usr/bin/env bash
# Install into a temporary prefix, then build a C++ program and a C99 program against it, each once
# through the CMake package and once through pkg-config, and run them on the sample installation.
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

# The C interface from a C99 program, with strict flags, against the installed header only: through the
# CMake package and through pkg-config. It asks once by KOR_HOME and once with the home given.
[ -f "$(pkg-config --variable=includedir korflowid)/korflowid.h" ] || { echo "korflowid.h is not installed"; exit 1; }
expected="library 1.1.0, header 1.1.0
flow RJ (1)
release GQ.2.1 (12)
flow code RJ (2 bytes)
Install Id: 20240611-RJ-004711
Exact Access Date: Tue Jun 11 14:32:07 2024
Flow Id: RJ
Full Flow Name: Vantorium Enterprise RJ Design Flow
UPDATE Name: GQ.2.1 Update 2
abbreviated flow name: RJ Design Flow
Install Directory: C:\\Vantorium\\RJGQ.2.1
report 273 bytes
root $KOR_HOME/../ ($((${#KOR_HOME} + 4)) bytes)
the same for the home given"
cmake -S tests/consumer-c -B "$work/consumer-c" -DCMAKE_PREFIX_PATH="$prefix"
cmake --build "$work/consumer-c"
check "$work/consumer-c/korflowid_c_consumer"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -pedantic -Werror tests/consumer-c/main.c $(pkg-config --cflags --libs korflowid) \
  -Wl,-rpath,"$libdir" -o "$work/consumer-c-pc"
check "$work/consumer-c-pc"
"$work/consumer-c-pc"

# The installed tool finds its library without help.
[ "$("$prefix/bin/korflowid" --field release)" = "GQ.2.1" ]
echo "install and consume: CMake package, pkg-config (C++ and C99) and installed tool all fine"
