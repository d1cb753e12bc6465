#!/usr/bin/env bash
# script_e2e.sh -- tavo run as a user runs it: real key presses on an X server of its own, checked through the camera file
set -euo pipefail
: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_SOURCE_DIR:?TAVO_SOURCE_DIR names the source tree}"
for tool in Xvfb xdotool od awk; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-e2e-XXXXXX")
xvfb= tavo=
cleanup() {
    for pid in $tavo $xvfb; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do [ -f "$log" ] && { echo "--- $log"; tail -n 15 "$log"; }; done
    exit 1
}
# Polls with a generous deadline, so a slow machine only waits longer.
wait_until() {
    local what=$1 deadline=$((SECONDS + 30))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || fail "timed out waiting for $what"
        sleep 0.05
    done
}

# The key table of --help and the Keys section of README.md say the same,
# row for row: "input|effect" with backticks and padding dropped.
help=$(env -u DISPLAY "$TAVO_BIN" --help) || fail "--help exited with $?"
readme_keys=$(awk '/^## Keys/ { on = 1; next } /^## / { on = 0 } on && /^\| / && !/^\| Input/ && !/^\|--/' \
    "$TAVO_SOURCE_DIR/README.md" | sed -e 's/`//g' -e 's/^| //' -e 's/ |$//' -e 's/ | /|/')
help_keys=$(awk '/^Keys:/ { on = 1; next } /^$/ { on = 0 } on' <<<"$help" | sed -e 's/^  //' -e 's/   */|/')
[ -n "$readme_keys" ] && [ "$readme_keys" = "$help_keys" ] ||
    fail "the keys of --help and README.md differ:$(diff <(echo "$readme_keys") <(echo "$help_keys"))"

# Auto-repeat off (-r): a held key is one press, so holding 'q' turns once.
# The display number is picked away from the low ones other X servers take
# first, and the next one is tried while it is in use.
server_ready() { test -s "$work/display" || ! kill -0 "$xvfb" 2>/dev/null; }
for n in $(seq $((300 + $$ % 400)) $((320 + $$ % 400))); do
    Xvfb ":$n" -displayfd 3 -nolisten tcp -r -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb=$!
    wait_until "the X server" server_ready
    test -s "$work/display" && break
    wait "$xvfb" || true
    xvfb=
done
[ -n "$xvfb" ] || fail "no X server would start"
export DISPLAY=":$(head -n 1 "$work/display")"
# The sanitizer build must not turn the GL driver's own leaks into an exit status.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
world="$work/world"
cp -r "$TAVO_SOURCE_DIR/tests/data/e2e" "$world"
mkdir -p "$world/SYS/CAM"
cam="$world/SYS/CAM/e2e.cam"

# pose_is L L L U U U F F F P P P: the saved left, up, forward and position,
# each within 1e-3; "-" matches anything, ">N" anything above N.
pose_is() {
    od -An -t f4 -v "$cam" 2>/dev/null | awk -v want="$*" '
        { for (i = 1; i <= NF; i++) got[++n] = $i }
        END {
            if (n != 12 || split(want, w, " ") != 12) exit 1
            for (i = 1; i <= 12; i++) {
                if (w[i] == "-") continue
                if (w[i] ~ /^>/) { if (got[i] + 0 > substr(w[i], 2) + 0) continue; exit 1 }
                d = got[i] - w[i]
                if (d > 1e-3 || d < -1e-3) exit 1
            }
        }'
}
saved() { test -f "$cam"; }
shown() { od -An -t f4 -v "$cam" 2>/dev/null | xargs; }

# Now and then a fresh connection to the private server is refused; tavo
# is started again when that alone stopped it, and xdotool tried again.
xdo() {
    local i
    for i in 1 2 3 4; do xdotool "$@" 2>/dev/null && return 0; sleep 0.1; done
    xdotool "$@"
}
start_tavo() {
    local tries=0 deadline=$((SECONDS + 30))
    window=
    "$TAVO_BIN" "$world/DEF/e2e.def" >"$work/$1.log" 2>&1 &
    tavo=$!
    until window=$(xdotool search --onlyvisible --name '^Tavo v3\.1$' 2>/dev/null | head -n 1) &&
        [ -n "$window" ]; do
        if ! kill -0 "$tavo" 2>/dev/null; then
            grep -q 'failed to open display' "$work/$1.log" && ((++tries < 5)) ||
                fail "tavo ended before its window showed"
            "$TAVO_BIN" "$world/DEF/e2e.def" >"$work/$1.log" 2>&1 &
            tavo=$!
        fi
        ((SECONDS < deadline)) || fail "timed out waiting for the window"
        sleep 0.05
    done
    xdo windowfocus --sync "$window"
}
# After Escape went down: the run ends with status 0.  The key stays down
# until tavo has gone: a press and a release read in one go would never be
# seen by a tick.
expect_exit_0() {
    wait_until "tavo to end" eval '! kill -0 "$tavo" 2>/dev/null'
    local status=0
    wait "$tavo" || status=$?
    tavo=
    xdo keyup Escape
    [ "$status" = 0 ] || fail "tavo ended with status $status"
}

# First run: the start pose is saved at once, in the window's place.
start_tavo run1
wait_until "the start pose" pose_is -1 0 0  0 1 0  0 0 -1  0 0 0
[ "$(xdo getwindowgeometry "$window" | awk '/Position|Geometry/ { print $2 }' | xargs)" \
    = "160,208 640x480" ] || fail "the window is not 640x480 at (160, 208)"

# 'q': a quarter turn left; no save ever shows a pose part-way through it.
turn_state() {
    pose_is - - -  0 1 0  - - -  - - - && return 1
    pose_is 0 1 0  1 0 0  0 0 -1  0 0 0 && return 0
    saved && fail "a save during the turn: $(shown)"
    return 1
}
xdo keydown q
wait_until "the quarter turn" turn_state
xdo keyup q

# 'w' rises along up, which now points along x.
xdo keydown w
wait_until "'w' to rise" pose_is 0 1 0  1 0 0  0 0 -1  '>5' 0 0
xdo keyup w
rm -f "$cam"
wait_until "a save" saved
cp "$cam" "$work/expected.cam"

# No last save on the way out: tavo is held still right after a save, so
# the next periodic one is 50 ticks away when it meets the key.
rm -f "$cam"
wait_until "a save" saved
kill -STOP "$tavo"
rm -f "$cam"
xdo keydown Escape
kill -CONT "$tavo"
expect_exit_0
saved && fail "Escape saved the camera"

# Second run: it resumes from the saved pose, which its first tick writes back.
cp "$work/expected.cam" "$cam"
inode=$(stat -c %i "$cam")
start_tavo run2
wait_until "the first save of the second run" eval '[ "$(stat -c %i "$cam" 2>/dev/null)" != "$inode" ]'
cmp -s "$cam" "$work/expected.cam" || fail "the second run did not resume: $(shown)"
xdo keydown Escape
expect_exit_0
echo "PASS"
