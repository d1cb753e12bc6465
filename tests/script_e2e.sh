#!/usr/bin/env bash
# script_e2e.sh -- tavo run as a user runs it: its command line, then real key presses and pointer moves on an X server of its own, checked through the camera file
set -euo pipefail

: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_SOURCE_DIR:?TAVO_SOURCE_DIR names the source tree}"

for tool in Xvfb xdotool od awk; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-e2e-XXXXXX")
xvfb=
tavo=

cleanup() {
    local pid
    for pid in $tavo $xvfb; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do
        [ -f "$log" ] && { echo "--- $(basename "$log")"; tail -n 15 "$log"; }
    done
    exit 1
}

# Polls a condition with a generous deadline, so a slow machine only waits longer.
wait_until() {
    local what=$1
    shift
    local deadline=$((SECONDS + 30))
    until "$@"; do
        ((SECONDS < deadline)) || fail "timed out waiting for $what"
        sleep 0.05
    done
}

# ---------------------------------------------------------------- command line
# None of these needs a display.

out=$(env -u DISPLAY "$TAVO_BIN" --version) || fail "--version exited with $?"
[ "$out" = "Tavo v3.1" ] || fail "--version printed '$out'"

help=$(env -u DISPLAY "$TAVO_BIN" --help) || fail "--help exited with $?"
grep -q '^Usage: tavo' <<<"$help" || fail "--help prints no usage"

status=0
env -u DISPLAY "$TAVO_BIN" --frobnicate >"$work/out.txt" 2>"$work/err.txt" || status=$?
[ "$status" = 2 ] || fail "an unknown option exited with $status, not 2"
[ ! -s "$work/out.txt" ] || fail "an unknown option printed on standard output"
grep -q '^Usage: tavo' "$work/err.txt" || fail "an unknown option prints no usage on standard error"

status=0
env -u DISPLAY "$TAVO_BIN" --check >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "--check without a world exited with $status, not 2"

# The key table of --help and the Keys section of README.md say the same,
# row for row: "input|effect" with backticks and padding dropped.
readme_keys=$(awk '/^## Keys/ { on = 1; next } /^## / { on = 0 } on && /^\| / && !/^\| Input/ && !/^\|--/' \
    "$TAVO_SOURCE_DIR/README.md" | sed -e 's/`//g' -e 's/^| //' -e 's/ |$//' -e 's/ | /|/')
help_keys=$(awk '/^Keys:/ { on = 1; next } /^$/ { on = 0 } on' <<<"$help" |
    sed -e 's/^  //' -e 's/   */|/')
[ -n "$readme_keys" ] || fail "README.md has no key table"
[ "$readme_keys" = "$help_keys" ] ||
    fail "the keys of --help and README.md differ:$(diff <(echo "$readme_keys") <(echo "$help_keys"))"

# ---------------------------------------------------------------- a display of our own
# Auto-repeat off (-r): a held key is one press, so holding 'q' turns once.

Xvfb -displayfd 3 -nolisten tcp -r -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
wait_until "the X server" test -s "$work/display"
export DISPLAY=":$(head -n 1 "$work/display")"
# The sanitizer build must not turn the GL driver's own leaks into an exit status.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

world="$work/world"
cp -r "$TAVO_SOURCE_DIR/tests/data/e2e" "$world"
mkdir -p "$world/SYS/CAM"
cam="$world/SYS/CAM/e2e.cam"

# pose_is L L L U U U F F F P P P: the saved left, up, forward and position,
# each within 1e-3; "-" matches anything.
pose_is() {
    od -An -t f4 -v "$cam" 2>/dev/null | awk -v want="$*" '
        { for (i = 1; i <= NF; i++) got[++n] = $i }
        END {
            if (n != 12 || split(want, w, " ") != 12) exit 1
            for (i = 1; i <= 12; i++) {
                if (w[i] == "-") continue
                d = got[i] - w[i]
                if (d > 1e-3 || d < -1e-3) exit 1
            }
        }'
}

# One field of the saved pose, 1 to 12.
pose_field() {
    od -An -t f4 -v "$cam" | awk -v i="$1" '{ for (j = 1; j <= NF; j++) got[++n] = $j } END { print got[i] }'
}

pose_field_above() {
    awk -v a="$(pose_field "$1" 2>/dev/null)" -v b="$2" 'BEGIN { exit !(a != "" && a + 0 > b + 0) }'
}

saved() {
    test -f "$cam"
}

# Waits for a save made after this call.
next_save() {
    rm -f "$cam"
    wait_until "a save" saved
}

pointer_at() {
    [ "$(xdotool getmouselocation 2>/dev/null | awk '{ print $1, $2 }')" = "x:$1 y:$2" ]
}

start_tavo() {
    "$TAVO_BIN" "$world/DEF/e2e.def" >"$work/$1.log" 2>&1 &
    tavo=$!
    window=
    local deadline=$((SECONDS + 30))
    until window=$(xdotool search --onlyvisible --name '^Tavo v3\.1$' 2>/dev/null | head -n 1) &&
        [ -n "$window" ]; do
        kill -0 "$tavo" 2>/dev/null || fail "tavo ended before its window showed"
        ((SECONDS < deadline)) || fail "timed out waiting for the window"
        sleep 0.05
    done
    xdotool windowfocus --sync "$window"
}

# Waits for tavo to end and checks it ended with status 0.
expect_exit_0() {
    wait_until "tavo to end" eval '! kill -0 "$tavo" 2>/dev/null'
    local status=0
    wait "$tavo" || status=$?
    tavo=
    [ "$status" = 0 ] || fail "tavo ended with status $status"
}

# ---------------------------------------------------------------- first run

start_tavo run1
wait_until "the start pose" pose_is -1 0 0  0 1 0  0 0 -1  0 0 0
[ "$(xdotool getwindowgeometry "$window" | awk '/Position/ { print $2 } /Geometry/ { print $2 }' | xargs)" \
    = "160,208 640x480" ] || fail "the window is not 640x480 at (160, 208)"

# 'q': a quarter turn left; no save ever shows a pose part-way through it.
turn_state() {
    if pose_is - - -  0 1 0  - - -  - - -; then return 1; fi
    if pose_is 0 1 0  1 0 0  0 0 -1  0 0 0; then return 0; fi
    saved && fail "a save during the turn: $(od -An -t f4 -v "$cam" | xargs)"
    return 1
}
xdotool keydown q
wait_until "the quarter turn" turn_state
xdotool keyup q

# 'w' rises along up, which now points along x.
xdotool keydown w
wait_until "'w' to rise" pose_field_above 10 5
xdotool keyup w
pose_is 0 1 0  1 0 0  0 0 -1  - 0 0 || fail "'w' moved off the up axis: $(od -An -t f4 -v "$cam" | xargs)"
next_save
risen=$(pose_field 10)

# Space bar held: the pointer is left where the user puts it and the camera
# stays.  Two saves make sure the tick has seen the key go down.
xdotool keydown space
next_save
next_save
xdotool mousemove --window "$window" 100 100
next_save
pointer_at 260 308 || fail "the pointer was pulled back under the space bar: $(xdotool getmouselocation)"
pose_is 0 1 0  1 0 0  0 0 -1  "$risen" 0 0 || fail "the camera moved under the space bar"

# On release the pointer goes back to the centre and the camera moves once by
# a tenth of its last offset: 14 forward (-z) and 22 along left (+y).
xdotool keyup space
wait_until "the pointer at the centre" pointer_at 480 448
wait_until "the move on release" pose_is 0 1 0  1 0 0  0 0 -1  "$risen" 22 -14
next_save
pose_is 0 1 0  1 0 0  0 0 -1  "$risen" 22 -14 || fail "the camera moved on after the release"
cp "$cam" "$work/expected.cam"

# Escape ends the run with status 0 and no last save.  tavo is held still
# right after a save, so the next periodic save is 50 ticks away when it
# meets the key.  The key stays down until tavo has gone: a press and a
# release read in one go would never be seen by a tick.
next_save
kill -STOP "$tavo"
rm -f "$cam"
xdotool keydown Escape
kill -CONT "$tavo"
expect_exit_0
xdotool keyup Escape
saved && fail "Escape saved the camera"

# ---------------------------------------------------------------- second run
# It resumes from the saved pose, which its first tick writes back.

cp "$work/expected.cam" "$cam"
inode=$(stat -c %i "$cam")
start_tavo run2
wait_until "the first save of the second run" eval '[ "$(stat -c %i "$cam" 2>/dev/null)" != "$inode" ]'
cmp -s "$cam" "$work/expected.cam" ||
    fail "the second run did not resume: $(od -An -t f4 -v "$cam" | xargs)"
xdotool keydown Escape
expect_exit_0
xdotool keyup Escape

echo "PASS"
