#!/usr/bin/env bash
# The demo: the online services' stand-ins with their catalogue, a folder of small video files made with ffmpeg,
# and one update cycle of the scan engine into a fresh library folder; prints what the library then holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OX_BUILD_DIR:-$root/build}
scratch=$(mktemp -d /tmp/ombrix-demo.XXXXXX)
standin_pid=
cleanup() {
  if [[ -n $standin_pid ]]; then kill "$standin_pid" 2>/dev/null || true; wait "$standin_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
export HOME=$scratch/home XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache
export QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"

# Stand-ins on loopback; they stop with their standard input.
mkfifo "$scratch/standin.in"
python3 "$root/tests/standin/standin.py" --ports-file "$scratch/ports.json" --exit-on-eof \
  < "$scratch/standin.in" > "$scratch/standin.out" 2>&1 &
standin_pid=$!
exec 3> "$scratch/standin.in"
for _ in $(seq 100); do [[ -s $scratch/ports.json ]] && break; sleep 0.1; done
[[ -s $scratch/ports.json ]] || { echo "stand-ins did not start" >&2; cat "$scratch/standin.out" >&2; exit 1; }
eval "$(python3 -c 'import json,sys,shlex
for k, v in json.load(open(sys.argv[1]))["env"].items(): print("export %s=%s" % (k, shlex.quote(v)))' "$scratch/ports.json")"

# Small video files named as people name them: catalogue movies, episodes of a catalogue show, and home footage.
video() {
  mkdir -p "$(dirname "$1")"
  ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=320x180:rate=25" -t 3 -c:v rawvideo -pix_fmt yuv420p "$1"
}
demo=$scratch/videos
video "$demo/Movies/The.Glass.Harbour.1998.720p.mkv"
video "$demo/Movies/Copper Lanterns (2004).mkv"
video "$demo/Movies/Salt & Pepper 2011/Salt.and.Pepper.2011.mkv"
video "$demo/Movies/Birthday party 2023-05-14.mkv"
video "$demo/TV Shows/Lantern Street/Season 1/Lantern.Street.S01E01.mkv"
video "$demo/TV Shows/Lantern Street/Season 1/Lantern.Street.S01E02.mkv"
video "$demo/TV Shows/Lantern Street/Season 1/Lantern Street - 1x03.mkv"

OX_DEMO_TVDB_API_KEY=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["tvdbApiKey"])' \
  "$root/tests/standin/catalogue.json") "$build/tools/ox-demo" "$scratch/support" "$demo/Movies" "$demo/TV Shows"
exec 3>&-
