#!/usr/bin/env bash
# scripts/check-symbol-versions.sh against small libraries made here that ask for versions on both sides
# of its allow-list: stand-ins for the runtimes whose version nodes are chosen, and, where the linker
# can, a library with packed relative relocations, which needs glibc 2.36's GLIBC_ABI_DT_RELR.
#   check-symbol-versions-test.sh SCRIPT C++-COMPILER
set -euo pipefail
script=$1 compiler=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# $1: what; $2: expected status; $3: lines the output must hold (one a line), $4: lines it must not; FILE...
expect() {
  local what=$1 status=$2 wanted=$3 unwanted=$4 output actual=0 line
  shift 4
  output=$("$script" "$@" 2>&1) || actual=$?
  local bad=()
  [ "$actual" = "$status" ] || bad+=("status $actual, not $status")
  while IFS= read -r line; do
    [ -z "$line" ] || grep -qF -- "$line" <<<"$output" || bad+=("missing: $line")
  done <<<"$wanted"
  while IFS= read -r line; do
    [ -z "$line" ] || ! grep -qF -- "$line" <<<"$output" || bad+=("unexpected: $line")
  done <<<"$unwanted"
  if [ ${#bad[@]} -eq 0 ]; then
    echo "ok   $what"
  else
    echo "FAIL $what"; printf '       %s\n' "${bad[@]}"; printf '       | %s\n' "$output"
    failures=$((failures + 1))
  fi
}

# A stand-in for a runtime: SONAME $1, one function in each version node $2...; then a library that
# calls them all, so that it needs each node of that SONAME.
stand_in() {
  local soname=$1 name=$2
  shift 2
  local script_text="" calls="" declarations="" definitions="" i=0
  for node in "$@"; do
    i=$((i + 1))
    script_text+="$node { global: f$i; };"$'\n'
    definitions+="extern \"C\" void f$i() {}"$'\n'
    declarations+="extern \"C\" void f$i();"$'\n'
    calls+="f$i();"
  done
  printf '%s' "$script_text" >"$work/$name.map"
  printf '%s' "$definitions" >"$work/$name-runtime.cpp"
  "$compiler" -shared -fPIC -Wl,-soname,"$soname" -Wl,--version-script="$work/$name.map" -nostdlib \
    "$work/$name-runtime.cpp" -o "$work/$name-runtime.so"
  printf '%s\nextern "C" void use() { %s }\n' "$declarations" "$calls" >"$work/$name.cpp"
  "$compiler" -shared -fPIC -nostdlib "$work/$name.cpp" "$work/$name-runtime.so" -o "$work/$name.so"
}

stand_in libc.so.6 glibc GLIBC_2.2.5 GLIBC_2.28 GLIBC_2.29 GLIBC_2.2 GLIBC_PRIVATE GLIBC_ABI_DT_RELR
expect "glibc: 2.2.5 to 2.28 only, and no name without a number" 1 \
  "GLIBC_2.29 of libc.so.6 (above GLIBC_2.28) from: f3
GLIBC_2.2 of libc.so.6 (below GLIBC_2.2.5) from: f4
GLIBC_PRIVATE of libc.so.6 (not among RHEL 8's versions) from: f5
GLIBC_ABI_DT_RELR of libc.so.6 (not among RHEL 8's versions) from: f6" \
  "GLIBC_2.2.5 of
GLIBC_2.28 of" "$work/glibc.so"

stand_in libgcc_s.so.1 gcc GCC_3.0 GCC_7.0.0 GCC_12.0 GCC_2.9
expect "libgcc_s: GCC_3.0 to 7.0.0" 1 \
  "GCC_12.0 of libgcc_s.so.1 (above GCC_7.0.0)
GCC_2.9 of libgcc_s.so.1 (below GCC_3.0)" "GCC_3.0 of
GCC_7.0.0 of" "$work/gcc.so"

stand_in libstdc++.so.6 cxx GLIBCXX_3.4 GLIBCXX_3.4.25 CXXABI_1.3 CXXABI_1.3.11 GLIBCXX_3.4.26 CXXABI_1.3.12 \
  CXXABI_TM_1 LIBFOO_1.0
expect "libstdc++: GLIBCXX_3.4 to 3.4.25, CXXABI_1.3 to 1.3.11, nothing else" 1 \
  "GLIBCXX_3.4.26 of libstdc++.so.6 (above GLIBCXX_3.4.25)
CXXABI_1.3.12 of libstdc++.so.6 (above CXXABI_1.3.11)
CXXABI_TM_1 of libstdc++.so.6 (not among RHEL 8's versions)
LIBFOO_1.0 of libstdc++.so.6 (not among RHEL 8's versions for X86-64)" \
  "GLIBCXX_3.4 of
GLIBCXX_3.4.25 of
CXXABI_1.3 of
CXXABI_1.3.11 of" "$work/cxx.so"

stand_in libc.so.6 fine GLIBC_2.17 GLIBC_2.28
expect "a file within the list passes" 0 "ok   $work/fine.so" "" "$work/fine.so"

# The real thing, where the linker packs relative relocations: the linker itself asks for the version.
# (A versioned call into libc, or the linker has no version node to hang GLIBC_ABI_DT_RELR on.)
printf '#include <cstdio>\nint value;\nint* pointers[] = {&value, &value, &value};\nvoid f() { std::puts(""); }\n' \
  >"$work/relr.cpp"
if "$compiler" -shared -fPIC -Wl,-z,pack-relative-relocs "$work/relr.cpp" -o "$work/relr.so" 2>/dev/null &&
  readelf -V -W "$work/relr.so" | grep -q GLIBC_ABI_DT_RELR; then
  expect "a library linked with -z pack-relative-relocs" 1 \
    "GLIBC_ABI_DT_RELR of libc.so.6 (not among RHEL 8's versions) from: no symbol, the linker asks for it" "" \
    "$work/relr.so"
else
  echo "skip a library linked with -z pack-relative-relocs: this linker or glibc does not pack them"
fi

[ "$failures" = 0 ] || { echo "$failures case(s) failed"; exit 1; }
