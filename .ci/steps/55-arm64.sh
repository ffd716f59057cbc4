#!/usr/bin/env bash
# arm64 (aarch64) Linux: the library, the tool and the whole test suite cross-built with
# g++-aarch64-linux-gnu (preset arm64, build-arm64/) and run under qemu-user; then the release's arm64
# tarball, whose binaries are held to the same symbol versions as x86-64's, and whose tool runs. Its packages come from `scripts/install-deps.sh --arm64`, which .ci/run calls.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
export QEMU_LD_PREFIX=/usr/aarch64-linux-gnu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Many tests start a fresh copy of themselves or the tool: an emulated program that starts an arm64
# program needs the kernel to hand it to qemu, through a binfmt_misc handler. qemu-user-binfmt
# describes one, which only systemd registers; without systemd, it is registered here.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/qemu-aarch64" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "arm64: no binfmt_misc handler for arm64 programs, and registering one needs root:" >&2
    echo "  mount -t binfmt_misc binfmt_misc $binfmt; cat /usr/lib/binfmt.d/qemu-aarch64.conf > $binfmt/register" >&2
    exit 1
  fi
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  cat /usr/lib/binfmt.d/qemu-aarch64.conf >"$binfmt/register"
fi
grep -qx enabled "$binfmt/qemu-aarch64" || { echo "arm64: the binfmt_misc handler is disabled" >&2; exit 1; }

cmake --preset arm64 >"$work/configure.log" || { cat "$work/configure.log"; exit 1; }
cmake --build --preset arm64 >"$work/build.log" || { cat "$work/build.log"; exit 1; }
built=$SECONDS
ctest --preset arm64 | tee "$work/ctest.log" | grep -E '^(The following|[0-9]+% tests passed|\s+[0-9]+ - )' || true
grep -q '^100% tests passed' "$work/ctest.log" || { cat "$work/ctest.log"; exit 1; }
tested=$SECONDS

# The release's tarball (.ci/steps/33-release.sh made it): the same files as x86-64's, each held to the
# symbol versions of RHEL 8 for arm64.
out=build-release/out
[ -f "$out/SHA256SUMS" ] || { echo "no release in $out: run .ci/steps/33-release.sh first" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-arm64/CMakeCache.txt)
top=KORFlowID-$version-Linux-aarch64
tar -xzf "$out/$top.tar.gz" -C "$work"
binaries=("$work/$top/bin/korflowid" "$work/$top/lib/libKORFlowID.so.$version")
for binary in "${binaries[@]}"; do
  file -b "$binary" | grep -q 'ARM aarch64' || { echo "$binary: $(file -b "$binary")"; exit 1; }
done
scripts/check-symbol-versions.sh "${binaries[@]}"
[ "$("$work/$top/bin/korflowid" --home examples/RJGQ.2.1/kor --field release)" = "GQ.2.1" ]
echo "arm64 tarball $top.tar.gz: its tool runs"

echo "== arm64: built in $((built - started)) s, suite under qemu in $((tested - built)) s," \
  "tarball checked in $((SECONDS - tested)) s; $((SECONDS - started)) s in all"
