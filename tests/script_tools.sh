#!/usr/bin/env bash
# script_tools.sh -- tavo --check on the demo world, as a user meets it
set -euo pipefail

: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-tools-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# --check, given a path relative to the world's DEF folder, prints its report
# alone and calls the demo world sound (status 0).
(cd "$TAVO_BINARY_DIR/demo/DEF" && env -u DISPLAY "$TAVO_BIN" --check demo.def >"$work/report.txt") || fail "--check demo.def from DEF/ exited with $?"
for line in 'Map: PCX/demo.pcx, 22 x 16 cells, 9 layers (3 blocks across)' 'Background: sky' 'Cube types: 30' \
    '  glass                PCX/demo/glass.pcx (PCX 8-bit x 3 planes, 64 x 64, translucent)' 'The world is sound.'; do
    grep -qxF "$line" "$work/report.txt" || fail "--check on the demo world does not print '$line'"
done
! grep -q -e 'ERROR' -e '^CUBE:' "$work/report.txt" || fail "--check printed an ERROR or the loader's console lines"

echo "PASS"
