#!/usr/bin/env bash
# script_export_page.sh -- tavo --export OUT.html: one page holding the world, drawn by headless Chromium
set -euo pipefail

: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"
: "${TAVO_SOURCE_DIR:?TAVO_SOURCE_DIR names the source folder}"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"  # the GL driver's leaks

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-page-XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cp -r "$TAVO_BINARY_DIR/demo" "$work/demo"
def=$work/demo/DEF/demo.def

if ! env -u DISPLAY "$TAVO_BIN" --export "$work/demo.html" "$def" >"$work/out.txt" 2>"$work/err.txt"; then
    grep -q "without the web page's viewer" "$work/err.txt" || fail "--export demo.html: $(cat "$work/err.txt")"
    echo "This tavo was built without three.js and esbuild: run bash scripts/setup.sh and build again."
    [ -n "${CI:-}" ] && fail "no web page viewer in CI"
    exit 77
fi
grep -qE "^$work/demo.html: 1 540 faces, [0-9]+ materials, [0-9]+ pictures, [0-9]+ kB\$" "$work/out.txt" ||
    fail "--export demo.html printed: $(cat "$work/out.txt")"

# Nothing outside the file: no address with a scheme (XML namespace names
# only name, they are never loaded) and no address relative to the scheme.
page=$work/demo.html
outside=$(grep -aoE '[A-Za-z][A-Za-z0-9+.-]*://[^"'"'"' <>)]*' "$page" | grep -v '^http://www\.w3\.org/' || true)
[ -z "$outside" ] || fail "the page names addresses outside it: $(echo "$outside" | head -3)"
! grep -aqiE '(src|href|action|url)[=(]["'"'"']?//' "$page" || fail "the page loads an address relative to the scheme"
grep -q "Permission is hereby granted" "$page" || fail "three.js's licence is not in the page"
# The world inside is the .glb export, byte for byte.
env -u DISPLAY "$TAVO_BIN" --export "$work/demo.glb" "$def" >/dev/null
sed -n '/id="world">/,/<\/script>/p' "$page" | sed '1d;$d' | base64 -d >"$work/inside.glb"
cmp -s "$work/inside.glb" "$work/demo.glb" || fail "the page's world is not the .glb export"

# Refused: a world file as OUT, a folder that is missing or locked; nothing written.
cp "$def" "$work/demo/DEF/scene.html"
cp "$work/demo/PCX/demo.pcx" "$work/demo/PCX/scene.pcx"
mkdir "$work/locked" && chmod a-w "$work/locked"
while IFS='|' read -r world out want; do
    touch "$work/stamp"
    got=0
    env -u DISPLAY "$TAVO_BIN" --export "$out" "$world" >"$work/bad.out" 2>"$work/bad.err" </dev/null || got=$?
    [ "$got" = 1 ] && grep -q -- "$want" "$work/bad.err" ||
        fail "--export $out $world: status $got, $(cat "$work/bad.err" "$work/bad.out" | tail -2)"
    [ -z "$(find "$work" "${TMPDIR:-$work}" -newer "$work/stamp" ! -type d ! -name 'bad.*')" ] ||
        fail "--export $out $world wrote something"
done <<CASES
$work/demo/DEF/scene.html|$work/demo/DEF/scene.html|own files
$def|$work/missing/x.html|No such file or directory
$def|$work/locked/x.html|Permission denied
CASES

# Drawn: the demo's page against a page of next to nothing but the backdrop
# (a region of one floor cell in the demo's corner; an empty region is
# refused).
env -u DISPLAY "$TAVO_BIN" --export "$work/empty.html" --region 0,0,0:0,0,0 "$def" >/dev/null ||
    fail "--export of one cell"
for name in demo empty; do
    status=0
    bash "$TAVO_SOURCE_DIR/scripts/page_shot.sh" "$work/$name.html#bare" "$work/$name.png" >"$work/console.txt" || status=$?
    if [ "$status" = 77 ]; then
        echo "Chromium cannot start here: the page is not drawn (skipped)."
        exit 77
    fi
    [ "$status" = 0 ] || fail "no picture of $name.html"
    ! grep -qiE 'uncaught|error|could not' "$work/console.txt" || fail "$name.html says: $(head -3 "$work/console.txt")"
done
share() { node "$TAVO_SOURCE_DIR/bench/page_pixels.js" "$1" "$2" | cut -d' ' -f1; }
differ=$(share "$work/demo.png" "$work/empty.png")
awk -v d="$differ" 'BEGIN { exit !(d >= 20) }' || fail "the demo's page shows little but its backdrop ($differ % of pixels differ)"
# From the start camera, as the viewer draws it (bench/page_vs_shot.sh
# measures how near; this bound only catches a page gone astray).
"$TAVO_BIN" --shot "$work/shot.png" "$def" >/dev/null || fail "tavo --shot of the demo"
differ=$(share "$work/demo.png" "$work/shot.png")
awk -v d="$differ" 'BEGIN { exit !(d <= 10) }' || fail "the demo's page is not the viewer's picture ($differ % of pixels differ)"

# Driven: w held flies, a drag turns; each moves the view.
mkdir "$work/drive"
status=0
node "$TAVO_SOURCE_DIR/tests/page_drive.js" "$(command -v chromium || command -v chromium-browser)" \
    "$work/demo.html" "$work/drive" || status=$?
[ "$status" = 0 ] || fail "the page could not be driven (status $status)"
for step in "start flown" "flown turned"; do
    set -- $step
    differ=$(share "$work/drive/$1.png" "$work/drive/$2.png")
    awk -v d="$differ" 'BEGIN { exit !(d >= 5) }' || fail "$2: the view hardly moved ($differ % of pixels differ)"
done

echo "PASS"
