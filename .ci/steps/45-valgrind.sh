#!/usr/bin/env bash
# The command-line tool under valgrind over the sample installation and over hostile trees made
# here: no memory error, no definite leak, no crash, whatever the tree holds.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
# The tool of build/ is static, and valgrind cannot follow a static glibc's heap: this one is linked to the
# shared library, as the Debian package's is, from the same sources.
cmake -S . -B build-valgrind -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORFLOWID_STATIC_TOOL=OFF \
  -DKORFLOWID_BUILD_TESTS=OFF -DKORFLOWID_BUILD_BENCH=OFF -DKORFLOWID_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build-valgrind -j2 --target korflowid >/dev/null
tool=$PWD/build-valgrind/tools/korflowid/korflowid
sample=$PWD/examples/RJGQ.2.1/kor
[ -d "$sample" ] || { echo "no sample installation at $sample" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
logs=$work/logs
mkdir -p "$logs"

# Special entries named like version files beside a good one, and odd patch names.
special=$work/special/RJGQ.2.1
mkdir -p "$special/kor" "$special/InstallVersions"
printf 'Install Id: 4711\nFlow Id: 3\n' > "$special/InstallVersions/InstallVersion_1.txt"
mkfifo "$special/InstallVersions/InstallVersion_fifo.txt"
mkdir "$special/InstallVersions/InstallVersion_dir.txt"
ln -s "$special/nowhere" "$special/InstallVersions/InstallVersion_dangling.txt"
ln -s "$special/InstallVersions/InstallVersion_loop.txt" "$special/InstallVersions/InstallVersion_loop.txt"
ln -s /dev/zero "$special/InstallVersions/InstallVersion_zero.txt"
ln -s /dev/urandom "$special/InstallVersions/InstallVersion_urandom.txt"
mkfifo "$special/patch_4.txt"
touch "$special/patch_$(printf 'z%.0s' $(seq 245)).txt" "$special/patch_ 5 .txt" "$special/patch_$(printf '\xfe\xff')7.txt"

# Huge files: a sparse 4 GiB version file, 1 MiB without a line feed, a sparse 4 GiB fallback.
huge=$work/huge/TAVOGQ.2/InstallVersion.txt
mkdir -p "$work/huge/TAVOGQ.2/kor" "$work/huge/TAVOGQ.2/InstallVersions"
truncate -s 4G "$work/huge/TAVOGQ.2/InstallVersions/InstallVersion_1.txt" "$huge"
head -c 1048576 /dev/zero | tr '\0' x > "$work/huge/TAVOGQ.2/InstallVersions/InstallVersion_2.txt"

# Odd bytes in lines: zero bytes, lone carriage returns, control-Z, 199 and 200 characters.
odd=$work/odd/KORGQ.1
mkdir -p "$odd/kor" "$odd/InstallVersions"
line199=$(printf 'x%.0s' $(seq 199))
printf 'Install Id: a\0b\r\nlone\rcr\nFull Flow Name: Vantorium Enterprise\n%s\n%sx\nafter\n' "$line199" "$line199" \
  > "$odd/InstallVersions/InstallVersion_1.txt"
printf 'UPDATE Name: U\x1a hidden\n' > "$odd/InstallVersions/InstallVersion_2.txt"

# Thousands of files, more than the report can hold (the test group goes to 10,000).
many=$work/many/MIRQGQ.2.2
mkdir -p "$many/kor" "$many/InstallVersions"
(cd "$many/InstallVersions" && seq 1 3000 | sed 's/.*/InstallVersion_&.txt/' | xargs touch)
(cd "$many" && seq 1 3000 | sed 's/.*/patch_&.txt/' | xargs touch)

# KOR_HOME values no installer writes: 1020 bytes, line breaks, relative, empty.
long=$work
while [ $((1020 - ${#long} - 14)) -gt 200 ]; do long=$long/$(printf 'd%.0s' $(seq 199)); done
long=$long/$(printf 'd%.0s' $(seq $((1020 - ${#long} - 14))))/RJGQ.2.1/kor
mkdir -p "$long"
breaks=$work/$'RJ\nGQ.2.1\r'/kor
mkdir -p "$breaks"

homes=("$sample" "$special/kor" "$work/huge/TAVOGQ.2/kor" "$odd/kor" "$many/kor" "$long" "$breaks" "kor" "")
failed=0
run=0
for home in "${homes[@]}"; do
  # --json asks every query of the library; the sample also goes through the other two outputs.
  modes=(--json)
  [ "$home" = "$sample" ] && modes=(--json --report "")
  for mode in "${modes[@]}"; do
    run=$((run + 1))
    log=$logs/$run.log
    status=0
    valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite --log-file="$log" \
      "$tool" --home "$home" $mode > "$logs/$run.out" 2>&1 || status=$?
    # The tool's own statuses say what it found (0, 2 or 3); 1 is a usage error or a valgrind finding.
    if ! grep -q 'ERROR SUMMARY: 0 errors' "$log" || grep -q 'Process terminating' "$log" ||
       [ "$status" = 1 ] || [ "$status" -gt 3 ]; then
      echo "== valgrind run $run failed (status $status): --home '${home:0:80}' $mode"
      cat "$log"
      failed=1
    fi
  done
done
# And with KOR_HOME not set at all.
run=$((run + 1))
status=0
env -u KOR_HOME valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
  --log-file="$logs/$run.log" "$tool" --report > /dev/null 2>&1 || status=$?
if ! grep -q 'ERROR SUMMARY: 0 errors' "$logs/$run.log" || [ "$status" = 1 ] || [ "$status" -gt 3 ]; then
  echo "== valgrind run $run failed (status $status): KOR_HOME unset"
  cat "$logs/$run.log"
  failed=1
fi
[ "$failed" = 0 ] || exit 1
echo "== valgrind: $run runs clean in $((SECONDS - started)) s"
