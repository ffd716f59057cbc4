#!/usr/bin/env bash
# Holds the module's binary interface to the last release's, kept in abi/: the ABI of libKORFlowID.so.N
# with its types, as abidw writes it from a build with debug information, and the names KORFlowID.dll
# exports. A removed function or a changed type or enum value fails; an added function is reported and
# allowed. --update rewrites the baseline from the build instead (README: "ABI baseline").
#   scripts/abi-baseline.sh [--update] [build-dir]             libKORFlowID.so of build-dir (default build)
#   scripts/abi-baseline.sh --windows [--update] [build-dir]   KORFlowID.dll of build-dir (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
update=0
windows=0
while [ $# -gt 0 ]; do
  case $1 in
    --update) update=1 ;;
    --windows) windows=1 ;;
    -h | --help) sed -n '2,7s/^# \{0,1\}//p' "$0"; exit 0 ;;
    -*) echo "abi-baseline: unknown option '$1' (try --help)" >&2; exit 2 ;;
    *) break ;;
  esac
  shift
done
if [ "$windows" = 1 ]; then build=${1:-build-windows}; else build=${1:-build}; fi
[ -f "$build/CMakeCache.txt" ] || { echo "abi-baseline: $build is no build folder" >&2; exit 2; }
fail() { echo "abi-baseline: $*" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/korflowid-abi.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The module as the sources are now; a no-op when the build is current.
cmake --build "$build" --target KORFlowID -j2 >"$work/build.log" || { cat "$work/build.log"; fail "build failed"; }

if [ "$windows" = 1 ]; then
  dll=$build/bin/KORFlowID.dll
  baseline=abi/KORFlowID.dll.exports
  [ -f "$dll" ] || fail "no $dll"
  # Callers of both toolchains import by name (the GCC and the MSVC ones), never by ordinal.
  x86_64-w64-mingw32-objdump -p "$dll" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' | LC_ALL=C sort >"$work/current"
  [ -s "$work/current" ] || fail "$dll exports nothing"
  if [ "$update" = 1 ]; then
    { echo "# The names KORFlowID.dll exports, as scripts/abi-baseline.sh --windows --update wrote them."
      cat "$work/current"; } >"$baseline"
    echo "abi-baseline: wrote $baseline ($(wc -l <"$work/current") names)"
    exit 0
  fi
  [ -f "$baseline" ] || fail "no $baseline: write it with --windows --update"
  grep -v '^#' "$baseline" >"$work/baseline"
  removed=$(LC_ALL=C comm -23 "$work/baseline" "$work/current")
  added=$(LC_ALL=C comm -13 "$work/baseline" "$work/current")
  if [ -n "$removed" ]; then
    printf 'abi-baseline: %s no longer exports what callers of the last release import:\n%s\n' \
      "$dll" "$removed" >&2
    exit 1
  fi
  if [ -n "$added" ]; then
    printf 'abi-baseline: %s exports names the last release lacked (compatible, allowed):\n%s\n' "$dll" "$added"
    echo "abi-baseline: once they are released, record them with: scripts/abi-baseline.sh --windows --update"
  fi
  echo "abi-baseline: $dll exports all $(wc -l <"$work/baseline") names of $baseline"
  exit 0
fi

if ! command -v abidw >/dev/null || ! command -v abidiff >/dev/null; then
  fail "needs abidw and abidiff (abigail-tools)"
fi
library=$(readlink -f "$build/KORBuildVersion/libKORFlowID.so")
[ -f "$library" ] || fail "no libKORFlowID.so in $build/KORBuildVersion"
soname=$(objdump -p "$library" | sed -n 's/^ *SONAME *//p')
[ -n "$soname" ] || fail "$library has no SONAME"
baseline=abi/$soname.abi
# The sources the build was made from, whose paths its debug information holds.
source=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")

# Only what a caller sees: the exported functions and the types they reach, none of the internals,
# and nothing that moves with a comment, a checkout's path or the order types were met in.
abidw --headers-dir "$source/KORBuildVersion/include" --drop-private-types --exported-interfaces-only \
  --no-show-locs --no-comp-dir-path --no-corpus-path --no-elf-needed --no-parameter-names \
  --type-id-style hash "$library" >"$work/raw.abi" || fail "abidw cannot read $library"
sed "s|path='$source/|path='|" "$work/raw.abi" >"$work/current.abi"
grep -q "<class-decl name='KORFlow'" "$work/current.abi" ||
  fail "$library has no type information: build it with debug information (RelWithDebInfo or Debug)"

if [ "$update" = 1 ]; then
  # A new SONAME starts a new baseline; the old one is history.
  find abi -maxdepth 1 -name 'libKORFlowID.so.*.abi' ! -name "$soname.abi" -delete 2>/dev/null || true
  mkdir -p abi
  cp "$work/current.abi" "$baseline"
  echo "abi-baseline: wrote $baseline"
  exit 0
fi
if [ ! -f "$baseline" ]; then
  held=$(find abi -maxdepth 1 -name '*.abi' -printf '%f ' 2>/dev/null || true)
  held=${held% }
  fail "no $baseline (abi/ holds: ${held:-nothing}); a new SONAME starts a new baseline: write it with --update"
fi

status=0
abidiff "$baseline" "$work/current.abi" >"$work/report" 2>&1 || status=$?
cat "$work/report"
# abidiff's status is a bit field: 1 an error, 2 a usage error, 4 a change, 8 an incompatible one.
# A renumbered enumerator or a resized type is only "a change", so the summary decides: anything
# removed or changed fails, and so does a change that is not an addition (a new SONAME, say).
if [ $((status & 3)) -ne 0 ]; then
  fail "abidiff could not compare $baseline with $library (status $status)"
fi
if [ $((status & 8)) -ne 0 ]; then
  fail "$library breaks callers of $baseline"
fi
if [ $((status & 4)) -ne 0 ]; then
  breaking=$(grep -E '[1-9][0-9]* (Removed|Changed)' "$work/report" || true)
  [ -z "$breaking" ] || fail "$library breaks callers of $baseline: $breaking"
  if ! grep -qE 'summary: .*[1-9][0-9]* Added' "$work/report" || grep -q 'SONAME' "$work/report"; then
    fail "$library differs from $baseline by more than additions"
  fi
  echo "abi-baseline: $library adds to $baseline (compatible, allowed)"
  echo "abi-baseline: once released, record the additions with: scripts/abi-baseline.sh --update"
  exit 0
fi
if [ -s "$work/report" ]; then
  echo "abi-baseline: $library keeps the ABI of $baseline; abidiff deems the changes above harmless"
else
  echo "abi-baseline: $library keeps the ABI of $baseline"
fi
