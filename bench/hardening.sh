#!/bin/sh
# The hardened build (the default) against one built with KORFLOWID_HARDENING=OFF, in one session:
# both benchmarks built in Release, then run in turn, ROUNDS times each (default 3), so that a change in
# the machine's load falls on both alike. Prints each library figure's median over the rounds, the ratio
# hardened/unhardened, and the unhardened build's own spread (its slowest round over its fastest): a
# ratio inside that spread is no cost that this machine can show.
# Usage: bench/hardening.sh [rounds] [extra benchmark flags]
# Build folders: build-bench (hardened, as bench/run.sh uses) and build-bench-unhardened.
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-3}
[ $# -gt 0 ] && shift
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

for variant in hardened unhardened; do
  build=$source_dir/build-bench
  hardening=ON
  if [ "$variant" = unhardened ]; then build=$source_dir/build-bench-unhardened; hardening=OFF; fi
  cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORFLOWID_HARDENING=$hardening \
    -DKORFLOWID_BUILD_BENCH=ON -DKORFLOWID_BUILD_TESTS=OFF -DKORFLOWID_BUILD_TOOLS=OFF >/dev/null
  cmake --build "$build" --target korflowid_bench -j2 >/dev/null
done
echo "Machine: $(nproc) CPUs; load before the runs: $(cut -d ' ' -f 1-3 /proc/loadavg)" >&2

round=1
while [ "$round" -le "$rounds" ]; do
  for variant in hardened unhardened; do
    build=$source_dir/build-bench
    [ "$variant" = unhardened ] && build=$source_dir/build-bench-unhardened
    echo "round $round: $variant" >&2
    "$build/bench/korflowid_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
      --benchmark_enable_random_interleaving=true --benchmark_out="$results/$variant-$round.json" \
      --benchmark_out_format=json "$@" >/dev/null
  done
  round=$((round + 1))
done

python3 - "$results" <<'PY'
import glob, json, os, statistics, sys

def medians(path):
    with open(path) as f:
        data = json.load(f)
    return {b["run_name"]: b["real_time"] * {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
            for b in data["benchmarks"] if b.get("aggregate_name") == "median" and "/floor" not in b["run_name"]}

runs = {v: [medians(p) for p in sorted(glob.glob(os.path.join(sys.argv[1], v + "-*.json")))]
        for v in ("hardened", "unhardened")}
print(f"Median over {len(runs['hardened'])} interleaved rounds (each the median of 5 repetitions), real time.")
print()
print("| Benchmark | Unhardened | Hardened | Hardened/unhardened | Unhardened spread (slowest/fastest round) | Within spread |")
print("|---|---:|---:|---:|---:|:---:|")
for name in sorted(runs["unhardened"][0]):
    plain = [r[name] for r in runs["unhardened"] if name in r]
    hard = [r[name] for r in runs["hardened"] if name in r]
    ratio = statistics.median(hard) / statistics.median(plain)
    spread = max(plain) / min(plain)
    within = ratio <= spread
    show = lambda ns: f"{ns:.1f} ns" if ns < 1e4 else f"{ns / 1e3:.1f} µs" if ns < 1e7 else f"{ns / 1e6:.2f} ms"
    print(f"| {name} | {show(statistics.median(plain))} | {show(statistics.median(hard))} | {ratio:.3f} | "
          f"{spread:.3f} | {'yes' if within else 'NO'} |")
PY
