#!/usr/bin/env bash
# Fails when an ELF file asks for more than the oldest enterprise Linux we support (RHEL 8) gives:
# symbol versions newer than GLIBC_2.28, GLIBCXX_3.4.25 or CXXABI_1.3.11, or a library beyond the C and
# C++ runtimes and KORFlowID itself. Prints each file's newest versions and needed libraries.
#   scripts/check-symbol-versions.sh FILE...
# Reads the version references with readelf, which reads ELF files of any architecture. A static
# executable has none, and passes. Status: 0 all pass, 1 a file asks for too much, 2 a usage error.
set -euo pipefail
export LC_ALL=C

# Ceilings by version namespace: what glibc 2.28 and GCC 8's libstdc++ define.
declare -A ceiling=([GLIBC]=2.28 [GLIBCXX]=3.4.25 [CXXABI]=1.3.11)
allowed_libraries='^(libc\.so\.6|libm\.so\.6|libstdc\+\+\.so\.6|libgcc_s\.so\.1|ld-linux-[a-z0-9_-]+\.so\.[0-9]+|libKORFlowID\.so\.[0-9]+)$'

case ${1:-} in
  -h | --help) sed -n '2,7s/^# \{0,1\}//p' "$0"; exit 0 ;;
  '') sed -n '2,7s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
esac
command -v readelf >/dev/null || { echo "check-symbol-versions: needs readelf (binutils)" >&2; exit 2; }

newer() { [ "$1" != "$2" ] && [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1)" = "$1" ]; }

failed=0
for file in "$@"; do
  if [ ! -f "$file" ] || [ "$(od -An -tx1 -N4 "$file" | tr -d ' ')" != 7f454c46 ]; then
    echo "check-symbol-versions: $file is not an ELF file" >&2
    exit 2
  fi
  problems=()
  # Only the section of needed versions; the one of defined versions names the file's own.
  references=$(readelf -V -W "$file" | awk '
    /^Version needs section/ { inside = 1; next }
    /^Version (definition|symbols) section/ { inside = 0 }
    inside && match($0, /Name: [A-Za-z_]+_[0-9.]+/) { print substr($0, RSTART + 6, RLENGTH - 6) }' | sort -u)
  newest=()
  for namespace in GLIBC GLIBCXX CXXABI GCC; do
    latest=$(grep "^${namespace}_[0-9]" <<<"$references" | sed "s/^${namespace}_//" | sort -V | tail -n 1 || true)
    [ -n "$latest" ] || continue
    newest+=("${namespace}_$latest")
    limit=${ceiling[$namespace]:-}
    [ -n "$limit" ] || continue
    while IFS= read -r version; do
      newer "$version" "$limit" || continue
      # The symbols that bring it, for whoever has to remove them.
      symbols=$(readelf --dyn-syms -W "$file" | grep -o "[^ ]*@${namespace}_$version\b" | sed 's/@.*//' | sort -u |
        tr '\n' ' ')
      problems+=("${namespace}_$version (above ${namespace}_$limit) from: ${symbols% }")
    done < <(grep "^${namespace}_[0-9]" <<<"$references" | sed "s/^${namespace}_//")
  done
  needed=$(readelf -d -W "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
  while IFS= read -r library; do
    [ -n "$library" ] && ! [[ $library =~ $allowed_libraries ]] && problems+=("needs $library")
  done <<<"$needed"

  if [ -z "$needed" ] && [ -z "$references" ]; then
    summary="no version references, no libraries (static)"
  else
    summary="${newest[*]:-no version references}; needs $(echo $needed)"
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
