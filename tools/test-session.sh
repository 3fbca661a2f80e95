#!/usr/bin/env bash
# Runs inside the private D-Bus session that tools/test.sh opens.
set -euo pipefail
build=${OX_BUILD_DIR:?}
# A real Secret Service for the keychain tests, unlocked with a throw-away password.
if command -v gnome-keyring-daemon >/dev/null; then
  eval "$(echo pw | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null)" || true
  export GNOME_KEYRING_CONTROL SSH_AUTH_SOCK 2>/dev/null || true
fi
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 600 "$@"
