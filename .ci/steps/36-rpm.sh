#!/usr/bin/env bash
# The RPM packages of the release that .ci/steps/33-release.sh made (build-release/out, from the rpm
# preset): each one's files, Requires and scriptlets, rpmlint with
# cmake/rpm/rpmlint.toml and no errors, then the three installed with rpm into a scratch root, where the
# library's ldconfig scriptlets run, a program built through the pkg-config file and one built through the
# CMake package run, and so does the tool. Last, the binaries and the Requires ask no more of the C and
# C++ runtimes than RHEL 8 has.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

out=$PWD/build-release/out
[ -f "$out/SHA256SUMS" ] || { echo "no release in $out: run .ci/steps/33-release.sh first" >&2; exit 1; }
arch=$(uname -m)
version=$(rpm -qp --qf '%{VERSION}' "$(find "$out" -name "korflowid-libs-*.$arch.rpm")")
release=1
isa=$(rpm --eval '%{_isa}')
evr=$version-$release

# README, CHANGELOG.md and docs/ lie together.
doc_files() { printf '%s\n' "$1" "$1/README.md" "$1/CHANGELOG.md" "$1/docs"; for page in docs/*.md; do echo "$1/$page"; done; }
# rpm makes /usr/lib/.build-id links with names from the binaries' contents; the listings leave them out.
declare -A listings=(
  [korflowid-libs]="/usr/lib64/libKORFlowID.so.1
/usr/lib64/libKORFlowID.so.$version"
  [korflowid-devel]="/usr/include/KORFlow.h
/usr/include/korflowid.h
/usr/lib64/cmake/KORFlowID
/usr/lib64/cmake/KORFlowID/KORFlowIDConfig.cmake
/usr/lib64/cmake/KORFlowID/KORFlowIDConfigVersion.cmake
/usr/lib64/cmake/KORFlowID/KORFlowIDTargets-release.cmake
/usr/lib64/cmake/KORFlowID/KORFlowIDTargets.cmake
/usr/lib64/libKORFlowID.so
/usr/lib64/pkgconfig/korflowid.pc
$(doc_files /usr/share/doc/korflowid-devel | LC_ALL=C sort)"
  [korflowid]="/usr/bin/korflowid
/usr/share/licenses/korflowid
/usr/share/licenses/korflowid/LGPL-2.1.txt
/usr/share/licenses/korflowid/korflowid-NOTICE.txt
/usr/share/man/man1/korflowid.1.gz")
declare -A scriptlets=(
  [korflowid-libs]=$'postinstall program: /sbin/ldconfig\npostuninstall program: /sbin/ldconfig'
  [korflowid-devel]=""
  [korflowid]="")
packages=(korflowid-libs korflowid-devel korflowid)
rpms=()
for package in "${packages[@]}"; do
  rpm=$out/$package-$evr.$arch.rpm
  [ -f "$rpm" ] || { echo "no $rpm; there are:"; ls "$out"; exit 1; }
  rpms+=("$rpm")
  echo "-- $(basename "$rpm")"
  rpm -qplv "$rpm"
  files=$(rpm -qpl "$rpm" | grep -v '^/usr/lib/\.build-id' | LC_ALL=C sort)
  [ "$files" = "${listings[$package]}" ] || { printf 'expected:\n%s\n' "${listings[$package]}"; exit 1; }
  requires=$(rpm -qp --requires "$rpm")
  echo "  Requires: $(echo "$requires" | tr "\n" " ")"
  scripts=$(rpm -qp --scripts "$rpm")
  echo "  scriptlets: ${scripts:-none}"
  [ "$scripts" = "${scriptlets[$package]}" ] || { printf 'expected:\n%s\n' "${scriptlets[$package]}"; exit 1; }
  [ "$(rpm -qp --qf '%{PREFIXES}' "$rpm")" = "(none)" ] || { echo "$package is relocatable"; exit 1; }
  # Whatever links the library requires the library package of the same build.
  if [[ $package == *-devel || $requires == *libKORFlowID.so.1* ]]; then
    grep -qxF "korflowid-libs$isa = $evr" <<<"$requires" || { echo "$package: no korflowid-libs = $evr"; exit 1; }
  fi
done
rpm -qp --provides "${rpms[0]}" | grep -qx 'libKORFlowID.so.1()(64bit)' || { echo "korflowid-libs: no soname"; exit 1; }
rpm -qp --requires "${rpms[0]}" | grep -q '^libc\.so\.6(GLIBC_' || { echo "korflowid-libs: no automatic Requires"; exit 1; }

status=0
rpmlint -c cmake/rpm/rpmlint.toml "${rpms[@]}" >"$work/rpmlint.log" 2>&1 || status=$?
cat "$work/rpmlint.log"
[ "$status" = 0 ] || { echo "rpmlint reports errors (status $status)"; exit 1; }
echo "rpmlint: no errors on the RPM packages"

# Into a scratch root as rpm installs them. RHEL's ldconfig searches /usr/lib64 by itself; Debian's
# (static, so it runs in the root) needs telling.
root=$work/root
in_root() {  # rpm in the scratch root, without Debian's rpm's notice that dpkg manages this system
  local output status=0
  output=$(rpm --root "$root" "$@" 2>&1) || status=$?
  grep -v 'use Alien\|know what you are doing' <<<"$output" || true
  return $status
}
if [ "$(id -u)" -eq 0 ]; then
  mkdir -p "$root/sbin" "$root/etc"
  cp /sbin/ldconfig "$root/sbin/"
  echo /usr/lib64 >"$root/etc/ld.so.conf"
  in_root --initdb
  in_root --nodeps -i "${rpms[@]}"
  [ "$(in_root -qa | LC_ALL=C sort)" = "$(printf '%s\n' "${packages[@]/%/-$evr.$arch}" | LC_ALL=C sort)" ] ||
    { echo "not installed:"; in_root -qa; exit 1; }
  ldconfig -C "$root/etc/ld.so.cache" -p | grep -q 'libKORFlowID\.so\.1 .*=> /usr/lib64/libKORFlowID\.so\.1$' ||
    { echo "ldconfig did not run after install"; exit 1; }
  echo "installed into a scratch root; its ld.so.cache holds libKORFlowID.so.1"
else
  # rpm --root changes owners and runs scriptlets in a chroot, which needs root.
  for rpm in "${rpms[@]}"; do (mkdir -p "$root" && cd "$root" && rpm2cpio "$OLDPWD/$rpm" | cpio -idm --quiet); done
  echo "not root: the packages unpacked with rpm2cpio, their scriptlets not run"
fi

export KOR_HOME="$PWD/examples/RJGQ.2.1/kor"
expected_output=$'RJ GQ.2.1\nInstall Id: 20240611-RJ-004711'
check_run() {
  local output
  output=$("$@")
  [ "$output" = "$expected_output" ] || { printf 'unexpected output from %s:\n%s\n' "$1" "$output"; exit 1; }
}
grep -qx 'prefix=/usr' "$root/usr/lib64/pkgconfig/korflowid.pc" || { echo "korflowid.pc: prefix not /usr"; exit 1; }
# The tree as a sysroot: pkg-config puts it in front of the paths the .pc file names, and CMake looks
# for the package under it as under /usr, in lib64 too as it does on RHEL (not on Debian).
# shellcheck disable=SC2046
c++ -std=c++17 tests/consumer/main.cpp $(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$root/usr/lib64/pkgconfig \
  pkg-config --cflags --libs korflowid) -o "$work/consumer-pc"
LD_LIBRARY_PATH=$root/usr/lib64 check_run "$work/consumer-pc"
echo 'set_property(GLOBAL PROPERTY FIND_LIBRARY_USE_LIB64_PATHS TRUE)' >"$work/lib64.cmake"
cmake -S tests/consumer -B "$work/consumer" -DCMAKE_FIND_ROOT_PATH="$root" -DCMAKE_PROJECT_INCLUDE="$work/lib64.cmake" \
  >"$work/consumer.log" ||
  { cat "$work/consumer.log"; exit 1; }
cmake --build "$work/consumer" >>"$work/consumer.log" || { cat "$work/consumer.log"; exit 1; }
check_run "$work/consumer/korflowid_consumer"
[ "$(LD_LIBRARY_PATH=$root/usr/lib64 "$root/usr/bin/korflowid" --field release)" = "GQ.2.1" ]
echo "the installed packages work through pkg-config and CMake, and their tool runs"

# What the installed binaries ask of the C and C++ runtimes, against RHEL 8's.
if [ -x scripts/check-symbol-versions.sh ]; then
  mapfile -t elves < <(find "$root/usr" -type f -exec sh -c 'head -c 4 "$1" | grep -q "ELF"' _ {} \; -print)
  scripts/check-symbol-versions.sh "${elves[@]}"
fi
if [ "$(id -u)" -eq 0 ]; then
  in_root --nodeps -e korflowid-libs
  if ldconfig -C "$root/etc/ld.so.cache" -p | grep -q libKORFlowID; then
    echo "ldconfig did not run after removal"; exit 1
  fi
  echo "removed korflowid-libs; its ld.so.cache no longer holds the library"
fi

# What the packages' Requires ask, against RHEL 8's runtimes.
too_new=$(rpm -qp --requires "${rpms[@]}" | sort -u | awk '
  match($0, /\((GLIBC|GLIBCXX|CXXABI)_[0-9.]+\)/) {
    split(substr($0, RSTART + 1, RLENGTH - 2), v, "_")
    limit = v[1] == "GLIBC" ? "2.28" : v[1] == "GLIBCXX" ? "3.4.25" : "1.3.11"
    cmd = "printf \"%s\\n%s\\n\" " limit " " v[2] " | sort -V | tail -n 1"
    cmd | getline newest; close(cmd)
    if (newest != limit) print
  }')
if [ -n "$too_new" ]; then
  echo "The packages ask for more than RHEL 8 has (GLIBC_2.28, GLIBCXX_3.4.25, CXXABI_1.3.11):"
  echo "$too_new"
  exit 1
fi
echo "== RPM packages: listings, Requires and scriptlets fine, rpmlint without errors, installed and used," \
  "fit for RHEL 8 ($((SECONDS - started)) s)"
