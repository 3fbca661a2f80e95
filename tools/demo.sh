#!/usr/bin/env bash
# Until both programs exist, the demo runs what exists: the foundation's own self-check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OX_BUILD_DIR:-$root/build}
scratch=$(mktemp -d /tmp/ombrix-demo.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config QT_QPA_PLATFORM=offscreen
"$build/tools/ox-demo"
