#!/usr/bin/env bash
# Peak resident memory (VmHWM) of Ombrix Helper through its first update cycle while one service answers every
# request with 2 GiB of zeros gzip-compressed on the way (the stand-in's "flood" fault), one run per service, and a
# run with every service well for comparison. The library holds ten movie files and ten episode files, so searches,
# TheTVDB look-ups and the bucket's lists run several at once. The goal: at most 300 MB under any flood.
#   SERVICES="none search tvdb bucket" HELPER=build/bin/ombrix-helper bash bench/helper_flood_memory.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OX_BUILD_DIR:-$root/build}
helper=${HELPER:-$build/bin/ombrix-helper}
services=${SERVICES:-none search tvdb bucket}
cmake --build "$build" --target ombrix-helper ox-demo >/dev/null

run() {
  local service=$1 scratch standin_pid helper_pid bus_pid start
  scratch=$(mktemp -d /tmp/ombrix-flood.XXXXXX)
  export HOME=$scratch/home XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config
  export XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/run QT_QPA_PLATFORM=offscreen
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  mkfifo "$scratch/standin.in"
  python3 "$root/tests/standin/standin.py" --ports-file "$scratch/ports.json" --exit-on-eof \
    < "$scratch/standin.in" > "$scratch/standin.out" 2>&1 &
  standin_pid=$!
  exec 3> "$scratch/standin.in"
  for _ in $(seq 100); do [[ -s $scratch/ports.json ]] && break; sleep 0.1; done
  eval "$(python3 -c 'import json,sys,shlex
for k, v in json.load(open(sys.argv[1]))["env"].items(): print("export %s=%s" % (k, shlex.quote(v)))' "$scratch/ports.json")"
  local videos=$scratch/videos
  mkdir -p "$videos/Movies" "$videos/TV/Lantern Street" "$videos/TV/The Quiet Neighbours"
  for t in "The.Glass.Harbour.1998" "Copper Lanterns (2004)" "Salt & Pepper 2011" "Midnight.Orchard.1987" \
           "The Paper Comet 2001" "Harbour Lights 1971" "Unfound One" "Unfound Two" "Unfound Three" "Unfound Four"; do
    truncate -s 5M "$videos/Movies/$t.mkv"
  done
  for e in S01E01 S01E02 S01E03 S01E04 S02E01 S02E02; do
    truncate -s 5M "$videos/TV/Lantern Street/Lantern.Street.$e.mkv"
  done
  for e in S01E01 S01E02 S01E03 S02E01; do
    truncate -s 5M "$videos/TV/The Quiet Neighbours/The.Quiet.Neighbours.$e.mkv"
  done
  "$build/tools/ox-demo" --seed "$XDG_DATA_HOME" "$videos/Movies" "$videos/TV" >/dev/null
  if [[ $service != none ]]; then
    printf '{"cmd": "fault", "service": "%s", "kind": "flood", "count": -1, "bytes": %d, "encoding": "gzip"}\n' \
      "$service" $((2 << 30)) >&3
  fi
  eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 3>&- | {
    read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS='$address'; bus_pid=$pid"; })"
  start=$(date +%s%N)
  OMBRIX_FEED_URL=http://127.0.0.1:9/appcast.xml "$helper" 2> "$scratch/helper.log" &
  helper_pid=$!
  for _ in $(seq 3000); do
    grep -q "library updated" "$scratch/helper.log" && break
    kill -0 "$helper_pid" 2>/dev/null || break
    sleep 0.1
  done
  local peak cycle
  peak=$(awk '/VmHWM/ {print int($2 / 1024)}' "/proc/$helper_pid/status" 2>/dev/null)
  cycle=$((($(date +%s%N) - start) / 1000000))
  printf '%-8s peak %5s MB  first cycle %6s ms  %s\n' "$service" "${peak:-?}" "$cycle" \
    "$(grep -m1 -o 'library updated.*' "$scratch/helper.log" || echo 'no cycle end within 300 s')"
  kill "$helper_pid" 2>/dev/null; wait "$helper_pid" 2>/dev/null
  exec 3>&-
  kill "$standin_pid" 2>/dev/null; wait "$standin_pid" 2>/dev/null
  kill "$bus_pid" 2>/dev/null
  rm -rf "$scratch"
}

echo "cores: $(nproc); load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
for service in $services; do run "$service"; done
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
