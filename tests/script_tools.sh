#!/usr/bin/env bash
# script_tools.sh -- the programs as a user meets them: the command line and tavo --check on the demo world
set -euo pipefail

: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-tools-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The command line needs no display: --version, and an unknown option, a
# --check without a world or a --shot of no size ending with status 2 and
# the usage on standard error.
out=$(env -u DISPLAY "$TAVO_BIN" --version) && [ "$out" = "Tavo v3.1" ] || fail "--version printed '$out'"
for args in --frobnicate --check "--shot a.png --size 0x9 w.def"; do
    status=0
    env -u DISPLAY "$TAVO_BIN" $args >"$work/out.txt" 2>"$work/err.txt" || status=$?
    [ "$status" = 2 ] && [ ! -s "$work/out.txt" ] && grep -q '^Usage: tavo' "$work/err.txt" ||
        fail "tavo $args exited with $status, printed on standard output or no usage on standard error"
done

# What glutInit leaves is checked: an unknown option or a second world is a
# usage error.
if [ -n "${DISPLAY:-}" ]; then
    for args in -frobnicate "a.def b.def"; do
        status=0
        "$TAVO_BIN" $args >/dev/null 2>"$work/err.txt" || status=$?
        [ "$status" = 2 ] && grep -q '^Usage: tavo' "$work/err.txt" || fail "tavo $args exited with $status"
    done
fi

# A world made by --new: tavo-cam --frame frames it as --new did; without
# the camera file a run says how to get one, and --quiet leaves out the
# frame line and nothing else.
if [ -n "${DISPLAY:-}" ]; then
    (cd "$work" && "$TAVO_BIN" --new hall >/dev/null) && mv "$work/hall/SYS/CAM/hall.cam" "$work/made.cam" || fail "tavo --new hall"
    "$TAVO_BINARY_DIR/tools/tavo-cam" --frame "$work/hall/DEF/hall.def" >/dev/null &&
        cmp -s "$work/made.cam" "$work/hall/SYS/CAM/hall.cam" || fail "tavo-cam --frame does not frame as --new"
    rm "$work/hall/SYS/CAM/hall.cam"
    for run in loud quiet; do
        "$TAVO_BIN" $([ $run = quiet ] && echo --quiet) --shot "$work/$run.png" "$work/hall/DEF/hall.def" \
            >"$work/$run.txt" 2>"$work/$run.err" || fail "tavo --shot ($run) exited with $?"
    done
    grep -qx '[0-9]*->[0-9]*' "$work/loud.txt" && grep -vx '[0-9]*->[0-9]*' "$work/loud.txt" | sed "s/loud/quiet/" |
        cmp -s - "$work/quiet.txt" || fail "--quiet changed more than the frame line: $(diff "$work/loud.txt" "$work/quiet.txt")"
    grep -q 'no camera file.*tavo-cam --frame' "$work/quiet.err" || fail "no word of the missing camera file: $(cat "$work/quiet.err")"
fi

# --check, given a path relative to the world's DEF folder, prints its report
# alone and calls the demo world sound (status 0).
(cd "$TAVO_BINARY_DIR/demo/DEF" && env -u DISPLAY "$TAVO_BIN" --check demo.def >"$work/report.txt") || fail "--check demo.def from DEF/ exited with $?"
for line in 'Map: PCX/demo.pcx, 22 x 16 cells, 9 layers (3 blocks across)' 'Background: sky' 'Cube types: 30' \
    '  glass                PCX/demo/glass.pcx (64 x 64, 24-bit, translucent)' 'The world is sound.'; do
    grep -qxF "$line" "$work/report.txt" || fail "--check on the demo world does not print '$line'"
done
! grep -q -e 'ERROR' -e '^CUBE:' "$work/report.txt" || fail "--check printed an ERROR or the loader's console lines"

echo "PASS"
