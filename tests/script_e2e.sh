#!/usr/bin/env bash
# script_e2e.sh -- tavo run as a user runs it: real key presses and pointer motion on an X server of its own, checked through the camera file and the console
set -euo pipefail
: "${TAVO_BIN:?TAVO_BIN names the built tavo}" "${TAVO_SOURCE_DIR:?TAVO_SOURCE_DIR names the source tree}"
# A server of its own with auto-repeat off (-r): a held key is one press.  The
# sanitizer build must not turn the GL driver's own leaks into an exit status,
# nor refuse the library stdbuf preloads.
if [ -z "${TAVO_E2E_SERVER:-}" ]; then
    exec env TAVO_E2E_SERVER=1 ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0:verify_asan_link_order=0" \
        xvfb-run -a -n $((300 + $$ % 400)) -s "-nolisten tcp -r -screen 0 1280x1024x24" bash "$0"
fi

. "$(dirname "$0")/support/window_script.sh" e2e
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

# Now and then a fresh connection to the server is refused: tavo is
# started again when that alone stopped it.
# start_tavo LOG [DEF [OPTION...]]: console lines go out as they are printed.
start_tavo() {
    local tries=0 deadline=$((SECONDS + 120)) def=${2:-$world/DEF/e2e.def}
    stdbuf -oL "$TAVO_BIN" "${@:3}" "$def" >"$work/$1.log" 2>&1 &
    tavo=$!
    until window=$(xdotool search --onlyvisible --name '^Tavo v3\.1$' 2>/dev/null | head -n 1) && [ -n "$window" ]; do
        if ! kill -0 "$tavo" 2>/dev/null; then
            grep -q 'failed to open display' "$work/$1.log" && ((++tries < 5)) || fail "tavo ended before its window showed"
            stdbuf -oL "$TAVO_BIN" "${@:3}" "$def" >"$work/$1.log" 2>&1 &
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

# No last save on the way out.  Only a changed pose is saved: once the file
# holds the same pose for longer than a save's second, it holds the last one,
# the pose the second run starts from.
same_pose() { local a; a=$(od -An -t f4 -v "$cam" | xargs); sleep 1.2; [ "$a" = "$(od -An -t f4 -v "$cam" | xargs)" ]; }
wait_until "the last pose" same_pose
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

# The pointer freed by the space bar, taken out of the window and back in
# near a corner, the bar released, then the window resized and back: none
# of it is motion, so the camera file keeps the start pose, in both modes.
# A frame is drawn at most once a tick: 100 more console lines are two saves.
frames_past() { (($(wc -l <"$work/pointer.log") >= $1)); }
pointer_at() { [ "$(xdotool getmouselocation | cut -d' ' -f1-2)" = "x:$1 y:$2" ]; }
pointer_free() { xdo mousemove 1250 1000 && pointer_at 1250 1000 && sleep 0.1 && pointer_at 1250 1000; }
for mode in "" --look; do
    cp "$work/expected.cam" "$cam"
    start_tavo pointer "$world/DEF/e2e.def" $mode
    wait_until "frames" frames_past 20
    xdo keydown space
    wait_until "the pointer left free outside the window" pointer_free
    xdo mousemove --window "$window" 5 5
    xdo keyup space
    wait_until "frames after the space bar" frames_past $(($(wc -l <"$work/pointer.log") + 20))
    xdo windowsize "$window" 800 600
    wait_until "the larger window" eval 'xdo getwindowgeometry "$window" | grep -q "800x600"'
    wait_until "frames in the larger window" frames_past $(($(wc -l <"$work/pointer.log") + 20))
    xdo windowsize "$window" 640 480
    wait_until "frames after two saves" frames_past $(($(wc -l <"$work/pointer.log") + 100))
    cmp -s "$cam" "$work/expected.cam" || fail "the pointer moved the camera${mode:+ in free look}: $(od -An -t f4 -v "$cam" | xargs)"
    xdo keydown Escape
    expect_exit_0
done

# Free look on a world 3 cells wide and 64 deep: stone at rows 20 and 50,
# all behind the start pose (at the origin, looking along -z).
{ printf 'across 1\nlegend . 255 empty\nlegend # 254 stone\nlayer 0\n'
  for z in $(seq 0 63); do [ "$z" = 20 ] || [ "$z" = 50 ] && echo '.#.' || echo '...'; done
} >"$work/look.txt"
"$TAVO_BINARY_DIR/tavo-map" encode "$work/look.txt" "$world/PCX/look.pcx" >/dev/null
cp "$world/DEF/e2e.def" "$world/DEF/look.def"
cam="$world/SYS/CAM/look.cam"
last_line() { tail -n 1 "$work/look.log" | grep -Eq "$1"; }
start_tavo look "$world/DEF/look.def"
wait_until "the fixed camera's rows" last_line '^[0-9]+->[0-9]+$'
# Keys are held until seen: a tick never sees a press released before it.
xdo keydown Tab
wait_until "free look facing away" last_line '^view 0 chunks$'
xdo keyup Tab
# Eighth turns to the left (225 pixels at 0.2 degrees each) until both stones show.
for i in $(seq 12); do
    last_line '^view 2 chunks$' && break
    xdo mousemove --window "$window" 95 240
    sleep 0.3
done
last_line '^view 2 chunks$' || fail "no stones after turning round: $(tail -n 1 "$work/look.log")"
wait_until "the turned pose" pose_is - - -  - - -  - - '>0.99'  0 0 0
cp "$cam" "$work/turned.cam"
xdo keydown w
sleep 1
xdo keyup w
wait_until "the flight along +z" pose_is - - -  - - -  - - '>0.99'  - - '>10'
od -An -t f4 -v "$cam" | xargs | awk '{ for (i = 0; i < 3; i++) for (j = i; j < 3; j++) {
        d = $(3*i+1) * $(3*j+1) + $(3*i+2) * $(3*j+2) + $(3*i+3) * $(3*j+3)
        if ((d - (i == j)) ^ 2 > 1e-6) exit 1 } }' || fail "not an orthonormal pose: $(od -An -t f4 -v "$cam" | xargs)"
xdo keydown Tab
wait_until "the fixed camera's rows again" last_line '^[0-9]+->[0-9]+$'
xdo keyup Tab
xdo keydown Escape
expect_exit_0
# From the turned pose the far stone, 50 cells off, is within 64 cells and not 32.
for view in 32:1 64:2; do
    cp "$work/turned.cam" "$cam"
    "$TAVO_BIN" --shot "$work/shot.png" --look --view "${view%:*}" "$world/DEF/look.def" >"$work/shot.log" 2>&1 ||
        fail "--shot --look --view ${view%:*} failed"
    grep 'chunks$' "$work/shot.log" | tail -n 1 | grep -qx "view ${view#*:} chunks" ||
        fail "--view ${view%:*}: $(grep 'chunks$' "$work/shot.log" | tail -n 1)"
done
# A camera file of no numbers: --shot says so once, naming it, draws from
# the start pose and leaves the file as it was.
head -c 48 /dev/zero | tr '\0' '\377' >"$cam"
cp "$cam" "$work/nan.cam"
"$TAVO_BIN" --shot "$work/nan.png" "$world/DEF/look.def" >/dev/null 2>"$work/nan.log" || fail "--shot from a camera file of NaNs failed"
[ "$(grep -c 'look\.cam' "$work/nan.log")" = 1 ] &&
    grep -qx "tavo: $cam: a number in the pose is not finite; the view starts at the origin" "$work/nan.log" ||
    fail "--shot did not tell the camera file once: $(cat "$work/nan.log")"
cmp -s "$cam" "$work/nan.cam" && [ -s "$work/nan.png" ] || fail "--shot wrote the camera file, or no picture"
echo "PASS"
