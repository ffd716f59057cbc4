#!/usr/bin/env bash
# Fails when an ELF file asks for more than the oldest enterprise Linux we support (RHEL 8) gives: any
# symbol version outside what glibc 2.28 and GCC 8's runtimes define (GLIBC_2.2.5 to 2.28, on arm64
# GLIBC_2.17 to 2.28; GLIBCXX_3.4 to 3.4.25; CXXABI_1.3 to 1.3.11; GCC_3.0 to 7.0.0), so also any name
# without a number (GLIBC_PRIVATE, GLIBC_ABI_DT_RELR), or a library beyond the C and C++ runtimes and
# KORFlowID itself. Prints each file's newest versions and needed libraries.
#   scripts/check-symbol-versions.sh FILE...
# Reads the version references with readelf, which reads ELF files of any architecture. A static
# executable has none, and passes. Status: 0 all pass, 1 a file asks for too much, 2 a usage error.
set -euo pipefail
export LC_ALL=C

# What RHEL 8 defines, by version namespace: the oldest and the newest version. Anything else is
# refused, names of a namespace not listed here too; glibc's oldest differs by architecture.
declare -A oldest=([GLIBCXX]=3.4 [CXXABI]=1.3 [GCC]=3.0)
declare -A newest_allowed=([GLIBC]=2.28 [GLIBCXX]=3.4.25 [CXXABI]=1.3.11 [GCC]=7.0.0)
declare -A glibc_oldest=([X86-64]=2.2.5 [AArch64]=2.17)
allowed_libraries='^(libc\.so\.6|libm\.so\.6|libstdc\+\+\.so\.6|libgcc_s\.so\.1|ld-linux-[a-z0-9_-]+\.so\.[0-9]+|libKORFlowID\.so\.[0-9]+)$'
own_library='^libKORFlowID\.so\.[0-9]+$'

case ${1:-} in
  -h | --help) sed -n '2,9s/^# \{0,1\}//p' "$0"; exit 0 ;;
  '') sed -n '2,9s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
esac
command -v readelf >/dev/null || { echo "check-symbol-versions: needs readelf (binutils)" >&2; exit 2; }

# Whether version $1 sorts after version $2.
newer() { [ "$1" != "$2" ] && [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1)" = "$1" ]; }

# Why a version reference is not on the allow-list, or nothing when it is; $2 is readelf's machine.
refusal() {
  local reference=$1 machine=$2 namespace version low high
  if ! [[ $reference =~ ^([A-Z]+)_([0-9]+(\.[0-9]+)*)$ ]]; then
    echo "not among RHEL 8's versions"
    return
  fi
  namespace=${BASH_REMATCH[1]} version=${BASH_REMATCH[2]}
  high=${newest_allowed[$namespace]:-}
  low=${oldest[$namespace]:-}
  [ "$namespace" = GLIBC ] && low=${glibc_oldest[$machine]:-}
  if [ -z "$high" ] || [ -z "$low" ]; then
    echo "not among RHEL 8's versions${machine:+ for $machine}"
  elif newer "$version" "$high"; then
    echo "above ${namespace}_$high"
  elif newer "$low" "$version"; then
    echo "below ${namespace}_$low"
  fi
}

failed=0
for file in "$@"; do
  if [ ! -f "$file" ] || [ "$(od -An -tx1 -N4 "$file" | tr -d ' ')" != 7f454c46 ]; then
    echo "check-symbol-versions: $file is not an ELF file" >&2
    exit 2
  fi
  problems=()
  machine=$(readelf -h -W "$file" | sed -n 's/^ *Machine: *//p')
  case $machine in
    *X86-64*) machine=X86-64 ;;
    AArch64) ;;
  esac
  # Only the section of needed versions, as "library version" lines; the one of defined versions names
  # the file's own.
  needs=$(readelf -V -W "$file" | awk '
    /^Version needs section/ { inside = 1; next }
    /^Version (definition|symbols) section/ { inside = 0 }
    inside && match($0, /File: [^ ]+/) { library = substr($0, RSTART + 6, RLENGTH - 6) }
    inside && match($0, /Name: [^ ]+/) { print library, substr($0, RSTART + 6, RLENGTH - 6) }' | sort -u)
  references=$(awk '{ print $2 }' <<<"$needs" | sort -u)
  newest=()
  for namespace in GLIBC GLIBCXX CXXABI GCC; do
    latest=$(grep "^${namespace}_[0-9]" <<<"$references" | sed "s/^${namespace}_//" | sort -V | tail -n 1 || true)
    [ -n "$latest" ] && newest+=("${namespace}_$latest")
  done
  while read -r library reference; do
    [ -n "$reference" ] || continue
    [[ $library =~ $own_library ]] && continue
    why=$(refusal "$reference" "$machine")
    [ -n "$why" ] || continue
    # The symbols that bring it, for whoever has to remove them.
    symbols=$(readelf --dyn-syms -W "$file" |
      awk -v reference="$reference" '{ n = split($8, part, "@"); if (n > 1 && part[n] == reference) print part[1] }' |
      sort -u | tr '\n' ' ')
    symbols=${symbols% }
    problems+=("$reference of $library ($why) from: ${symbols:-no symbol, the linker asks for it}")
  done <<<"$needs"
  needed=$(readelf -d -W "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
  while IFS= read -r library; do
    [ -n "$library" ] && ! [[ $library =~ $allowed_libraries ]] && problems+=("needs $library")
  done <<<"$needed"

  if [ -z "$needed" ] && [ -z "$references" ]; then
    summary="no version references, no libraries (static)"
  else
    summary="${newest[*]:-no version references}; needs ${needed//$'\n'/ }"
  fi
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok   $file: $summary"
  else
    echo "FAIL $file: $summary"
    printf '       %s\n' "${problems[@]}"
    failed=1
  fi
done
exit "$failed"
