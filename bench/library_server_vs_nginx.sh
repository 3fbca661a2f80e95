#!/usr/bin/env bash
# Throughput of the library server's movie route against nginx serving the same file, over loopback, in one run.
# Fetches alternate between the two servers so that a machine shared with other work loads both alike; each
# figure is the median of RUNS fetches (or of RUNS rounds of STREAMS parallel fetches), and the load average is
# printed before and after. The goal: the library server reaches at least 0.8 of nginx.
# With SLOW=N, each server gets N trickling, N idle and N stalled clients from 127.0.0.1 (bench/slow_clients.py) for
# each of its fetches, which then come from 127.0.0.2: a download by another client while slow ones hang.
#   RUNS=7 SIZE_MIB=1024 STREAMS="1 4" SLOW=300 bash bench/library_server_vs_nginx.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OX_BUILD_DIR:-$root/build}
runs=${RUNS:-7}
size_mib=${SIZE_MIB:-1024}
streams_list=${STREAMS:-1 4}
slow=${SLOW:-0}

# nginx and the load client (curl) come from Debian's packages.
missing=()
command -v nginx >/dev/null || missing+=(nginx-light)
command -v curl >/dev/null || missing+=(curl)
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)

cmake --build "$build" --target library_server_host >/dev/null
work=$(mktemp -d /tmp/ombrix-bench.XXXXXX)
ours_pid="" nginx_pid="" slow_pids=()
cleanup() {
  for p in "${slow_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "$ours_pid" ] && kill "$ours_pid" 2>/dev/null || true
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
dd if=/dev/urandom of="$work/movie.mkv" bs=1M count="$size_mib" status=none
chmod 755 "$work" && chmod 644 "$work/movie.mkv"  # nginx's worker drops root

"$build/bench/library_server_host" "$work/movie.mkv" > "$work/ours.port" &
ours_pid=$!
for _ in $(seq 100); do [ -s "$work/ours.port" ] && break; sleep 0.05; done
ours_url="http://127.0.0.1:$(cat "$work/ours.port")/movies/tt0000001"

nginx_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/nginx"
# A worker per core, as Debian ships it (one connection keeps to one worker); sendfile on.
cat > "$work/nginx.conf" <<CONF
daemon off;
worker_processes auto;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  types { video/x-matroska mkv; }
  server { listen 127.0.0.1:$nginx_port; root $work; }
}
CONF
"$nginx_bin" -c "$work/nginx.conf" -p "$work/nginx" 2>"$work/nginx/start.log" &
nginx_pid=$!
nginx_url="http://127.0.0.1:$nginx_port/movie.mkv"
for _ in $(seq 100); do curl -s -o /dev/null "$nginx_url" --max-time 1 -r 0-0 && break; sleep 0.05; done

# Bytes per second of `n` parallel whole-file fetches, summed; fails when a fetch comes back short.
from=127.0.0.1
fetch() {
  local url=$1 n=$2 i total=0 out pids=()
  for i in $(seq "$n"); do
    curl -s --interface "$from" --max-time 300 -o /dev/null -w '%{size_download} %{speed_download}\n' "$url" \
      > "$work/fetch.$i" &
    pids+=($!)
  done
  wait "${pids[@]}" 2>/dev/null || true
  for i in $(seq "$n"); do
    read -r size speed < "$work/fetch.$i"
    [ "$size" = "$((size_mib * 1048576))" ] || { echo "short fetch from $url: $size bytes" >&2; exit 1; }
    total=$(python3 -c "print($total + $speed)")
  done
  echo "$total"
}
median() { python3 -c 'import sys, statistics; print(statistics.median(float(x) for x in sys.argv[1:]))' "$@"; }
mib() { python3 -c "print(f'{$1 / 1048576:.0f}')"; }

# `fetch` into `measured`, with SLOW>0 while SLOW trickling, idle and stalled clients hold the server on `port` for
# `path`. Only the server measured has them: both at once would hold so much of the kernel's TCP memory (the stalled
# answers' send buffers) that it throttles every loopback socket, and the figures would tell the kernel's state.
measured=""
measure() {
  local url=$1 n=$2 port=$3 path=$4
  if [ "$slow" -eq 0 ]; then measured=$(fetch "$url" "$n"); return; fi
  python3 "$root/bench/slow_clients.py" "$port" "$path" "$slow" 2>/dev/null & slow_pids=($!)
  sleep 5  # all connected, a few bytes trickled
  measured=$(from=127.0.0.2 fetch "$url" "$n")
  kill "${slow_pids[0]}" && wait "${slow_pids[0]}" 2>/dev/null || true
  slow_pids=()
}

fetch "$ours_url" 1 >/dev/null  # warm the page cache
fetch "$nginx_url" 1 >/dev/null
for n in $streams_list; do
  ours=() theirs=()
  for _ in $(seq "$runs"); do
    measure "$ours_url" "$n" "$(cat "$work/ours.port")" /movies/tt0000001 && ours+=("$measured")
    measure "$nginx_url" "$n" "$nginx_port" /movie.mkv && theirs+=("$measured")
  done
  o=$(median "${ours[@]}") t=$(median "${theirs[@]}")
  echo "$n stream(s), ${size_mib} MiB each, median of $runs: library server $(mib "$o") MiB/s," \
       "nginx $(mib "$t") MiB/s, ratio $(python3 -c "print(f'{$o / $t:.2f}')")"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
