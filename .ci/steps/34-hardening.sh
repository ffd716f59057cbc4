#!/usr/bin/env bash
# The hardening of every binary that the release (.ci/steps/33-release.sh, build-release/) ships, read
# from the shipped files: each ELF file with full RELRO (GNU_RELRO and BIND_NOW), a non-executable stack,
# executables position independent; the stack protector and _FORTIFY_SOURCE from the shared library's
# imports where a file shows them, and for every file from the compile commands of the build it came
# from (a static, stripped tool shows neither). The DLL and the tool for Windows keep ASLR with a
# high-entropy base and DEP, and import only KERNEL32 and msvcrt. Prints the table per file.
set -euo pipefail
cd "$(dirname "$0")/../.."
release=$PWD/build-release
out=$release/out
builds=$release/builds
[ -f "$out/SHA256SUMS" ] && [ -d "$builds" ] ||
  { echo "no release with its builds in $release: run .ci/steps/33-release.sh first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Every compile of a release build optimised, with the stack protector and _FORTIFY_SOURCE=2, and no
# sanitizer; and the objects do call the checks (a flag that changes nothing would pass the first test).
check_build() {  # build folder: prints "yes" or the reason it fails
  local build=$builds/$1 commands
  commands=$build/compile_commands.json
  [ -f "$commands" ] || { echo "no compile commands"; return; }
  python3 - "$commands" <<'PY' || return 0
import json, sys
bad = []
for entry in json.load(open(sys.argv[1])):
    words = entry.get("command", " ".join(entry.get("arguments", []))).split()
    missing = [flag for flag in ("-fstack-protector-strong", "-D_FORTIFY_SOURCE=2") if flag not in words]
    if not any(w in ("-O2", "-O3", "-Os") for w in words):
        missing.append("-O2 or more")
    if any(w.startswith("-fsanitize") for w in words):
        missing.append("no sanitizer")
    if missing:
        bad.append(entry["file"].split("/")[-1] + ": " + ", ".join(missing))
if bad:
    print("compiled without " + "; ".join(bad))
    sys.exit(1)
PY
  local objects protected fortified
  objects=$(find "$build" -name '*.o' -path '*KORFlowID_objects.dir*' -o -name '*.o' -path '*korflowid.dir*')
  # shellcheck disable=SC2086
  protected=$(nm -u $objects 2>/dev/null | grep -c ' __stack_chk_fail$' || true)
  # shellcheck disable=SC2086
  fortified=$(nm -u $objects 2>/dev/null | grep -cE ' __[a-z_]+_chk$' || true)
  [ "$protected" -gt 0 ] && [ "$fortified" -gt 0 ] ||
    { echo "objects call __stack_chk_fail $protected times, checked functions (__*_chk) $fortified times"; return; }
  echo yes
}
declare -A build_verdict
# Every Linux build of the release: the tarballs', the packages' and the wheels' (where there are any).
for build in $(cd "$builds" && ls -d build-* | grep -v windows); do
  build_verdict[$build]=$(check_build "$build")
  [ "${build_verdict[$build]}" = yes ] || fail "$build: ${build_verdict[$build]}"
done
build_of() {  # shipped file -> its build folder
  case $1 in
    *-Linux-x86_64.tar.gz) echo build-release-x86_64 ;;
    *-Linux-aarch64.tar.gz) echo build-release-aarch64 ;;
    *.deb) echo build-deb ;;
    *.rpm) echo build-rpm ;;
    *.whl) basename "$(dirname "$(find "$builds" -maxdepth 3 -name "$1" | head -n 1)")" ;;
  esac
}

table="| file | in | RELRO | BIND_NOW | NX stack | PIE | stack protector | FORTIFY_SOURCE |
| --- | --- | --- | --- | --- | --- | --- | --- |"
row() { table+=$'\n'"| $* |"; }
mapfile -t shipped < <(cd "$out" && ls -- *.tar.gz *.deb *.rpm *.whl *.zip 2>/dev/null | grep -v -- '-source\.tar\.gz$')
elves=0
for file in "${shipped[@]}"; do
  dir=$work/$file
  mkdir -p "$dir"
  case $file in
    *.tar.gz) tar -xzf "$out/$file" -C "$dir" ;;
    *.deb) dpkg-deb -x "$out/$file" "$dir" ;;
    *.rpm) (cd "$dir" && rpm2cpio "$out/$file" | cpio -idm --quiet) ;;
    *.zip | *.whl) (cd "$dir" && unzip -q "$out/$file") ;;
  esac
  while IFS= read -r -d '' binary; do
    name=${binary#"$dir"/}
    case $(od -An -tx1 -N4 "$binary" | tr -d ' ') in
      7f454c46) ;;
      4d5a*)
        characteristics=$(x86_64-w64-mingw32-objdump -p "$binary")
        imports=$(sed -n 's/^\tDLL Name: //p' <<<"$characteristics" | LC_ALL=C sort | tr '\n' ' ')
        for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
          grep -qx $'\t*'"$flag" <<<"$characteristics" || fail "$file: $name lacks $flag"
        done
        # The tool imports the library too.
        [ "${imports/KORFlowID.dll /}" = "KERNEL32.dll msvcrt.dll " ] || fail "$file: $name imports $imports"
        row "$name | $file | - | - | NX_COMPAT | DYNAMIC_BASE, HIGH_ENTROPY_VA | no (would import ADVAPI32) | no"
        continue ;;
      *) continue ;;
    esac
    elves=$((elves + 1))
    segments=$(readelf -lW "$binary")
    dynamic=$(readelf -dW "$binary")
    type=$(readelf -hW "$binary" | sed -n 's/^ *Type: *//p')
    symbols=$(readelf --dyn-syms -W "$binary")
    relro=no bind_now=no nx=no pie=- protector=no fortify=no
    grep -q GNU_RELRO <<<"$segments" && relro=yes
    grep -qE '\(BIND_NOW\)|\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' <<<"$dynamic" && bind_now=yes
    [ "$(awk '$1 == "GNU_STACK" { print $7 }' <<<"$segments")" = RW ] && nx=yes
    if grep -q '(SONAME)' <<<"$dynamic"; then
      pie="- (library)"
    else
      [[ $type == DYN* ]] && grep -q '(FLAGS_1).*PIE' <<<"$dynamic" && pie=yes || pie=no
      grep -q INTERP <<<"$segments" || pie+=" (static)"
    fi
    build=$(build_of "$file")
    verdict=${build_verdict[$build]:-}
    if grep -q ' __stack_chk_fail' <<<"$symbols"; then protector="yes (imports __stack_chk_fail)"
    elif [ "$verdict" = yes ]; then protector="yes (its build)"; fi
    if grep -qE ' __[a-z_]+_chk@' <<<"$symbols" && [ "$verdict" = yes ]; then fortify="yes (imports __*_chk)"
    elif [ "$verdict" = yes ]; then fortify="yes (its build)"; fi
    for property in relro bind_now nx pie protector fortify; do
      [[ ${!property} == no* ]] && fail "$file: $name: $property ${!property}"
    done
    row "$name | $file | $relro | $bind_now | $nx | $pie | $protector | $fortify"
  done < <(find "$dir" -type f -print0 | LC_ALL=C sort -z)
done
echo "$table"
[ "$elves" -gt 0 ] || fail "no ELF file in the release"
[ "$failed" = 0 ] || exit 1
echo "== hardening: $elves ELF files and the Windows binaries as they should be"
