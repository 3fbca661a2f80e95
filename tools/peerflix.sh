#!/usr/bin/env bash
# Installs the peerflix streaming program from the npm registry into build/peerflix (or $OX_BUILD_DIR/peerflix) when
# it is not there yet; Ombrix runs it with node to play streamer titles. Without it, streams fail and all else works,
# so a failed install only warns.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${OX_BUILD_DIR:-$root/build}/peerflix
[[ -f $prefix/node_modules/peerflix/app.js ]] && exit 0
if ! command -v npm >/dev/null; then
  # Debian's node comes without its package client; a node that carries its own has one already.
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends npm || true
fi
mkdir -p "$prefix"
if ! npm install --prefix "$prefix" --no-audit --no-fund --loglevel=error peerflix@0.39.0; then
  echo "peerflix could not be installed: streamer titles will not play" >&2
fi
exit 0
