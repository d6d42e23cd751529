#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Ratio table of the host benchmark: for every row, libkrc's time divided by
the best peer's, for the shared and the static + LTO builds.

Input: Google Benchmark JSON files named host_shared-K.json and
host_static-K.json (K = run number; runs of the two builds interleaved, each
with repetitions in random order).  Each figure is the median over all
repetitions of the CPU time per operation; the ratio's spread is the range of
the per-run ratios (median krc over median best peer within one run)."""
import collections
import glob
import json
import statistics
import sys

def load(build, directory):
    runs = []
    for path in sorted(glob.glob(f"{directory}/host_{build}-*.json")):
        times = collections.defaultdict(list)
        for b in json.load(open(path))["benchmarks"]:
            if b.get("run_type") == "iteration":
                times[b["run_name"]].append(b["cpu_time"])
        runs.append(times)
    return runs

def order(directory):
    """Benchmark names in the order the program registers them."""
    path = sorted(glob.glob(f"{directory}/host_shared-*.json"))[0]
    index = {b["run_name"]: b["family_index"] for b in json.load(open(path))["benchmarks"]}
    return sorted(index, key=index.get)

def main(directory):
    builds = {b: load(b, directory) for b in ("shared", "static")}
    rows = []
    for name in order(directory):
        row = name.split("/")[0]
        if row not in rows:
            rows.append(row)
    print("| row | krc shared ns | krc static+LTO ns | best peer | peer ns | shared / peer (range) "
          "| static+LTO / peer (range) |")
    print("|---|---|---|---|---|---|---|")
    for row in rows:
        cells = {}
        for build, runs in builds.items():
            allt = collections.defaultdict(list)
            for times in runs:
                for name, t in times.items():
                    allt[name].extend(t)
            med = {n: statistics.median(t) for n, t in allt.items() if n.startswith(row + "/")}
            peers = {n: m for n, m in med.items() if n != row + "/krc"}
            best = min(peers, key=peers.get)
            ratios = [statistics.median(t[row + "/krc"]) / statistics.median(t[best]) for t in runs]
            cells[build] = (med[row + "/krc"], best.split("/", 1)[1], peers[best],
                            statistics.median(ratios), min(ratios), max(ratios))
        sh, st = cells["shared"], cells["static"]
        print(f"| {row} | {sh[0]:.2f} | {st[0]:.2f} | {st[1]} | {st[2]:.2f} "
              f"| {sh[3]:.2f} ({sh[4]:.2f}–{sh[5]:.2f}) | {st[3]:.2f} ({st[4]:.2f}–{st[5]:.2f}) |")

if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build/bench/results")
