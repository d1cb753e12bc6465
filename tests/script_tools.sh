#!/usr/bin/env bash
# script_tools.sh -- tavo --check on the demo world, as a user meets it
set -euo pipefail

: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-tools-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A world made by --new: tavo-cam --frame frames it as --new did; without
# the camera file a run says how to get one, and --quiet leaves out the
# frame line and nothing else.
if [ -n "${DISPLAY:-}" ]; then
    (cd "$work" && "$TAVO_BIN" --new hall >/dev/null) && mv "$work/hall/SYS/CAM/hall.cam" "$work/made.cam" || fail "tavo --new hall"
    "$TAVO_BINARY_DIR/tools/tavo-cam" --frame "$work/hall/DEF/hall.def" >/dev/null &&
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
fi

# --check, given a path relative to the world's DEF folder, prints its report
# alone and calls the demo world sound (status 0).
(cd "$TAVO_BINARY_DIR/demo/DEF" && env -u DISPLAY "$TAVO_BIN" --check demo.def >"$work/report.txt") || fail "--check demo.def from DEF/ exited with $?"
for line in 'Map: PCX/demo.pcx, 22 x 16 cells, 9 layers (3 blocks across)' 'Background: sky' 'Cube types: 30' \
    '  glass                PCX/demo/glass.pcx (PCX 8-bit x 3 planes, 64 x 64, translucent)' 'The world is sound.'; do
    grep -qxF "$line" "$work/report.txt" || fail "--check on the demo world does not print '$line'"
done
! grep -q -e 'ERROR' -e '^CUBE:' "$work/report.txt" || fail "--check printed an ERROR or the loader's console lines"

echo "PASS"
