#!/usr/bin/env bash
# scripts/check-symbol-versions.sh against small libraries made here that ask for versions on both sides
# of its allow-list: stand-ins for the runtimes, with version nodes of our choosing, and, where the
# linker can pack relative relocations, a library that needs glibc 2.36's GLIBC_ABI_DT_RELR for it.
#   check-symbol-versions-test.sh SCRIPT C++-COMPILER
set -euo pipefail
script=$1 compiler=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# $1: SONAME of a stand-in runtime with one function f<i> in each version node $2...; makes $work/uses.so,
# which calls them all and so needs every node.
uses() {
  local soname=$1 i=0 nodes="" definitions="" calls=""
  shift
  for node in "$@"; do
    i=$((i + 1)) nodes+="$node { global: f$i; };" definitions+="extern \"C\" void f$i() {}"
    calls+="extern \"C\" void f$i(); void g$i() { f$i(); }"$'\n'
  done
  echo "$nodes" >"$work/runtime.map" && echo "$definitions" >"$work/runtime.cpp" && echo "$calls" >"$work/uses.cpp"
  "$compiler" -shared -fPIC -nostdlib -Wl,-soname,"$soname" -Wl,--version-script="$work/runtime.map" \
    "$work/runtime.cpp" -o "$work/runtime.so"
  "$compiler" -shared -fPIC -nostdlib "$work/uses.cpp" "$work/runtime.so" -o "$work/uses.so"
}

# $1: expected status, $2: the lines after the first (nothing when the file passes); FILE.
expect() {
  local output status=0
  output=$(bash "$script" "$3" 2>&1) || status=$?
  output=$(tail -n +2 <<<"$output" | sed 's/^ *//' | sort)
  [ "$status" = "$1" ] && [ "$output" = "$(sort <<<"$2")" ] && return
  printf 'FAIL: status %s, not %s; the lines were, and should be:\n%s\n--\n%s\n' "$status" "$1" "$output" "$2"
  failures=$((failures + 1))
}

uses libc.so.6 GLIBC_2.2.5 GLIBC_2.28 GLIBC_2.29 GLIBC_2.2 GLIBC_PRIVATE GLIBC_ABI_DT_RELR
expect 1 "GLIBC_2.29 of libc.so.6 (above GLIBC_2.28) from: f3
GLIBC_2.2 of libc.so.6 (below GLIBC_2.2.5) from: f4
GLIBC_PRIVATE of libc.so.6 (not among RHEL 8's versions) from: f5
GLIBC_ABI_DT_RELR of libc.so.6 (not among RHEL 8's versions) from: f6" "$work/uses.so"
uses libgcc_s.so.1 GCC_3.0 GCC_7.0.0 GCC_12.0 GCC_2.9
expect 1 "GCC_12.0 of libgcc_s.so.1 (above GCC_7.0.0) from: f3
GCC_2.9 of libgcc_s.so.1 (below GCC_3.0) from: f4" "$work/uses.so"
uses libstdc++.so.6 GLIBCXX_3.4 GLIBCXX_3.4.25 CXXABI_1.3 CXXABI_1.3.11 GLIBCXX_3.4.26 CXXABI_1.3.12 CXXABI_TM_1 FOO_1
expect 1 "GLIBCXX_3.4.26 of libstdc++.so.6 (above GLIBCXX_3.4.25) from: f5
CXXABI_1.3.12 of libstdc++.so.6 (above CXXABI_1.3.11) from: f6
CXXABI_TM_1 of libstdc++.so.6 (not among RHEL 8's versions) from: f7
FOO_1 of libstdc++.so.6 (not among RHEL 8's versions for X86-64) from: f8" "$work/uses.so"
uses libc.so.6 GLIBC_2.17 GLIBC_2.28
expect 0 "" "$work/uses.so"

# The real thing: the linker itself asks for the version, with no symbol (a call into libc gives it a
# version node to hang it on).
printf '#include <cstdio>\nint v;\nint* p[] = {&v, &v, &v};\nvoid f() { std::puts(""); }\n' >"$work/relr.cpp"
if "$compiler" -shared -fPIC -Wl,-z,pack-relative-relocs "$work/relr.cpp" -o "$work/relr.so" 2>/dev/null &&
  readelf -V -W "$work/relr.so" | grep -q GLIBC_ABI_DT_RELR; then
  expect 1 "GLIBC_ABI_DT_RELR of libc.so.6 (not among RHEL 8's versions) from: no symbol, the linker asks for it" \
    "$work/relr.so"
else
  echo "skip: this linker or glibc does not pack relative relocations"
fi
[ "$failures" = 0 ] || exit 1
echo "the symbol audit refuses what it should, and only that"
