#!/usr/bin/env bash
# Each libFuzzer target for a bounded time on its seed corpus (fuzz/corpus/<target>/, left
# unchanged); any crash, sanitizer report, leak, timeout or violated property fails the step.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
seconds=${FUZZ_SECONDS:-60}
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORFLOWID_BUILD_FUZZ=ON \
  -DKORFLOWID_SANITIZE=address,undefined -DKORFLOWID_WARNINGS_AS_ERRORS=ON \
  -DKORFLOWID_BUILD_TESTS=OFF -DKORFLOWID_BUILD_TOOLS=OFF -DKORFLOWID_BUILD_BENCH=OFF
cmake --build build-fuzz -j2 --target flow_directory_fuzz report_assembly_fuzz report_query_fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in flow_directory_fuzz report_assembly_fuzz report_query_fuzz; do
  mkdir -p "$work/$target"
  echo "== $target for $seconds s"
  # New inputs go to the scratch corpus; the seeds are only read.
  if ! build-fuzz/fuzz/$target -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$work/$target-" "$work/$target" "fuzz/corpus/$target" > "$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log"
    for artifact in "$work/$target"-*; do
      [ -e "$artifact" ] && echo "finding: $(basename "$artifact") base64 $(base64 -w0 "$artifact")"
    done
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$target.log" || true
done
echo "== fuzzing passed in $((SECONDS - started)) s"
