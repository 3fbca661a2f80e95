#!/usr/bin/env bash
# Runs inside the private D-Bus session that tools/test.sh opens.
set -euo pipefail
build=${OX_BUILD_DIR:?}
# A real Secret Service for the keychain tests, unlocked with a throw-away password.
if command -v gnome-keyring-daemon >/dev/null; then
  eval "$(echo pw | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null)" || true
  export GNOME_KEYRING_CONTROL SSH_AUTH_SOCK 2>/dev/null || true
fi
# Playback tests follow real time; under a fully loaded machine one can miss a deadline, so a failure gets one
# more run (a real fault fails both).
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 600 --repeat until-pass:2 "$@"
