#!/usr/bin/env bash
# script_guide.sh -- the guide's pictures are made by scripts/guide-pictures.sh: each written, each showing a world, not the background alone
set -euo pipefail
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}" "${TAVO_SOURCE_DIR:?TAVO_SOURCE_DIR names the source tree}"
[ -n "${DISPLAY:-}" ] || { echo "no display: skipped"; exit 77; }
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"  # the GL driver's leaks
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-guide-test-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

bash "$TAVO_SOURCE_DIR/scripts/guide-pictures.sh" "$TAVO_BINARY_DIR" "$work/guide" >"$work/made.txt" ||
    fail "guide-pictures.sh ended with $?"
# The background alone: a world of empty cells, drawn the same size.  A
# picture of one colour packs into a few kilobytes; one showing a world is
# many times that.
"$TAVO_BINARY_DIR/tavo" --new "$work/empty" --size 4x4x4 >/dev/null
printf 'legend . 255 empty\nlayer 0\n....\n....\n....\n....\n' >"$work/empty.map"
"$TAVO_BINARY_DIR/tavo-map" encode "$work/empty.map" "$work/empty/PCX/empty.pcx" >/dev/null
"$TAVO_BINARY_DIR/tavo" --quiet --shot "$work/background.png" "$work/empty/DEF/empty.def" >/dev/null
background=$(stat -c %s "$work/background.png")
pictures=$(grep -c '\.png$' "$work/made.txt")
[ "$pictures" -ge 3 ] || fail "only $pictures pictures made: $(cat "$work/made.txt")"
for name in $(sed 's#.*/##' "$work/made.txt"); do
    [ -s "$work/guide/$name" ] || fail "$name not written"
    size=$(stat -c %s "$work/guide/$name")
    ((size > 4 * background)) || fail "$name ($size bytes) shows little more than the background ($background bytes)"
    grep -q "guide/$name" "$TAVO_SOURCE_DIR/docs/guide.md" || fail "docs/guide.md does not show $name"
    [ -s "$TAVO_SOURCE_DIR/docs/guide/$name" ] || fail "docs/guide/$name is not in the tree"
done
echo PASS
