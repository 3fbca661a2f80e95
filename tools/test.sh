#!/usr/bin/env bash
# The whole test suite, headless: installs what is missing, builds, then runs CTest inside a private D-Bus session
# with HOME and the XDG folders pointed at fresh temporary folders, so no test touches a real library.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/build.sh"
build=${OX_BUILD_DIR:-$root/build}
scratch=$(mktemp -d /tmp/ombrix-test.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export HOME=$scratch/home XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config \
       XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/run QT_QPA_PLATFORM=offscreen OX_BUILD_DIR=$build
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
dbus-run-session -- bash "$root/tools/test-session.sh" "$@"
