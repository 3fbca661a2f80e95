#!/usr/bin/env bash
# The main job: installs what is missing (the peerflix streaming program too), builds, and runs the demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/build.sh"
bash "$root/tools/peerflix.sh"
bash "$root/tools/demo.sh"
