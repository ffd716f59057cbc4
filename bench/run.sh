#!/bin/sh
# Builds korflowid_bench in Release, runs it once (5 repetitions in random interleaving, so that a
# passing load spike does not fall on one benchmark alone; medians) and prints the ratio table.
# Usage: bench/run.sh [extra benchmark flags, e.g. --benchmark_filter=report]
# The build directory is build-bench/ unless KORFLOWID_BENCH_BUILD_DIR names another.
set -eu

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${KORFLOWID_BENCH_BUILD_DIR:-$source_dir/build-bench}

cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
  -DKORFLOWID_BUILD_BENCH=ON -DKORFLOWID_BUILD_TESTS=OFF -DKORFLOWID_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build_dir" --target korflowid_bench -j2 >/dev/null

# The figures are only as good as the machine is idle; say how busy it was.
echo "Machine: $(nproc) CPUs, $(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -n 1);" \
  "load before the run: $(cut -d ' ' -f 1-3 /proc/loadavg)" >&2

"$build_dir/bench/korflowid_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_enable_random_interleaving=true \
  --benchmark_out="$build_dir/korflowid_bench.json" --benchmark_out_format=json "$@" >&2
python3 "$source_dir/bench/ratio_table.py" "$build_dir/korflowid_bench.json"
