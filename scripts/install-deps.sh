#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the korflowid tool need, as listed in
# .ci/packages.txt; with --checks also those that CI's further checks need, with --windows those of the
# Windows cross build and its tests under Wine, with --arm64 those of the arm64 cross build and its tests
# under qemu-user. Installs nothing when all are present, and refreshes the package index only when
# something is missing. --dry-run only shows the commands, whoever runs it.
#   scripts/install-deps.sh [--checks] [--windows] [--arm64] [--dry-run]
set -euo pipefail

list="$(cd "$(dirname "$0")/.." && pwd)/.ci/packages.txt"
checks=false
windows=false
arm64=false
dry_run=false
for arg in "$@"; do
  case $arg in
    --checks) checks=true ;;
    --windows) windows=true ;;
    --arm64) arm64=true ;;
    --dry-run) dry_run=true ;;
    -h | --help) sed -n '2,7s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "install-deps: unknown argument '$arg' (try --help)" >&2; exit 2 ;;
  esac
done

# One name a line; '#' starts a comment; a line "[name]" starts the section of the flag --name.
wanted=$(awk -v checks="$checks" -v windows="$windows" -v arm64="$arm64" '
  BEGIN { take = 1 }
  /^\[[a-z0-9]+\][ \t]*$/ { section = $0; gsub(/[][ \t]/, "", section)
                            take = (section == "checks" && checks == "true") || (section == "windows" && windows == "true") ||
                                   (section == "arm64" && arm64 == "true")
                            next }
  { sub(/#.*/, ""); gsub(/[ \t\r]/, "") }
  take && NF' "$list")

if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1; then
  echo "install-deps: no apt-get here; this script serves Debian and its derivatives." >&2
  echo "install-deps: install the equivalents of: $(echo $wanted)" >&2
  exit 1
fi

missing=()
for package in $wanted; do
  # A package that was removed but left its configuration behind is known to dpkg, yet not installed.
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" = installed ] || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all $(echo $wanted | wc -w) packages are present"
  exit 0
fi

# sudo -n: a CI job or a script must fail at once rather than wait for a password nobody types.
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    as_root=(sudo -n)
  elif $dry_run; then
    echo "install-deps: these need root, and there is no sudo here"
  else
    echo "install-deps: missing ${missing[*]}; run this as root, there is no sudo" >&2
    exit 1
  fi
fi

if [ ${#as_root[@]} -gt 0 ] && ! $dry_run && ! sudo -n true 2>/dev/null; then
  echo "install-deps: sudo wants a password; run 'sudo -v' first, or run this as root" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
run() {
  echo "+ $*"
  if ! $dry_run; then "$@"; fi
}
run "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
run "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
