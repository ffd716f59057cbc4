#!/usr/bin/env bash
# scripts/install-deps.sh against stand-ins for dpkg-query, apt-get, id and sudo that only log their calls.
#   install-deps-test.sh SCRIPT
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A copy beside its own package list, so the list is the test's.
mkdir -p "$work/tree/scripts" "$work/tree/.ci"
cp "$script" "$work/tree/scripts/install-deps.sh"
printf '# comment\ncmake\n  g++   # trailing comment\n\nlibgtest-dev\n[checks]\nvalgrind\n[windows]\nwine64\n[arm64]\nqemu-user\n' > "$work/tree/.ci/packages.txt"

# $1: installed packages; $2: uid; $3: which stand-ins exist (apt-get, sudo).
stand_ins() {
  rm -rf "$work/bin" && mkdir "$work/bin"
  for tool in awk bash cat dirname env sed wc; do ln -s "$(command -v "$tool")" "$work/bin/$tool"; done
  printf '#!/bin/bash\nfor p in %s; do [ "$p" = "${@: -1}" ] && { printf installed; exit 0; }; done\nexit 1\n' "$1" \
    > "$work/bin/dpkg-query"
  printf '#!/bin/bash\necho %s\n' "$2" > "$work/bin/id"
  for tool in $3; do printf '#!/bin/bash\necho "%s $*" >> "%s"\n' "$tool" "$work/log" > "$work/bin/$tool"; done
  chmod +x "$work/bin/"*
}

failures=0
# what | installed | uid | stand-ins | arguments | status | log of calls | words in the output
check() {
  stand_ins "$2" "$3" "$4"
  rm -f "$work/log" && touch "$work/log"
  local status=0
  # shellcheck disable=SC2086
  PATH=$work/bin bash "$work/tree/scripts/install-deps.sh" $5 > "$work/out" 2>&1 || status=$?
  local log
  log=$(cat "$work/log")
  if [ "$status" != "$6" ] || [ "$log" != "$7" ] || ! grep -q -- "$8" "$work/out"; then
    echo "FAILED: $1: status $status, calls [$log], output:"
    sed 's/^/  /' "$work/out"
    failures=$((failures + 1))
  fi
}

nl=$'\n'
check "all present" "cmake g++ libgtest-dev" 1000 "apt-get sudo" "" 0 "" "all 3 packages are present"
check "checks present too" "cmake g++ libgtest-dev valgrind" 0 "apt-get" "--checks" 0 "" "all 4 packages"
check "windows present too" "cmake g++ libgtest-dev wine64" 0 "apt-get" "--windows" 0 "" "all 4 packages"
check "arm64 present too" "cmake g++ libgtest-dev qemu-user" 0 "apt-get" "--arm64" 0 "" "all 4 packages"
check "every section" "cmake g++ libgtest-dev valgrind wine64 qemu-user" 0 "apt-get" "--windows --checks --arm64" 0 "" \
  "all 6 packages"
check "arm64 missing alone" "cmake g++ libgtest-dev valgrind" 0 "apt-get" "--checks --arm64" 0 \
  "apt-get update -q${nl}apt-get install -y -q qemu-user" "installing qemu-user"
check "missing, as root" "cmake" 0 "apt-get sudo" "" 0 \
  "apt-get update -q${nl}apt-get install -y -q g++ libgtest-dev" "installing g++ libgtest-dev"
check "missing, through sudo" "cmake g++ libgtest-dev" 1000 "apt-get sudo" "--checks" 0 \
  "sudo -n true${nl}sudo -n env DEBIAN_FRONTEND=noninteractive apt-get update -q${nl}sudo -n env DEBIAN_FRONTEND=noninteractive apt-get install -y -q valgrind" \
  "installing valgrind"
check "missing, no sudo" "" 1000 "apt-get" "" 1 "" "run this as root"
check "no apt" "" 0 "" "" 1 "" "no apt-get here"
check "dry run" "" 0 "apt-get" "--dry-run" 0 "" "+ env DEBIAN_FRONTEND=noninteractive apt-get install -y -q cmake g++ libgtest-dev"
check "dry run through sudo" "cmake g++ libgtest-dev" 1000 "apt-get sudo" "--dry-run --windows" 0 "" \
  "+ sudo -n env DEBIAN_FRONTEND=noninteractive apt-get install -y -q wine64"
check "dry run, no root, no sudo" "" 1000 "apt-get" "--checks --dry-run" 0 "" \
  "+ env DEBIAN_FRONTEND=noninteractive apt-get install -y -q cmake g++ libgtest-dev valgrind"
check "unknown argument" "" 0 "apt-get" "--yes" 2 "" "unknown argument"

[ "$failures" -eq 0 ] && echo "all cases passed"
exit "$failures"
