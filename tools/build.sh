#!/usr/bin/env bash
# Installs what is missing and builds everything into build/ (or $OX_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/deps.sh"
build=${OX_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${OX_BUILD_TYPE:-RelWithDebInfo} -DOX_WERROR=ON \
      ${OX_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j "$(nproc)"
