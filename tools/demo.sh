#!/usr/bin/env bash
# The demo: the online services' stand-ins with their catalogue, a folder of small video files made with ffmpeg,
# and Ombrix Helper started on a fresh library of those folders (headless, on a session bus of its own): its first
# scan fills the library, then it is asked to quit ("closeOmbrixHelperNotification"), saves, and the demo prints
# what the library holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OX_BUILD_DIR:-$root/build}
scratch=$(mktemp -d /tmp/ombrix-demo.XXXXXX)
standin_pid=
helper_pid=
bus_pid=
cleanup() {
  if [[ -n $helper_pid ]]; then kill -9 "$helper_pid" 2>/dev/null || true; wait "$helper_pid" 2>/dev/null || true; fi
  if [[ -n $bus_pid ]]; then kill "$bus_pid" 2>/dev/null || true; fi
  if [[ -n $standin_pid ]]; then kill "$standin_pid" 2>/dev/null || true; wait "$standin_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
export HOME=$scratch/home XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache
export XDG_RUNTIME_DIR=$scratch/run QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

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

# Ombrix Helper on the two folders: it owns its name on a bus of its own and runs its first scan at start.
"$build/tools/ox-demo" --seed "$XDG_DATA_HOME" "$demo/Movies" "$demo/TV Shows"
eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
  read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS='$address'; bus_pid=$pid"; })"
"$build/bin/ombrix-helper" 2> "$scratch/helper.log" &
helper_pid=$!
for _ in $(seq 1200); do
  grep -q "library updated" "$scratch/helper.log" && break
  kill -0 "$helper_pid" 2>/dev/null || break
  sleep 0.1
done
grep -q "library updated" "$scratch/helper.log" || { echo "Ombrix Helper did not finish its scan" >&2; cat "$scratch/helper.log" >&2; exit 1; }
# As another program would ask it: the helper quits and saves the library on the way out.
"$build/tools/ox-post-notification" closeOmbrixHelperNotification
for _ in $(seq 300); do kill -0 "$helper_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$helper_pid" 2>/dev/null; then echo "Ombrix Helper did not quit" >&2; exit 1; fi
wait "$helper_pid" || { echo "Ombrix Helper ended with an error" >&2; cat "$scratch/helper.log" >&2; exit 1; }
helper_pid=
echo "Ombrix Helper: $(grep -m1 "library updated" "$scratch/helper.log")"
"$build/tools/ox-demo" --print "$XDG_DATA_HOME" "$demo/Movies" "$demo/TV Shows"
exec 3>&-
