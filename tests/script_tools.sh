#!/usr/bin/env bash
# script_tools.sh -- tavo --check on the demo world, as a user meets it
set -euo pipefail

: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-tools-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"  # the GL driver's leaks

# A world made by --new: tavo-cam --frame frames it as --new did; without
# the camera file a run says how to get one, and --quiet leaves out the
# frame line and nothing else.
if [ -n "${DISPLAY:-}" ]; then
    (cd "$work" && "$TAVO_BIN" --new hall >/dev/null) && mv "$work/hall/SYS/CAM/hall.cam" "$work/made.cam" || fail "tavo --new hall"
    "$TAVO_BINARY_DIR/tavo-cam" --frame "$work/hall/DEF/hall.def" >/dev/null &&
        cmp -s "$work/made.cam" "$work/hall/SYS/CAM/hall.cam" || fail "tavo-cam --frame does not frame as --new"
    rm "$work/hall/SYS/CAM/hall.cam"
    frame='[0-9]+->[0-9]+|view [0-9]+ chunks'  # the frame lines of the drawn block and of free look
    for look in "" --look; do
        for run in loud quiet; do
            "$TAVO_BIN" $([ $run = quiet ] && echo --quiet) --shot "$work/$run.png" $look "$work/hall/DEF/hall.def" \
                >"$work/$run.txt" 2>"$work/$run.err" || fail "tavo --shot $look ($run) exited with $?"
        done
        grep -qxE "$frame" "$work/loud.txt" && grep -vxE "$frame" "$work/loud.txt" | sed "s/loud/quiet/" |
            cmp -s - "$work/quiet.txt" || fail "--quiet $look changed more than the frame lines: $(diff "$work/loud.txt" "$work/quiet.txt")"
    done
    grep -q 'no camera file.*tavo-cam --frame' "$work/quiet.err" || fail "no word of the missing camera file: $(cat "$work/quiet.err")"

    # A face naming a texture nobody declares, cells of a type no block
    # defines (the ridge's block gone): one line each, and the picture made.
    sed -i -e 's/Top 4,floor/Top 4,flor/' -e '/^NEW_CUBE "ridge"/,$d' "$work/hall/DEF/hall.def"
    "$TAVO_BIN" --shot "$work/lacking.png" "$work/hall/DEF/hall.def" >/dev/null 2>"$work/lacking.err" ||
        fail "a world lacking a texture and a cube type stopped --shot: $(cat "$work/lacking.err")"
    for line in 'type 254, face TOP names texture "flor", which no texture block declares' \
        '3 map cells of type 248 (the first at x 15, y 6, z 25) but no cube block defines type 248'; do
        grep -qxF "tavo: $work/hall/DEF/hall.def: $line" "$work/lacking.err" || fail "no line '$line': $(cat "$work/lacking.err")"
    done
fi

# The commands --new prints run as printed, from where the user is, with
# the build folder on no PATH.
mkdir "$work/elsewhere"
(cd "$work/elsewhere" && PATH=/usr/bin:/bin "$TAVO_BIN" --new ../printed >"$work/printed.txt") || fail "tavo --new ../printed"
(cd "$work/elsewhere" && PATH=/usr/bin:/bin eval "$(grep -A1 'make its picture with:' "$work/printed.txt" | tail -n 1)" >/dev/null) ||
    fail "the tavo-map command --new printed does not run: $(cat "$work/printed.txt")"
(cd "$work/elsewhere" && unset DISPLAY && PATH=/usr/bin:/bin &&
    eval "$(grep -A1 'Open it with:' "$work/printed.txt" | tail -n 1 | sed 's/ \([^ ]*\)$/ --check \1/')" >/dev/null) ||
    fail "the tavo command --new printed does not run: $(cat "$work/printed.txt")"

# A mount point, where a mount namespace of our own may be had: filled in
# place, keeping its mode and set-group-id bit.
mkdir "$work/mnt"
if unshare -m sh -c "mount -t tmpfs none '$work/mnt'" 2>/dev/null; then
    unshare -m sh -c "mount -t tmpfs none '$work/mnt' && chmod 2775 '$work/mnt' && '$TAVO_BIN' --new '$work/mnt' >/dev/null &&
        [ \$(stat -c %a '$work/mnt') = 2775 ] && [ -f '$work/mnt/DEF/mnt.def' ]" || fail "--new on a mount point"
fi

# With no display, a world that cannot be read is named (status 255), not
# the display.
status=0
env -u DISPLAY "$TAVO_BIN" "$work/none.def" >"$work/none.txt" 2>"$work/none.err" || status=$?
[ $status = 255 ] && grep -qxF "tavo: $work/none.def: No such file or directory" "$work/none.err" ||
    fail "a missing world with no display: status $status, $(cat "$work/none.txt" "$work/none.err")"

# --check, given a path relative to the world's DEF folder, prints its report
# alone and calls the demo world sound (status 0).
(cd "$TAVO_BINARY_DIR/demo/DEF" && env -u DISPLAY "$TAVO_BIN" --check demo.def >"$work/report.txt") || fail "--check demo.def from DEF/ exited with $?"
for line in 'Map: PCX/demo.pcx, 22 x 16 cells, 9 layers (3 blocks across)' 'Background: sky' 'Cube types: 30' \
    '  glass                PCX/demo/glass.pcx (PCX 8-bit x 3 planes, 64 x 64, translucent)' 'The world is sound.'; do
    grep -qxF "$line" "$work/report.txt" || fail "--check on the demo world does not print '$line'"
done
! grep -q -e 'ERROR' -e '^CUBE:' "$work/report.txt" || fail "--check printed an ERROR or the loader's console lines"

# A view of nothing says so, naming how far the nearest filled cell lies:
# the demo's types on a 40 x 2 x 40 map with one filled cell near a corner,
# the eye 37 cells off in the far one (--check and the fixed camera); free
# look draws its chunk from --view 32 on, not from 16.
far="$work/far" && cp -r "$TAVO_BINARY_DIR/demo" "$far"
{
    printf 'legend . 255\nlegend # 254\n'
    for y in 0 1; do
        echo "layer $y"
        for z in $(seq 0 39); do [ "$y$z" = 01 ] && printf '.#%038d\n' 0 | tr 0 . || printf '%040d\n' 0 | tr 0 .; done
    done
} >"$work/far.map"
printf -- '-1 0 0\n0 1 0\n0 0 -1\n70 2 266\n' >"$work/far.pose"
"$TAVO_BINARY_DIR/tavo-map" encode "$work/far.map" "$far/PCX/demo.pcx" &&
    "$TAVO_BINARY_DIR/tavo-cam" "$work/far.pose" "$far/SYS/CAM/demo.cam" || fail "no far world"
empty="the view holds nothing in the cells the fixed camera draws around the eye; the nearest cell that is not empty is 37 cells from the eye"
env -u DISPLAY "$TAVO_BIN" --check "$far/DEF/demo.def" >"$work/far.txt" || true
grep -qxF "Note: from the camera's pose $empty." "$work/far.txt" || fail "--check says nothing of the empty view: $(grep Note "$work/far.txt")"
if [ -n "${DISPLAY:-}" ]; then
    for row in ":$empty" "--look --view 16:the view holds nothing within --view 16 cells; the nearest cell that is not empty is 37 cells from the eye" "--look --view 32:"; do
        "$TAVO_BIN" --shot "$work/far.png" ${row%%:*} "$far/DEF/demo.def" >/dev/null 2>"$work/far.err" || fail "--shot ${row%%:*} exited with $?"
        want=${row#*:}
        [ "$(cat "$work/far.err")" = "${want:+tavo: $work/far.png: $want}" ] || fail "--shot ${row%%:*} said '$(cat "$work/far.err")'"
    done
fi

[ -n "${DISPLAY:-}" ] || { echo "PASS (no display: --shot and the dialogs not run)"; exit 0; }

# --shot never writes over a file the world reads, by any name; a name of
# 255 bytes is written, and a read-only camera file draws no warning.
w="$work/w" && cp -r "$TAVO_BINARY_DIR/demo" "$w" && ln -s ../DEF/demo.def "$w/SYS/def-link"
sums() { find "$w" -type f -exec md5sum {} + | sort; }
before=$(sums)
for out in SYS/CAM/demo.cam DEF/demo.def PCX/demo.pcx PCX/demo/glass.pcx PCX/SYSTEM/BASIC02.PCX \
    SYS/IMG/matrix.pcx SYS/def-link DEF/../SYS/CAM/demo.cam; do
    status=0
    "$TAVO_BIN" --shot "$w/$out" "$w/DEF/demo.def" >/dev/null 2>"$work/err.txt" || status=$?
    [ $status = 1 ] && grep -q "the world reads it" "$work/err.txt" || fail "--shot $out ended with $status"
done
[ "$(sums)" = "$before" ] || fail "--shot wrote over a file of the world"
mv "$w/SYS/CAM/demo.cam" "$work/demo.cam"
"$TAVO_BIN" --shot "$w/SYS/CAM/demo.cam" "$w/DEF/demo.def" >/dev/null 2>&1 && fail "--shot made the camera file"
[ ! -e "$w/SYS/CAM/demo.cam" ] || fail "--shot made the camera file"
ln -s CAM/demo.cam "$w/SYS/cam-link"  # a link to the camera file not made yet
"$TAVO_BIN" --shot "$w/SYS/cam-link" "$w/DEF/demo.def" >/dev/null 2>"$work/err.txt" && fail "--shot replaced a link to the camera file"
grep -q "the world reads it" "$work/err.txt" && [ -L "$w/SYS/cam-link" ] || fail "--shot through a link to the camera file: $(cat "$work/err.txt")"
mv "$work/demo.cam" "$w/SYS/CAM/demo.cam" && chmod 444 "$w/SYS/CAM/demo.cam"
long="$work/$(printf 'a%.0s' $(seq 251)).png"
"$TAVO_BIN" --shot "$long" "$w/DEF/demo.def" >/dev/null 2>"$work/err.txt" && [ -s "$long" ] || fail "no 255-byte picture"
[ ! -s "$work/err.txt" ] || fail "--shot warned: $(cat "$work/err.txt")"

# Dialogs: Cancel, a dialog that cannot start and one that keeps answering
# a wrong file all end the chooser; an error dialog nobody closes does not
# keep tavo, and --shot starts none.
mkdir "$work/fake"
zenity() { printf '#!/bin/sh\necho "$@" >>"%s"\n%s\n' "$work/zenity.log" "$1" >"$work/fake/zenity" && chmod +x "$work/fake/zenity"; }
run() { rm -f "$work/zenity.log"; status=0; PATH="$work/fake:$PATH" timeout 30 "$TAVO_BIN" "$@" </dev/null >"$work/out.txt" 2>&1 || status=$?; }
for answer in "exit 1:1" "exit 5:1" "echo $w/none.def:5"; do
    zenity "${answer%:*}" && run
    [ $status = 255 ] && grep -qx "ERROR: No world file was chosen" "$work/out.txt" || fail "chooser '$answer' ended with $status"
    [ "$(grep -c file-selection "$work/zenity.log")" = "${answer##*:}" ] || fail "chooser '$answer' started $(cat "$work/zenity.log")"
done
zenity 'echo $$ >"'"$work/dialog.pid"'"; exec sleep 60' && run "$w/none.def"
[ $status = 255 ] || fail "tavo waited on its error dialog ($status)"
for i in $(seq 100); do [ -s "$work/dialog.pid" ] && break; sleep 0.1; done
kill "$(cat "$work/dialog.pid")" || fail "no error dialog"
run --shot "$work/x.png" "$w/none.def"
[ $status = 255 ] && [ ! -e "$work/zenity.log" ] || fail "--shot showed a dialog ($status)"

echo "PASS"
