#!/usr/bin/env bash
# The Linux packages of the release that .ci/steps/33-release.sh made (build-release/out). The x86-64
# tarball with the listing it must have, used where it is unpacked: a program built through its
# pkg-config file and one built through its CMake package both run on the sample installation, and so
# does its tool. Then the Debian packages: their listings and dependencies, lintian without errors, and
# the three unpacked together used like the tarball.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
release=$PWD/build-release/out
[ -f "$release/SHA256SUMS" ] || { echo "no release in $release: run .ci/steps/33-release.sh first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

tarball=$(find "$release" -name "KORFlowID-*-Linux-$(uname -m).tar.gz")
[ -f "$tarball" ] || { echo "no Linux $(uname -m) tarball in $release" >&2; exit 1; }
version=$(basename "$tarball" | sed 's/^KORFlowID-\(.*\)-Linux-.*$/\1/')
config=release

# README, CHANGELOG.md and docs/ lie together wherever the documentation is installed.
doc_files() { printf '%s\n' "$1/README.md" "$1/CHANGELOG.md"; for page in docs/*.md; do echo "$1/$page"; done; }
expected="bin/korflowid
include/KORFlow.h
include/korflowid.h
lib/cmake/KORFlowID/KORFlowIDConfig.cmake
lib/cmake/KORFlowID/KORFlowIDConfigVersion.cmake
lib/cmake/KORFlowID/KORFlowIDTargets-$config.cmake
lib/cmake/KORFlowID/KORFlowIDTargets.cmake
lib/libKORFlowID.so
lib/libKORFlowID.so.1
lib/libKORFlowID.so.$version
lib/pkgconfig/korflowid.pc
$(doc_files share/doc/KORFlowID)
share/doc/KORFlowID/LGPL-2.1.txt
share/doc/KORFlowID/korflowid-NOTICE.txt
share/man/man1/korflowid.1.gz"
expected=$(echo "$expected" | LC_ALL=C sort)
check_listing() {  # name, listing of files relative to the package's prefix[, expected listing]
  local wanted=${3:-$expected}
  if [ "$2" != "$wanted" ]; then
    echo "$1 holds:"; echo "$2"; echo "expected:"; echo "$wanted"
    exit 1
  fi
  echo "$1: $(echo "$2" | wc -l) files as expected"
}

top=KORFlowID-$version-Linux-$(uname -m)/
check_listing "$(basename "$tarball")" "$(tar -tzf "$tarball" | grep -v '/$' | sed "s|^$top||" | LC_ALL=C sort)"

# Unpacked somewhere the build never knew of.
tar -xzf "$tarball" -C "$work"
unpacked=$work/$top
# Its library and tool load on RHEL 8 and every newer Linux: no symbol version or library beyond.
elf_files() {  # every ELF file below a directory, symbolic links left out
  local file
  while IFS= read -r -d '' file; do [ "$(od -An -tx1 -N4 "$file" | tr -d ' ')" = 7f454c46 ] && echo "$file"; done \
    < <(find "$1" -type f -print0) | LC_ALL=C sort
}
mapfile -t binaries < <(elf_files "$unpacked")
[ ${#binaries[@]} = 2 ] || { echo "ELF files in the tarball: ${binaries[*]}"; exit 1; }
scripts/check-symbol-versions.sh "${binaries[@]}"
export KOR_HOME="$PWD/examples/RJGQ.2.1/kor"
expected_output=$'RJ GQ.2.1\nInstall Id: 20240611-RJ-004711'
check_run() {
  local output
  output=$("$@")
  [ "$output" = "$expected_output" ] || { printf 'unexpected output from %s:\n%s\n' "$1" "$output"; exit 1; }
}
PKG_CONFIG_PATH=$unpacked/lib/pkgconfig
export PKG_CONFIG_PATH
# Relocatable: the prefix is found from where the .pc file lies.
grep -qx 'prefix=${pcfiledir}/../..' "$PKG_CONFIG_PATH/korflowid.pc" ||
  { echo "the tarball's korflowid.pc:"; cat "$PKG_CONFIG_PATH/korflowid.pc"; exit 1; }
libdir=$(pkg-config --variable=libdir korflowid)
# shellcheck disable=SC2046
c++ -std=c++17 tests/consumer/main.cpp $(pkg-config --cflags --libs korflowid) -Wl,-rpath,"$libdir" \
  -o "$work/consumer-pc"
check_run "$work/consumer-pc"
cmake -S tests/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$unpacked" >"$work/consumer.log" ||
  { cat "$work/consumer.log"; exit 1; }
cmake --build "$work/consumer" >>"$work/consumer.log" || { cat "$work/consumer.log"; exit 1; }
check_run "$work/consumer/korflowid_consumer"
[ "$("$unpacked/bin/korflowid" --field release)" = "GQ.2.1" ]
echo "the unpacked tarball works through pkg-config and CMake"

# The Debian packages of the release: the library in the multiarch directory.
architecture=$(dpkg --print-architecture)
multiarch=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb_version=$(dpkg-deb -f "$(find "$release" -name "libkorflowid1_*_$architecture.deb")" Version)
docs() { printf 'share/doc/%s/changelog.gz\nshare/doc/%s/copyright\n' "$1" "$1"; }
declare -A listings=(
  [libkorflowid1]="$multiarch/libKORFlowID.so.1
$multiarch/libKORFlowID.so.$version
$(docs libkorflowid1)"
  [libkorflowid-dev]="include/KORFlow.h
include/korflowid.h
$multiarch/cmake/KORFlowID/KORFlowIDConfig.cmake
$multiarch/cmake/KORFlowID/KORFlowIDConfigVersion.cmake
$multiarch/cmake/KORFlowID/KORFlowIDTargets-release.cmake
$multiarch/cmake/KORFlowID/KORFlowIDTargets.cmake
$multiarch/libKORFlowID.so
$multiarch/pkgconfig/korflowid.pc
$(doc_files share/doc/libkorflowid-dev)
$(docs libkorflowid-dev)"
  [korflowid]="bin/korflowid
$(docs korflowid)
share/man/man1/korflowid.1.gz")
debs=()
for package in libkorflowid1 libkorflowid-dev korflowid; do
  deb=$release/${package}_${deb_version}_$architecture.deb
  [ -f "$deb" ] || { echo "no $deb"; exit 1; }
  debs+=("$deb")
  check_listing "$(basename "$deb")" \
    "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | LC_ALL=C sort)" \
    "$(echo "${listings[$package]}" | LC_ALL=C sort)"
  echo "  Depends: $(dpkg-deb -f "$deb" Depends)"
done
# Versions that the binaries need, and the packages of one build tied to each other.
depends() { dpkg-deb -f "$1" Depends; }
[[ $(depends "${debs[0]}") =~ libc6\ \(\>=\ [0-9.]+\) ]] || { echo "libkorflowid1: no versioned libc6"; exit 1; }
[[ $(depends "${debs[2]}") =~ libstdc\+\+6\ \(\>=\ [0-9.]+\) ]] || { echo "korflowid: no versioned libstdc++6"; exit 1; }
# Callers of the C interface need 1.1.0, where its kor_ names came: dpkg-shlibdeps takes that from shlibs.
shlibs=$(dpkg-deb --ctrl-tarfile "${debs[0]}" | tar -xO ./shlibs)
[[ $shlibs == "libKORFlowID 1 libkorflowid1 (>= $deb_version)" ]] && dpkg --compare-versions "$deb_version" ge 1.1.0 ||
  { echo "libkorflowid1: shlibs '$shlibs' do not ask for 1.1.0 or later"; exit 1; }
echo "  shlibs: $shlibs"
for deb in "${debs[@]:1}"; do
  [[ $(depends "$deb") == *"libkorflowid1 (= $deb_version)"* ]] || { echo "$deb: no libkorflowid1"; exit 1; }
done
# The library's ldconfig runs through the trigger, not from maintainer scripts.
control=$(dpkg-deb --ctrl-tarfile "${debs[0]}" | tar -t)
if [[ $control != *"./triggers"* || $control == *"./post"* ]]; then
  echo "libkorflowid1: control files"; echo "$control"; exit 1
fi
status=0
lintian --fail-on error "${debs[@]}" >"$work/lintian.log" 2>&1 || status=$?
grep -v 'root privileges' "$work/lintian.log" || true
[ "$status" = 0 ] || { echo "lintian reports errors (status $status)"; exit 1; }
echo "lintian: no errors on the Debian packages"

# Unpacked together somewhere else: the tool and a program built through the pkg-config file run.
root=$work/debian-root
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$root"; done
# The library is the tarball's, built for the same systems. The tool links it and the system's
# libstdc++, so it asks for this release's glibc, as its Depends say; shown, not held to RHEL 8.
mapfile -t binaries < <(elf_files "$root")
[ ${#binaries[@]} = 2 ] || { echo "ELF files in the Debian packages: ${binaries[*]}"; exit 1; }
scripts/check-symbol-versions.sh "$root/usr/$multiarch/libKORFlowID.so.$version"
{ scripts/check-symbol-versions.sh "$root/usr/bin/korflowid" || true; } | sed '1s/^FAIL/info/;1!d'
export LD_LIBRARY_PATH=$root/usr/$multiarch
[ "$("$root/usr/bin/korflowid" --field release)" = "GQ.2.1" ]
PKG_CONFIG_PATH=$root/usr/$multiarch/pkgconfig
# Installed where the system's headers and libraries are, the packages give no -I or -L of their own;
# here the unpacked tree stands in for /usr.
grep -qx 'prefix=/usr' "$PKG_CONFIG_PATH/korflowid.pc" ||
  { echo "libkorflowid-dev's korflowid.pc:"; cat "$PKG_CONFIG_PATH/korflowid.pc"; exit 1; }
flags=$(pkg-config --cflags --libs korflowid)
[ "$(echo $flags)" = "-lKORFlowID" ] || { echo "pkg-config gives '$flags' for the Debian packages"; exit 1; }
# shellcheck disable=SC2086
c++ -std=c++17 tests/consumer/main.cpp -I"$root/usr/include" -L"$root/usr/$multiarch" $flags -o "$work/consumer-deb"
check_run "$work/consumer-deb"
echo "== packages: listings fine, the unpacked tarball and Debian packages work ($((SECONDS - started)) s)"
