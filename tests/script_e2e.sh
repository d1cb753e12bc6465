#!/usr/bin/env bash
# script_e2e.sh -- tavo run as a user runs it: real key presses on an X server of its own, checked through the camera file
set -euo pipefail
: "${TAVO_BIN:?TAVO_BIN names the built tavo}" "${TAVO_SOURCE_DIR:?TAVO_SOURCE_DIR names the source tree}"
# A server of its own with auto-repeat off (-r): a held key is one press.  The
# sanitizer build must not turn the GL driver's own leaks into an exit status.
if [ -z "${TAVO_E2E_SERVER:-}" ]; then
    exec env TAVO_E2E_SERVER=1 ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
        xvfb-run -a -n $((300 + $$ % 400)) -s "-nolisten tcp -r -screen 0 1280x1024x24" bash "$0"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-e2e-XXXXXX")
tavo=
trap '[ -n "$tavo" ] && kill "$tavo" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; tail -n 15 "$work"/*.log 2>/dev/null; exit 1; }
# Polls with a generous deadline, so a slow machine only waits longer.
wait_until() {
    local what=$1 deadline=$((SECONDS + 30))
    shift
    until "$@"; do ((SECONDS < deadline)) || fail "timed out waiting for $what"; sleep 0.05; done
}
world="$work/world" cam="$work/world/SYS/CAM/e2e.cam"
cp -r "$TAVO_SOURCE_DIR/tests/data/e2e" "$world" && mkdir -p "$world/SYS/CAM"

# pose_is L L L U U U F F F P P P: the saved left, up, forward and position,
# each within 1e-3; "-" matches anything, ">N" anything above N.
pose_is() {
    od -An -t f4 -v "$cam" 2>/dev/null | awk -v want="$*" '{ for (i = 1; i <= NF; i++) got[++n] = $i }
        END { if (n != 12 || split(want, w, " ") != 12) exit 1
              for (i = 1; i <= 12; i++)
                  if (w[i] ~ /^>/ ? got[i] <= substr(w[i], 2) + 0 : w[i] != "-" && (got[i] - w[i]) ^ 2 > 1e-6) exit 1 }'
}

# Now and then a fresh connection to the server is refused: xdotool is tried
# again, and tavo started again when that alone stopped it.
xdo() { for i in 1 2 3 4; do xdotool "$@" 2>/dev/null && return 0; sleep 0.1; done; xdotool "$@"; }
start_tavo() {
    local tries=0 deadline=$((SECONDS + 30))
    "$TAVO_BIN" "$world/DEF/e2e.def" >"$work/$1.log" 2>&1 &
    tavo=$!
    until window=$(xdotool search --onlyvisible --name '^Tavo v3\.1$' 2>/dev/null | head -n 1) && [ -n "$window" ]; do
        if ! kill -0 "$tavo" 2>/dev/null; then
            grep -q 'failed to open display' "$work/$1.log" && ((++tries < 5)) || fail "tavo ended before its window showed"
            "$TAVO_BIN" "$world/DEF/e2e.def" >"$work/$1.log" 2>&1 &
            tavo=$!
        fi
        ((SECONDS < deadline)) || fail "timed out waiting for the window"
        sleep 0.05
    done
    xdo windowfocus --sync "$window"
}
# Escape stays down until tavo has gone: a press and a release read in one
# go would never be seen by a tick.
expect_exit_0() {
    wait_until "tavo to end" eval '! kill -0 "$tavo" 2>/dev/null'
    local status=0
    wait "$tavo" || status=$?
    tavo=
    xdo keyup Escape
    ((status == 0)) || fail "tavo ended with status $status"
}

# First run: the start pose is saved at once, in the window's place.
start_tavo run1
wait_until "the start pose" pose_is -1 0 0  0 1 0  0 0 -1  0 0 0
[ "$(xdo getwindowgeometry "$window" | awk '/Position|Geometry/ { print $2 }' | xargs)" \
    = "160,208 640x480" ] || fail "the window is not 640x480 at (160, 208)"

# 'w' rises along up.
xdo keydown w
wait_until "'w' to rise" pose_is -1 0 0  0 1 0  0 0 -1  0 '>5' 0
xdo keyup w

# No last save on the way out: tavo is held still right after a save, so
# the next periodic one is 50 ticks away when it meets the key.  That save
# is the pose the second run starts from.
rm -f "$cam"
wait_until "a save" test -f "$cam"
kill -STOP "$tavo"
mv "$cam" "$work/expected.cam"
xdo keydown Escape
kill -CONT "$tavo"
expect_exit_0
[ ! -f "$cam" ] || fail "Escape saved the camera"

# Second run: it resumes from the saved pose, which its first tick writes back.
cp "$work/expected.cam" "$cam"
inode=$(stat -c %i "$cam")
start_tavo run2
wait_until "the first save of the second run" eval '[ "$(stat -c %i "$cam" 2>/dev/null)" != "$inode" ]'
cmp -s "$cam" "$work/expected.cam" || fail "the second run did not resume: $(od -An -t f4 -v "$cam" | xargs)"
# A save of the definition file is read again by the running viewer.
printf '\n' >>"$world/DEF/e2e.def"
wait_until "the world to be read again" grep -q '^World reloaded: ' "$work/run2.log"
xdo keydown Escape
expect_exit_0
echo "PASS"
