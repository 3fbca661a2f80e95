#!/usr/bin/env bash
# Runs inside the private D-Bus session that tools/test.sh opens.
set -euo pipefail
build=${OX_BUILD_DIR:?}
# A real Secret Service for the keychain tests, unlocked with a throw-away password.
if command -v gnome-keyring-daemon >/dev/null; then
  eval "$(echo pw | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null)" || true
  export GNOME_KEYRING_CONTROL SSH_AUTH_SOCK 2>/dev/null || true
fi
# Sanitized builds (OX_SANITIZE): reports stop the test, and the narrow suppressions in tests/sanitizers/ cover
# faults inside uninstrumented libraries (Qt, libvlc, libcurl) that have no frame of ours.
sanitize=$(sed -n 's/^OX_SANITIZE:STRING=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
supp=$(cd "$(dirname "$0")/../tests/sanitizers" && pwd)
case "$sanitize" in
  address)
    # Debian 12's leak checker misreads a dynamic TLS block it tracked through __tls_get_addr in some processes and
    # dies at exit ("Tracer caught signal 11"); those blocks are heap blocks the thread's vector holds, found anyway.
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:intercept_tls_get_addr=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}
    export LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}
    ;;
  thread)
    # Qt's QProcess starts a child with clone(CLONE_VM|CLONE_VFORK): the child runs on the parent's memory, and
    # ThreadSanitizer's after-fork state lands in the parent, which would then die at its next new thread.
    # By default ThreadSanitizer sleeps a second at every exit for threads to finish, and the helper's bounded teardown
    # (one second before it leaves what still runs behind) would then always run out.
    export TSAN_OPTIONS=suppressions=$supp/tsan.supp:second_deadlock_stack=1:die_after_fork=0:atexit_sleep_ms=0${TSAN_OPTIONS:+:$TSAN_OPTIONS}
    ;;
esac
# The tests labelled "realtime" (the suites of media, playback and Ombrix's views that tests/CMakeLists.txt names)
# play or animate at the wall clock's pace, and on a fully loaded machine one can miss a deadline: a failure of
# theirs gets one more run (a real fault fails both). Every other test runs once, so an intermittent fault shows.
run=(ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 600 --no-tests=ignore)
status=0
"${run[@]}" -LE realtime "$@" || status=$?
"${run[@]}" -L realtime --repeat until-pass:2 "$@" || status=$?
exit "$status"
