#!/usr/bin/env bash
# The release, made twice and compared byte for byte (scripts/release.sh). The first run goes into
# build-release/out, with its build folders kept in build-release/builds for the hardening checks (34)
# and its files for the package checks (35, 36, 55, 60). The second starts from a clone in another
# folder, minutes later, under another umask, time zone, locale and temporary folder, and builds
# everything anew: no build output of the first is there for it to reuse.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
release=$PWD/build-release
rm -rf "$release"
mkdir -p "$release"

scripts/release.sh --keep-builds "$release/builds" "$release/out"
first=$SECONDS

other=$(mktemp -d /tmp/korflowid-second-run.XXXXXX)
trap 'rm -rf "$other"' EXIT
git clone -q --no-hardlinks "$PWD" "$other/another/folder/korflowid"
mkdir -p "$other/tmp"
# A locale other than the first run's, where one is installed.
locale=$(locale -a 2>/dev/null | grep -v -i -x -E 'c|posix|c\.utf-?8' | head -n 1 || true)
(
  cd "$other/another/folder/korflowid"
  umask 077
  export TZ=Asia/Kathmandu LC_ALL=${locale:-de_DE.UTF-8} TMPDIR=$other/tmp
  echo "second run: umask $(umask), TZ=$TZ, LC_ALL=$LC_ALL, from $PWD"
  scripts/release.sh "$other/out"
)

echo "SHA256SUMS, first run | second run:"
paste -d '|' <(cut -c 1-16,65- "$release/out/SHA256SUMS") <(cut -c 1-16,65- "$other/out/SHA256SUMS") |
  awk -F'|' '{ printf "  %-66s | %s\n", $1, $2 }'
status=0
diff -r "$release/out" "$other/out" >/dev/null || status=$?
if [ "$status" != 0 ]; then
  echo "the two runs differ:"
  diff <(cd "$release/out" && sha256sum -- *) <(cd "$other/out" && sha256sum -- *) || true
  exit 1
fi
echo "== release: $(wc -l <"$release/out/SHA256SUMS") files, byte for byte the same in both runs" \
  "(first run $((first - started)) s, second $((SECONDS - first)) s)"
