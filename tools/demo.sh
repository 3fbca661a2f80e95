#!/usr/bin/env bash
# The demo: the online services' stand-ins with their catalogue, a folder of small video files made with ffmpeg,
# one update cycle of the scan engine into a fresh library folder (printing what the library then holds), then
# Ombrix full screen on that library. Without a display Ombrix runs on a virtual one (Xvfb). Either way it saves a
# picture of Home to a path it prints ($OX_DEMO_OUT, default build/demo/home.png) and quits by itself.
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

# The library: one scan cycle. (Ombrix Helper's first scan takes this place once the helper is built.)
OX_DEMO_TVDB_API_KEY=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["tvdbApiKey"])' \
  "$root/tests/standin/catalogue.json") "$build/tools/ox-demo" "$scratch/support" "$demo/Movies" "$demo/TV Shows"

# Ombrix on that library. It stops no other program's processes here and reads no real update feed; the picture is
# taken once the first backdrop has settled, and Ombrix quits after it (the time limit only guards a stuck run).
out=${OX_DEMO_OUT:-$build/demo}
mkdir -p "$out"
rm -f "$out/home.png"
ombrix_env=(XDG_DATA_HOME="$scratch/support" OMBRIX_KILLALL=/nonexistent OMBRIX_FEED_URL=http://127.0.0.1:9/appcast.xml
            OMBRIX_FRAME_PATH="$out/home.png" OMBRIX_FRAME_DELAY=3 OMBRIX_QUIT_AFTER_FRAME=1)
run_ombrix() {
  local bus=()
  [[ -z ${DBUS_SESSION_BUS_ADDRESS:-} ]] && bus=(dbus-run-session --)
  "${bus[@]}" env "${ombrix_env[@]}" "$@" timeout 60 "$build/bin/ombrix"
}
echo
if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
  echo "Ombrix full screen on this display (it quits after its picture of Home)"
  run_ombrix -u QT_QPA_PLATFORM
else
  echo "No display: Ombrix full screen on a virtual 1920x1080 one"
  xvfb-run -a -s "-screen 0 1920x1080x24" bash -c "$(declare -p build ombrix_env); $(declare -f run_ombrix); run_ombrix QT_QPA_PLATFORM=xcb"
fi
[[ -s $out/home.png ]] || { echo "Ombrix saved no picture of Home" >&2; exit 1; }
echo "Home: $out/home.png"
exec 3>&-
