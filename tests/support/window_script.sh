# window_script.sh -- what the scripts that drive a window share: a scratch
# folder removed at the end (with the viewer started from it, $tavo,
# stopped), fail, a poll with a deadline, xdotool tried a few times.
#   . tests/support/window_script.sh NAME   (the folder: $work, tavo-NAME-XXXXXX)
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-$1-XXXXXX")
tavo=
trap 'if [ -n "$tavo" ]; then kill "$tavo" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; tail -n 15 "$work"/*.log 2>/dev/null; exit 1; }
# Polls with a generous deadline, so a slow machine only waits longer.
wait_until() {
    local what=$1 deadline=$((SECONDS + 120))
    shift
    until "$@"; do ((SECONDS < deadline)) || fail "timed out waiting for $what"; sleep 0.05; done
}
# Now and then a fresh connection to the server is refused: xdotool is
# tried again.
xdo() { for i in 1 2 3 4; do xdotool "$@" 2>/dev/null && return 0; sleep 0.1; done; xdotool "$@"; }
