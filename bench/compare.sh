#!/usr/bin/env bash
# The library's speed against its yardsticks, in one run, as medians of repeated measurements:
#   save and load of a 5,000-movie, 500-show, 20,000-episode "library.bin" against Python's plistlib.dumps of the
#   same tree and plistlib.loads of the same bytes (Python's rounds before and after ours); the load is a store
#   opened on the file, as at Ombrix's start, and a reload into a full store is shown beside it; and what a
#   background save holds its caller (the helper's main thread) for;
#   a rescan of an unchanged 10,000- and 20,000-file tree against `find DIR -type f` of the same warm tree;
#   the keys of one file against the same reads with libcrypto's MD5 and SHA-1 and zlib's crc32.
# The benchmarks interleave their repetitions at random, so a load that comes and goes touches both sides.
# Usage: bench/compare.sh [repetitions]        (build first: bash tools/build.sh; OX_BUILD_DIR picks the build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OX_BUILD_DIR:-$root/build}
reps=${1:-5}
work=$(mktemp -d /tmp/ombrix-compare.XXXXXX)
trap 'rm -rf "$work"' EXIT
bench() {
  local name=$1
  shift
  "$build/bench/$name" --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true \
    --benchmark_format=json --benchmark_out_format=json --benchmark_out="$work/$name.json" "$@" >/dev/null
}

echo "cores: $(nproc); load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
half=$(((reps + 1) / 2))
OX_BENCH_LIBRARY_COPY=$work/library.bin bench bench_library --benchmark_filter='BM_(Save|Load|Open)Library'
python3 "$root/bench/compare.py" plistlib "$work/library.bin" "$half" >"$work/plistlib-1.json"
bench bench_rescan
bench bench_file_keys --benchmark_filter='BM_(Reference)?Keys_(8|256)MiB$'
python3 "$root/bench/compare.py" plistlib "$work/library.bin" "$half" >"$work/plistlib-2.json"
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg); library.bin: $(stat -c %s "$work/library.bin") bytes"
python3 "$root/bench/compare.py" table "$work"
