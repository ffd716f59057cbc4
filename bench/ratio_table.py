#!/usr/bin/env python3
"""Prints the Markdown table of korflowid_bench's JSON output: each library figure beside its floor.

Usage: ratio_table.py BENCH.json [--time real|cpu]

Takes the median of the repetitions (--benchmark_repetitions=N); the spread beside the library figure is
the coefficient of variation of its repetitions. Names are "<series>/library/<size>"
and "<series>/floor/<size>"; a benchmark without a floor is listed alone.
"""

import argparse
import json
import sys

SERIES = {
    "flow_code": "KORFlowID(char*, unsigned int)",
    "first_flow_id": "First, uncached GetFlowId",
    "report": "KORFlowID(), report fits",
    "large_versions": "KORFlowID(), many version files",
    "large_patches": "KORFlowID(), many patch files",
    "cached_label_query_first_line": "Cached label query, first line (GetInstallId)",
    "cached_label_query": "Cached label query, last line of 19,990 bytes (GetUpdateName)",
    "version_text": "GetVersionText of 19,990 bytes, floor memcpy",
    "cached_flow_id": "Cached GetFlowId",
    "cached_flow_string": "Cached GetFlowString",
    "cached_flow_version_id": "Cached GetFlowVersionId",
    "cached_flow_version_string": "Cached GetFlowVersionString",
    "c_flow": "Cached kor_flow, floor the cached GetFlowId",
    "c_install_id": "Cached kor_value(KOR_FIELD_INSTALL_ID), floor the cached GetInstallId",
}

UNIT_TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def medians(benchmarks, time_key):
    """run_name -> median time in nanoseconds."""
    result = {}
    for b in benchmarks:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("error_occurred"):
            result[b["run_name"]] = None
            continue
        # Without repetitions there is one plain run; it stands in for the median.
        if b.get("run_type") == "iteration" and b["run_name"] in result:
            continue
        result[b["run_name"]] = b[time_key] * UNIT_TO_NS[b.get("time_unit", "ns")]
    return result


def spreads(benchmarks, time_key):
    """run_name -> coefficient of variation of the repetitions (stddev / mean), as a fraction."""
    return {b["run_name"]: b[time_key] for b in benchmarks
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") == "cv"}


def allocations(benchmarks):
    """run_name -> operator new calls per call, for the benchmarks that count them."""
    result = {}
    for b in benchmarks:
        if "allocs_per_call" in b and (b.get("run_type") != "aggregate" or b.get("aggregate_name") == "median"):
            result[b["run_name"]] = b["allocs_per_call"]
    return result


def split(run_name):
    """("report", "library", "100") from "report/library/100"; ("x", None, "") for "x"."""
    parts = run_name.split("/")
    role = parts[1] if len(parts) > 1 and parts[1] in ("library", "floor") else None
    size = parts[2] if role and len(parts) > 2 else ""
    return parts[0], role, size


def show(ns):
    if ns is None:
        return "error"
    if ns < 10_000:
        return f"{ns:.1f} ns" if ns < 100 else f"{ns:.0f} ns"
    if ns < 10_000_000:
        return f"{ns / 1e3:.1f} µs"
    return f"{ns / 1e6:.2f} ms"


def size_text(size):
    return f"{int(size):,}" if size.isdigit() else (size or "—")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("json_file")
    parser.add_argument("--time", choices=("real", "cpu"), default="real")
    args = parser.parse_args()

    with open(args.json_file, encoding="utf-8") as f:
        data = json.load(f)
    times = medians(data["benchmarks"], args.time + "_time")
    # CPU time beside: on a shared machine it shifts less with the other load than wall-clock time.
    cpu_times = medians(data["benchmarks"], "cpu_time")
    allocs = allocations(data["benchmarks"])
    cvs = spreads(data["benchmarks"], args.time + "_time")

    rows = {}  # (series, size) -> {"library": ns, "floor": ns}
    cpu_rows = {}
    alloc_rows = {}  # (series, size) -> allocations per call of the library
    spread_rows = {}  # (series, size) -> coefficient of variation of the library's repetitions
    for run_name, ns in times.items():
        series, role, size = split(run_name)
        rows.setdefault((series, size), {})[role or "library"] = ns
        cpu_rows.setdefault((series, size), {})[role or "library"] = cpu_times.get(run_name)
        if (role or "library") == "library" and run_name in allocs:
            alloc_rows[(series, size)] = allocs[run_name]
        if (role or "library") == "library" and run_name in cvs:
            spread_rows[(series, size)] = cvs[run_name]

    context = data.get("context", {})
    load = context.get("load_avg")
    repetitions = next((b.get("repetitions") for b in data["benchmarks"] if b.get("repetitions")), 1)
    print(f"Median of {repetitions} repetitions, {args.time} time; {context.get('num_cpus', '?')} CPUs at "
          f"{context.get('mhz_per_cpu', '?')} MHz" + (f"; load average {', '.join(f'{x:.2f}' for x in load)}"
                                                      if load else "") + ".")
    print()
    print("| What | Size | Library | Spread | Floor | Library/floor | Same in CPU time | Allocations per call |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|")
    # Random interleaving scatters the runs; list them by series, then by size.
    def order(key):
        series, size = key
        return (list(SERIES).index(series) if series in SERIES else len(SERIES), int(size) if size.isdigit() else 0)

    for (series, size), figures in sorted(rows.items(), key=lambda item: order(item[0])):
        cells = []
        for pair in (figures, cpu_rows[(series, size)]):
            library, floor = pair.get("library"), pair.get("floor")
            cells.append(f"{library / floor:.2f}" if library and floor else "—")
        alloc = alloc_rows.get((series, size))
        spread = spread_rows.get((series, size))
        print(f"| {SERIES.get(series, series)} | {size_text(size)} | {show(figures.get('library'))} | "
              f"{f'{spread:.0%}' if spread is not None else '—'} | "
              f"{show(figures.get('floor')) if 'floor' in figures else '—'} | {cells[0]} | {cells[1]} | "
              f"{f'{alloc:g}' if alloc is not None else '—'} |")

    growth = []
    for series in dict.fromkeys(s for s, _ in sorted(rows, key=order)):
        small, large = rows.get((series, "1000")), rows.get((series, "10000"))
        if not small or not large:
            continue
        for role in ("library", "floor"):
            if small.get(role) and large.get(role):
                growth.append((series, role, large[role] / small[role]))
    if growth:
        print()
        print("| Growth from 1,000 to 10,000 files | Library | Floor |")
        print("|---|---:|---:|")
        for series in dict.fromkeys(s for s, _, _ in growth):
            by_role = {role: g for s, role, g in growth if s == series}
            cells = [f"{by_role[r]:.1f}x" if r in by_role else "—" for r in ("library", "floor")]
            print(f"| {SERIES.get(series, series)} | {cells[0]} | {cells[1]} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
