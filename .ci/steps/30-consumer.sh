#!/usr/bin/env bash
# The library taken in by other projects, each way README shows, every program run on the sample
# installation:
# - the shared library installed from a configure that lacks GoogleTest and Google Benchmark (they are
#   left out, saying why), used through its CMake package and through pkg-config, and its tool;
# - the static library (BUILD_SHARED_LIBS=OFF) installed from a configure that also lacks nlohmann-json,
#   used through its CMake package and through pkg-config --static, by C too once korflowid.h is there;
# - the sources taken in with add_subdirectory and with FetchContent from a local path;
# - the test preset, which refuses to leave anything out.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
source=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export KOR_HOME="$PWD/examples/RJGQ.2.1/kor"
expected=$'RJ GQ.2.1\nInstall Id: 20240611-RJ-004711'
check() {  # label, program...: the program prints the flow, release and install id of the sample
  local label=$1 output
  shift
  output=$("$@")
  if [ "$output" != "$expected" ]; then
    printf 'unexpected output from %s (%s):\n%s\n' "$label" "$1" "$output"
    exit 1
  fi
  printf '%-34s %s\n' "$label:" "$(echo "$output" | tr '\n' '|')"
}
expect_in_log() {  # log, text
  grep -qF "$2" "$1" || { cat "$1"; echo "configure did not say: $2"; exit 1; }
}
without() {  # the configure options that hide installed packages from find_package
  local package
  for package in "$@"; do printf -- '-DCMAKE_DISABLE_FIND_PACKAGE_%s=ON\n' "$package"; done
}

# The shared library, from a configure without the tests' and the benchmark's packages.
prefix=$work/prefix
mapfile -t hidden < <(without GTest benchmark)
cmake -S . -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DKORFLOWID_WARNINGS_AS_ERRORS=ON "${hidden[@]}" >"$work/build.log"
expect_in_log "$work/build.log" "the tests left out: GoogleTest not found"
expect_in_log "$work/build.log" "the benchmark left out: Google Benchmark not found"
cmake --build "$work/build" -j2 >>"$work/build.log" || { cat "$work/build.log"; exit 1; }
cmake --install "$work/build" >>"$work/build.log"

library=$(find "$prefix" -name 'libKORFlowID.so.*.*.*')
objdump -p "$library" | grep -q 'SONAME *libKORFlowID\.so\.1$' || { echo "no SONAME libKORFlowID.so.1"; exit 1; }

cmake -S tests/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" >"$work/consumer.log"
cmake --build "$work/consumer" >>"$work/consumer.log" || { cat "$work/consumer.log"; exit 1; }
check "shared, find_package" "$work/consumer/korflowid_consumer"

PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name korflowid.pc)")
export PKG_CONFIG_PATH
libdir=$(pkg-config --variable=libdir korflowid)
# shellcheck disable=SC2046
c++ -std=c++17 tests/consumer/main.cpp $(pkg-config --cflags --libs korflowid) -Wl,-rpath,"$libdir" \
  -o "$work/consumer-pc"
check "shared, pkg-config" "$work/consumer-pc"

# The C interface from a C99 program, with strict flags, against the installed header only: through the
# CMake package and through pkg-config. It asks once by KOR_HOME and once with the home given.
[ -f "$(pkg-config --variable=includedir korflowid)/korflowid.h" ] || { echo "korflowid.h is not installed"; exit 1; }
cpp_expected=$expected
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
cmake -S tests/consumer-c -B "$work/consumer-c" -DCMAKE_PREFIX_PATH="$prefix" >"$work/consumer.log"
cmake --build "$work/consumer-c" >>"$work/consumer.log" || { cat "$work/consumer.log"; exit 1; }
check "shared, C99, find_package" "$work/consumer-c/korflowid_c_consumer"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -pedantic -Werror tests/consumer-c/main.c $(pkg-config --cflags --libs korflowid) \
  -Wl,-rpath,"$libdir" -o "$work/consumer-c-pc"
check "shared, C99, pkg-config" "$work/consumer-c-pc"
expected=$cpp_expected

# The installed tool finds its library without help.
[ "$("$prefix/bin/korflowid" --field release)" = "GQ.2.1" ]

# The static library, from a configure that lacks nlohmann-json as well.
static_prefix=$work/static-prefix
mapfile -t hidden < <(without nlohmann_json)
cmake -S . -B "$work/static" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$static_prefix" \
  -DBUILD_SHARED_LIBS=OFF -DKORFLOWID_WARNINGS_AS_ERRORS=ON "${hidden[@]}" >"$work/static.log"
expect_in_log "$work/static.log" "the tests left out: they need the shared library"
expect_in_log "$work/static.log" "the korflowid tool left out: its --json output needs nlohmann-json 3"
cmake --build "$work/static" -j2 >>"$work/static.log" || { cat "$work/static.log"; exit 1; }
cmake --install "$work/static" >>"$work/static.log"
[ -f "$static_prefix/lib/libKORFlowID.a" ] && [ -z "$(find "$static_prefix" -name '*.so*')" ] ||
  { echo "the static install holds:"; find "$static_prefix" -type f; exit 1; }

cmake -S tests/consumer -B "$work/consumer-static" -DCMAKE_PREFIX_PATH="$static_prefix" >"$work/consumer.log"
cmake --build "$work/consumer-static" >>"$work/consumer.log" || { cat "$work/consumer.log"; exit 1; }
grep -q -- '-DKORFLOWID_STATIC' "$work/consumer-static/CMakeFiles/korflowid_consumer.dir/flags.make" ||
  { echo "the static target passes no KORFLOWID_STATIC"; exit 1; }
static_binary=$work/consumer-static/korflowid_consumer
! objdump -p "$static_binary" | grep -q 'NEEDED.*KORFlowID' || { echo "$static_binary needs a shared KORFlowID"; exit 1; }
check "static, find_package" "$static_binary"

PKG_CONFIG_PATH=$static_prefix/lib/pkgconfig
grep -qx 'Libs.private: -lstdc++' "$PKG_CONFIG_PATH/korflowid.pc" && grep -q 'Cflags:.*-DKORFLOWID_STATIC' \
  "$PKG_CONFIG_PATH/korflowid.pc" || { cat "$PKG_CONFIG_PATH/korflowid.pc"; exit 1; }
# shellcheck disable=SC2046
c++ -std=c++17 tests/consumer/main.cpp $(pkg-config --static --cflags --libs korflowid) -o "$work/consumer-static-pc"
check "static, pkg-config --static" "$work/consumer-static-pc"
if [ -f "$static_prefix/include/korflowid.h" ]; then
  # A C program links with the C compiler: the C++ runtime comes from Libs.private.
  # shellcheck disable=SC2046
  cc -std=c99 -Wall -Wextra -pedantic -Werror tests/consumer/main.c $(pkg-config --static --cflags --libs korflowid) \
    -o "$work/consumer-static-c"
  check "static, C, pkg-config --static" "$work/consumer-static-c"
else
  echo "static, C: no korflowid.h installed, so no C program"
fi
unset PKG_CONFIG_PATH

# The sources taken in: the consumer's configure fails if they define tests, the tool or the benchmark.
for way in subdirectory fetchcontent; do
  cmake -S tests/consumer -B "$work/consumer-$way" -DKORFLOWID_CONSUME=$way -DKORFLOWID_SOURCE_DIR="$source" \
    >"$work/consumer.log" || { cat "$work/consumer.log"; exit 1; }
  cmake --build "$work/consumer-$way" -j2 >>"$work/consumer.log" || { cat "$work/consumer.log"; exit 1; }
  [ -z "$(find "$work/consumer-$way" -name 'korflowid_*tests*' -o -name CTestTestfile.cmake)" ] ||
    { echo "$way built tests"; exit 1; }
  check "$way" "$work/consumer-$way/korflowid_consumer"
done

# The test preset insists on every dependency.
mapfile -t hidden < <(without GTest)
if cmake --preset test -B "$work/preset" "${hidden[@]}" >"$work/preset.log" 2>&1; then
  cat "$work/preset.log"; echo "the test preset configured without GoogleTest"; exit 1
fi
expect_in_log "$work/preset.log" "the tests cannot be built: GoogleTest not found"
echo "test preset without GoogleTest:    fails, as it must"
echo "== consumers: shared and static installs, add_subdirectory and FetchContent all fine ($((SECONDS - started)) s)"
