#!/usr/bin/env bash
# Runs the fuzz targets (tests/fuzz/fuzz_<reader>.cpp) with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
#   bash tools/fuzz.sh [target|all] [seconds]     e.g. bash tools/fuzz.sh tvdb_xml 3600; default: all, 60 s each
# Installs clang and libFuzzer's runtime when missing and builds the targets into build-fuzz/ (or $OX_FUZZ_BUILD_DIR).
# Each run starts from the target's seed corpus and kept crashes, copied into build-fuzz/fuzz/<target>/corpus, which
# grows over runs; tests/fuzz/ stays as it is. A crash, leak or hang leaves its input in build-fuzz/fuzz/<target>/
# (crash-*, leak-*, timeout-*, oom-*); once mended, it goes into tests/fuzz/regressions/<target>/, which the test
# suite replays. OX_FUZZ_JOBS runs that many targets at once (default 1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OX_FUZZ_BUILD_DIR:-$root/build-fuzz}
which=${1:-all}
seconds=${2:-60}
jobs=${OX_FUZZ_JOBS:-1}

bash "$root/tools/deps.sh" clang libclang-rt-14-dev
if [ "$which" = all ]; then
  mapfile -t targets < <(cd "$root/tests/fuzz" && ls fuzz_*.cpp | sed 's/^fuzz_//; s/\.cpp$//')
else
  [ -f "$root/tests/fuzz/fuzz_$which.cpp" ] || { echo "no fuzz target $which" >&2; exit 2; }
  targets=("$which")
fi

# Warnings are the gcc build's to hold at zero; clang's own extra ones do not stop a fuzz run.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOX_WERROR=OFF \
      -DOX_BUILD_FUZZERS=ON -DOX_SANITIZE=address -DOX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(( $(nproc) > 4 ? 4 : $(nproc) ))" --target "${targets[@]/#/fuzz_}"

# Longest input worth trying: a little over what the reader's real inputs take.
max_len() {
  case $1 in
    file_title) echo 4096 ;;
    server_request) echo 20000 ;;
    binary_plist) echo 16384 ;;
    *) echo 65536 ;;
  esac
}

# The words of the target's format, which the fuzzer splices into its inputs.
dictionary() {
  case $1 in
    search_answer|api_answer) echo json ;;
    binary_plist|library_store) echo unarchiver ;;
    *) echo "$1" ;;
  esac
}

run() {
  local target=$1 out=$build/fuzz/$1
  mkdir -p "$out/corpus" "$out/scratch"
  for kept in "$root/tests/fuzz/corpus/$target" "$root/tests/fuzz/regressions/$target"; do
    [ -d "$kept" ] && cp -n "$kept"/* "$out/corpus/" 2>/dev/null || true
  done
  local dict=() words=$root/tests/fuzz/$(dictionary "$target").dict
  [ -f "$words" ] && dict=(-dict="$words")
  # The readers' scratch folders (archives unpacked, stores loaded) go in the run's own folder, emptied after it.
  local status=0
  TMPDIR=$out/scratch QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$build/tests/fuzz/fuzz_$target" "$out/corpus" "${dict[@]}" -max_len="$(max_len "$target")" \
      -rss_limit_mb=2048 -timeout=30 -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$out/" >"$out/log" 2>&1 || status=$?
  rm -rf "$out/scratch"
  echo "$status" >"$out/status"
  local done_line
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$out/log" | tail -1 || true)
  if [ "$status" -eq 0 ]; then
    echo "$target: no finding; ${done_line:-see $out/log}"
  else
    echo "$target: FINDING (exit $status), see $out/log and $out/"
  fi
}

for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  rm -f "$build/fuzz/$target/status"
  run "$target" &
done
wait
for target in "${targets[@]}"; do
  [ "$(cat "$build/fuzz/$target/status" 2>/dev/null)" = 0 ] || exit 1
done
