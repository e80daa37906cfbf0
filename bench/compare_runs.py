#!/usr/bin/env python3
"""Summarises alternate runs of two builds of bench/sw_drag_bench.

Usage: compare_runs.py BASE_LABEL NEW_LABEL RUN_DIR

RUN_DIR holds base.N.json and new.N.json (Google Benchmark's JSON, one
repetition each), written in turn: base.1, new.1, base.2, new.2, ...
For each case it prints, per side, the median and range over the runs, and
the ratio base / new taken pair by pair (run N of each side were made in the
same minute): for the kernel cases the mean and the fastest pass in ns per
segment, for the drag and mouse-down cases the ratio to their floor.
"""
import glob
import json
import os
import statistics
import sys


def load(run_dir, side):
    runs = []
    for path in sorted(glob.glob(os.path.join(run_dir, side + ".*.json")),
                       key=lambda p: int(p.rsplit(".", 2)[-2])):
        with open(path) as f:
            runs.append({b["name"]: b for b in json.load(f)["benchmarks"]
                         if b.get("run_type", "iteration") == "iteration" and not b.get("error_occurred")})
    return runs


def segments(name):
    shape = name.split("/", 1)[1]
    paths, per_path = shape.split("x")
    return int(paths) * int(per_path)


UNIT = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def figures(case, bench):
    """The figures of one run of a case: (label, value, lower is better)."""
    if case.startswith("kernel_"):
        seconds = bench["real_time"] * UNIT[bench["time_unit"]]
        return [("ns/segment", seconds * 1e9 / segments(case)), ("fastest pass", bench.get("fastest_ns", 0.0))]
    if "ratio" in bench:
        return [("of its floor", bench["ratio"])]
    return []


def spread(values):
    return "%.3f (%.3f-%.3f)" % (statistics.median(values), min(values), max(values))


def main():
    base_label, new_label, run_dir = sys.argv[1:4]
    base, new = load(run_dir, "base"), load(run_dir, "new")
    pairs = min(len(base), len(new))
    if pairs == 0:
        sys.exit("no runs in " + run_dir)
    cases = [name for name in new[0] if name in base[0]]
    print("%d runs of each, alternately; medians (ranges)" % pairs)
    print("%-24s %-14s %-22s %-22s %s" % ("case", "figure", base_label, new_label, "base / new"))
    for case in cases:
        per_run = [(figures(case, base[i][case]), figures(case, new[i][case])) for i in range(pairs)
                   if case in base[i] and case in new[i]]
        if not per_run or not per_run[0][0]:
            continue
        for k, (label, _) in enumerate(per_run[0][0]):
            b = [run[0][k][1] for run in per_run]
            n = [run[1][k][1] for run in per_run]
            ratios = [x / y for x, y in zip(b, n) if y > 0]
            print("%-24s %-14s %-22s %-22s %s" % (case, label, spread(b), spread(n), spread(ratios) if ratios else "-"))


if __name__ == "__main__":
    main()
