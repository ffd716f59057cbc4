#!/usr/bin/env bash
# Builds every file of a release from the commit HEAD names, into OUTDIR:
#   KORFlowID-<version>-Linux-x86_64.tar.gz, KORFlowID-<version>-Linux-aarch64.tar.gz  relocatable trees
#   the Debian packages (deb preset) and the RPM packages (rpm preset)
#   KORFlowID-<version>-win64.zip                                                       MinGW-built DLL and tool
#   the Python wheels, where the python and python-arm64 presets exist
#   KORFlowID-<version>-source.tar.gz   the commit's files, what every other file was built from
#   BUILDINFO                           the toolchain each file was built with, for a rebuild
#   KORFlowID-<version>.spdx.json       SPDX 2.3: each file, what it holds, links and embeds, with licences
#   SHA256SUMS                          over all of the above
# Built twice from the same commit, anywhere, by anyone on the same toolchain, every byte is the same:
# SOURCE_DATE_EPOCH is the commit's time unless set, and every archive has sorted names, owner 0 and
# that time. docs/release.md says how to make and verify a release.
# Usage: scripts/release.sh [--keep-builds DIR] OUTDIR
#   --keep-builds DIR  keep the source tree with its build folders (unstripped binaries, compile
#                      commands) in DIR, for checks of what stripping hides
set -euo pipefail
keep=
if [ "${1:-}" = "--keep-builds" ]; then
  keep=${2:?--keep-builds needs a folder}
  shift 2
fi
[ $# = 1 ] || { echo "usage: $0 [--keep-builds DIR] OUTDIR" >&2; exit 2; }
out=$1
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)

# What the caller's shell holds must not reach the files: permissions, local times, sort orders and
# translated tool output all would.
umask 022
export TZ=UTC0 LC_ALL=C.UTF-8
unset LANG LANGUAGE CMAKE_GENERATOR CMAKE_BUILD_TYPE CMAKE_TOOLCHAIN_FILE CFLAGS CXXFLAGS CPPFLAGS LDFLAGS \
  MAKEFLAGS DESTDIR
say() { echo "release: $*" >&2; }

commit=$(git -C "$repo" rev-parse HEAD)
if [ -n "$(git -C "$repo" status --porcelain --untracked-files=normal)" ]; then
  say "the work tree differs from HEAD; building HEAD ($commit) as committed, without those changes"
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct "$commit")}
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || { say "SOURCE_DATE_EPOCH is not a number of seconds"; exit 2; }

if [ -e "$out" ] && [ -n "$(ls -A "$out")" ]; then
  say "$out is not empty: a release goes into an empty folder"
  exit 2
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
if [ -n "$keep" ]; then
  [ ! -e "$keep" ] || { say "$keep exists already"; exit 2; }
  mkdir -p "$(dirname "$keep")"
  keep=$(cd "$(dirname "$keep")" && pwd)/$(basename "$keep")
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/korflowid-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
src=$work/src
mkdir -p "$src" "$work/stage" "$work/logs"
git -C "$repo" archive --format=tar "$commit" | tar -x -C "$src"
cd "$src"

run() {  # log name, command...: quiet unless it fails
  local log=$work/logs/$1.log
  shift
  if ! nice -n 10 "$@" >>"$log" 2>&1; then
    tail -n 60 "$log" >&2
    say "failed: $*"
    exit 1
  fi
}
# The builds of the release: optimised, no tests, warnings as errors, and the compile commands kept
# for the hardening checks. A build-tree RPATH would leave the build folder's name in the binaries.
export CMAKE_EXPORT_COMPILE_COMMANDS=ON
release_build=(-DCMAKE_BUILD_TYPE=Release -DKORFLOWID_BUILD_TESTS=OFF -DKORFLOWID_BUILD_BENCH=OFF
               -DKORFLOWID_WARNINGS_AS_ERRORS=ON -DCMAKE_BUILD_WITH_INSTALL_RPATH=ON -DKORFLOWID_REPRODUCIBLE=ON)
build_and_stage() {  # name, build folder, stage name, configure arguments...
  local name=$1 build=$2 stage=$3
  shift 3
  say "building $name ($SECONDS s so far)"
  run "$name" cmake -S . -B "$build" "${release_build[@]}" "$@"
  run "$name" cmake --build "$build" -j2
  run "$name" cmake --install "$build" --strip --prefix "$work/stage/$stage"
}

# Sorted names, owner 0, the one time, permissions from the file kind alone; gzip without name or time.
pack_tar_gz() {  # stage name, archive
  tar -C "$work/stage" --sort=name --format=gnu --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
    --mode=u=rwX,go=rX -cf - "$1" | gzip -9 -n >"$2"
}
# ZIP keeps each file's time as a local wall-clock time: taken here in UTC, so the zone of whoever
# builds never enters. -X leaves out the owner and the extra time fields.
pack_zip() {  # stage name, archive
  (
    cd "$work/stage"
    chmod -R u=rwX,go=rX "$1"
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    find "$1" -type f | LC_ALL=C sort | TZ=UTC0 zip -X -D -9 -q -@ "$2"
  )
}

build_and_stage linux-x86_64 build-release-x86_64 stage-x86_64
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-release-x86_64/CMakeCache.txt)
[ -n "$version" ] || { say "no project version in the x86-64 build"; exit 1; }
say "KORFlowID $version from $commit, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH"
artifacts=()
x86_name=KORFlowID-$version-Linux-x86_64
mv "$work/stage/stage-x86_64" "$work/stage/$x86_name"
pack_tar_gz "$x86_name" "$out/$x86_name.tar.gz"
artifacts+=("linux-x86_64 $x86_name.tar.gz")

build_and_stage linux-aarch64 build-release-aarch64 stage-aarch64 --toolchain cmake/aarch64-linux-gnu.cmake
arm_name=KORFlowID-$version-Linux-aarch64
mv "$work/stage/stage-aarch64" "$work/stage/$arm_name"
pack_tar_gz "$arm_name" "$out/$arm_name.tar.gz"
artifacts+=("linux-aarch64 $arm_name.tar.gz")

build_and_stage windows build-release-windows stage-windows --toolchain cmake/mingw-w64.cmake
win_name=KORFlowID-$version-win64
mv "$work/stage/stage-windows" "$work/stage/$win_name"
pack_zip "$win_name" "$out/$win_name.zip"
artifacts+=("windows $win_name.zip")

# The distribution packages, as their presets build them; CPack's DEB generator and rpmbuild (through
# cmake/KORFlowIDCPackOptions.cmake) both take their times from SOURCE_DATE_EPOCH.
for kind in deb rpm; do
  say "building the $kind packages ($SECONDS s so far)"
  run "$kind" cmake --workflow --preset "$kind"
  for file in "build-$kind/packages/"*."$kind"; do
    cp "$file" "$out/"
    artifacts+=("$kind $(basename "$file")")
  done
done

# The wheels, once the project has their presets.
for preset in python python-arm64; do
  grep -q "\"name\": *\"$preset\"" CMakePresets.json || continue
  say "building the wheel of preset $preset ($SECONDS s so far)"
  binary_dir=build-$preset
  run "$preset" cmake --workflow --preset "$preset"
  mapfile -t wheels < <(find "$binary_dir" -name '*.whl' | LC_ALL=C sort)
  [ ${#wheels[@]} = 1 ] || { say "preset $preset left ${#wheels[@]} wheels: ${wheels[*]}"; exit 1; }
  cp "${wheels[0]}" "$out/"
  artifacts+=("$preset $(basename "${wheels[0]}")")
done

source_name=KORFlowID-$version-source.tar.gz
git -C "$repo" archive --format=tar --prefix="KORFlowID-$version/" "$commit" | gzip -9 -n >"$out/$source_name"
artifacts+=("source $source_name")

# BUILDINFO: for each toolchain, the Debian package and version of every part that went into a file.
package_of() {  # a file's Debian package and version
  local file package
  file=$(realpath "$1")
  package=$(dpkg -S "$file" 2>/dev/null | head -n 1 | cut -d: -f1) || true
  if [ -n "$package" ]; then
    echo "$package $(dpkg-query -W -f '${Version}' "$package")"
  else
    echo "(not from a Debian package: $file)"
  fi
}
toolchain() {  # prefix of the cross tools ("" for the host's), the C++ compiler
  local cxx=$2 ld
  ld=$(command -v "${1}ld")
  echo "  compiler: $("$cxx" --version | head -n 1) [$(package_of "$(command -v "$cxx")")]"
  echo "  binutils: $("$ld" --version | head -n 1) [$(package_of "$ld")]"
  echo "  C++ runtime: libstdc++ [$(package_of "$("$cxx" -print-file-name=libstdc++.a)")]"
}
{
  echo "KORFlowID $version"
  echo "commit: $commit"
  echo "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH"
  echo "build system: $(. /etc/os-release && echo "$PRETTY_NAME"), $(uname -m)"
  echo "CMake: $(cmake --version | head -n 1) [$(package_of "$(command -v cmake)")]"
  echo
  echo "linux-x86_64, deb, rpm: the host's toolchain"
  toolchain "" g++
  echo "  C library: glibc [$(package_of "$(g++ -print-file-name=libc.a)")]"
  echo "  dpkg: $(dpkg-deb --version | head -n 1) [$(package_of "$(command -v dpkg-deb)")]"
  echo "  rpm: $(rpmbuild --version | head -n 1) [$(package_of "$(command -v rpmbuild)")]"
  echo "linux-aarch64: Debian's cross toolchain"
  toolchain aarch64-linux-gnu- aarch64-linux-gnu-g++
  echo "  C library: glibc [$(package_of "$(aarch64-linux-gnu-g++ -print-file-name=libc.a)")]"
  echo "windows: MinGW-w64, posix threads"
  toolchain x86_64-w64-mingw32- x86_64-w64-mingw32-g++-posix
  echo "  MinGW-w64 runtime: [$(package_of "$(x86_64-w64-mingw32-g++-posix -print-file-name=libmsvcrt.a)")]"
  echo "  MSVC import library: llvm-dlltool [$(package_of "$(command -v llvm-dlltool)")]"
  echo "archives: $(tar --version | head -n 1), $(gzip --version | head -n 1), $(zip -v | sed -n 2p | sed 's/^ *//')"
  echo
  echo "files:"
  for artifact in "${artifacts[@]}"; do echo "  ${artifact#* } (${artifact%% *})"; done
} >"$out/BUILDINFO"

# Every shipped file unpacked, for the SBOM's look at the binaries inside.
unpacked=$work/unpacked
sbom_args=()
for artifact in "${artifacts[@]}"; do
  kind=${artifact%% *} file=${artifact#* }
  dir=$unpacked/$file
  mkdir -p "$dir"
  case $file in
    *.tar.gz) tar -xzf "$out/$file" -C "$dir" ;;
    *.zip | *.whl) (cd "$dir" && unzip -q "$out/$file") ;;
    *.deb) dpkg-deb -x "$out/$file" "$dir" ;;
    *.rpm) (cd "$dir" && rpm2cpio "$out/$file" | cpio -idm --quiet) ;;
  esac
  sbom_args+=("$kind=$out/$file=$dir")
done
python3 "$src/scripts/release-sbom.py" --version "$version" --commit "$commit" --epoch "$SOURCE_DATE_EPOCH" \
  --buildinfo "$out/BUILDINFO" --output "$out/KORFlowID-$version.spdx.json" "${sbom_args[@]}"

(cd "$out" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort | xargs sha256sum --) \
  >"$out/SHA256SUMS"
if [ -n "$keep" ]; then
  mv "$src" "$keep"
  say "source tree and build folders kept in $keep"
fi
say "$(wc -l <"$out/SHA256SUMS") files in $out after $SECONDS s:"
(cd "$out" && ls -l --time-style=+ | sed 1d) >&2
