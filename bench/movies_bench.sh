#!/usr/bin/env bash
# The movie browser's frames and memory with 500, 5,000 and 10,000 posters: each case of bench_ombrix's
# MoviesSlideMoves, MoviesSlideLabelsPreview and MoviesSlideHeld runs in a process of its own (so that no earlier case
# raises its peak memory), `repetitions` times, and the table gives the minimum and the median of each figure: ms a
# frame, the slowest frame, and the process's peak resident memory as /usr/bin/time measures it.
# Usage: bench/movies_bench.sh [repetitions] [case regex]     (build first: bash tools/build.sh)
#   OX_BUILD_DIR picks the build; BENCH names another bench_ombrix binary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OX_BUILD_DIR:-$root/build}
bench=${BENCH:-$build/bench/bench_ombrix}
reps=${1:-3}
only=${2:-.}
work=$(mktemp -d /tmp/ombrix-movies.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "cores: $(nproc); load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
for size in 500 5000 10000; do
  for name in MoviesSlideMoves MoviesSlideLabelsPreview MoviesSlideHeld; do
    case="$name/$size"
    [[ $case =~ $only ]] || continue
    for ((r = 1; r <= reps; r++)); do
      out="$work/${name}_${size}_$r"
      /usr/bin/time -f "%M" -o "$out.rss" "$bench" --benchmark_filter="^BM_$name/$size/" \
        --benchmark_format=json --benchmark_out_format=json --benchmark_out="$out.json" >/dev/null 2>"$out.err" ||
        echo "$case run $r failed: $(tail -1 "$out.err")"
    done
  done
done
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 - "$work" <<'PY'
import glob, json, os, statistics, sys
work = sys.argv[1]
rows = {}
for path in sorted(glob.glob(os.path.join(work, "*.json"))):
    stem = path[:-5]
    name, size, _ = os.path.basename(stem).rsplit("_", 2)
    with open(path) as f:
        runs = [b for b in json.load(f)["benchmarks"] if not b.get("error_occurred")]
    if not runs:
        continue
    b = runs[0]
    with open(stem + ".rss") as f:
        rss = int(f.read().split()[-1]) / 1024
    r = rows.setdefault((int(size), name), {"ms": [], "cpu": [], "worst": [], "rss": []})
    r["ms"].append(b["real_time"])
    r["cpu"].append(b["cpu_time"])
    r["worst"].append(b["worst_ms"])
    r["rss"].append(rss)
fmt = "{:<34} {:>15} {:>15} {:>17} {:>15}"
print(fmt.format("case", "ms/frame", "cpu ms/frame", "slowest frame ms", "peak RSS MB"))
print(fmt.format("", "min / median", "min / median", "min / median", "min / median"))
for (size, name), r in sorted(rows.items(), key=lambda kv: (kv[0][1], kv[0][0])):
    cell = lambda v, p: f"{min(v):.{p}f} / {statistics.median(v):.{p}f}"
    print(fmt.format(f"{name}/{size} (x{len(r['ms'])})", cell(r["ms"], 1), cell(r["cpu"], 1), cell(r["worst"], 1),
                     cell(r["rss"], 0)))
PY
