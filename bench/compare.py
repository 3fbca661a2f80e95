#!/usr/bin/env python3
"""The yardsticks of bench/compare.sh and its table.

  compare.py plistlib FILE ROUNDS   times plistlib.loads of FILE's bytes and plistlib.dumps of the tree it gives,
                                    ROUNDS times each; prints the times in milliseconds as JSON
  compare.py table DIR              prints the ratios from the JSON files that compare.sh left in DIR
"""
import glob
import json
import os
import plistlib
import statistics
import sys
import time


def time_plistlib(path, rounds):
    with open(path, "rb") as f:
        data = f.read()
    out = {"loads": [], "dumps": []}
    tree = None
    for _ in range(rounds):
        del tree  # the earlier tree's end is not counted
        start = time.perf_counter()
        tree = plistlib.loads(data)
        out["loads"].append((time.perf_counter() - start) * 1000)
        start = time.perf_counter()
        plistlib.dumps(tree, fmt=plistlib.FMT_BINARY)
        out["dumps"].append((time.perf_counter() - start) * 1000)
    out["bytes"] = len(data)
    print(json.dumps(out))


def medians(path):
    """Median real time in milliseconds of every benchmark in a Google Benchmark JSON file, by name."""
    with open(path) as f:
        report = json.load(f)
    runs = {}
    for b in report["benchmarks"]:
        if b.get("run_type") == "aggregate" or b.get("error_occurred"):
            continue
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
        name = "/".join(part for part in b["run_name"].split("/") if not part.startswith(("min_time:", "iterations:", "real_time")))
        runs.setdefault(name, []).append(b["real_time"] * scale)
    return {name: (statistics.median(times), len(times)) for name, times in runs.items()}


def table(folder):
    ours = {}
    for path in sorted(glob.glob(os.path.join(folder, "bench_*.json"))):
        ours.update(medians(path))
    python = {"loads": [], "dumps": []}
    for path in sorted(glob.glob(os.path.join(folder, "plistlib-*.json"))):
        with open(path) as f:
            run = json.load(f)
        for key in python:
            python[key] += run[key]

    rows = []

    def faster(label, name, yardstick, times, goal):
        if name not in ours or not times:
            return
        mine, n = ours[name]
        theirs = statistics.median(times)
        rows.append((label, mine, n, yardstick, theirs, len(times), f"{theirs / mine:.2f} x faster", goal))

    def relative(label, name, yard_name, yardstick, goal):
        if name not in ours or yard_name not in ours:
            return
        mine, n = ours[name]
        theirs, m = ours[yard_name]
        rows.append((label, mine, n, yardstick, theirs, m, f"{mine / theirs:.2f} x the time", goal))

    faster("save library.bin", "BM_SaveLibrary", "plistlib.dumps", python["dumps"], ">= 8 x faster")
    faster("load library.bin", "BM_OpenLibrary", "plistlib.loads", python["loads"], ">= 5 x faster")
    faster("  reload (old one freed)", "BM_LoadLibrary", "plistlib.loads", python["loads"], "")
    if "BM_SaveLibraryInBackground" in ours:
        mine, n = ours["BM_SaveLibraryInBackground"]
        rows.append(("save: main thread held", mine, n, "one frame", 1000 / 60, 1,
                     f"{mine / (1000 / 60):.2f} x a frame", "<= 1 frame"))
    for files in (10000, 20000):
        relative(f"rescan {files:,} files", f"BM_RescanUnchanged/{files}", f"BM_FindFiles/{files}",
                 "find -type f", "<= 1.5 x")
    for size in ("256MiB", "8MiB"):
        relative(f"keys of a {size} file", f"BM_Keys_{size}", f"BM_ReferenceKeys_{size}",
                 "pread+libcrypto+zlib", "<= 1.5 x")

    print(f"{'measure':26} {'ours ms':>10} {'n':>3}  {'yardstick':22} {'ms':>10} {'n':>3}  {'ratio':22} goal")
    for label, mine, n, yardstick, theirs, m, ratio, goal in rows:
        print(f"{label:26} {mine:10.2f} {n:3}  {yardstick:22} {theirs:10.2f} {m:3}  {ratio:22} {goal}")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "plistlib":
        time_plistlib(sys.argv[2], int(sys.argv[3]))
    elif len(sys.argv) == 3 and sys.argv[1] == "table":
        table(sys.argv[2])
    else:
        sys.exit(__doc__)
