#!/usr/bin/env bash
# script_export_obj.sh -- tavo --export OUT.obj: read back by assimp, side files checked as OUT is
set -euo pipefail

: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-obj-XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cp -r "$TAVO_BINARY_DIR/demo" "$work/demo"
def=$work/demo/DEF/demo.def

if ! command -v assimp >/dev/null; then
    echo "No assimp to read the files back: install assimp-utils (bash scripts/setup.sh does)."
    [ -n "${CI:-}" ] && fail "no assimp in CI"
    exit 77
fi

# The whole demo, a part of it, the flat colours: assimp reads as many faces
# as tavo says it wrote, and every picture the .mtl names is beside it.
while IFS='|' read -r name args; do
    env -u DISPLAY "$TAVO_BIN" --export "$work/$name.obj" $args "$def" >"$work/out.txt" || fail "--export $name.obj $args"
    faces=$(sed -nE "s|^$work/$name.obj: ([0-9 ]+) faces, [0-9]+ materials, [0-9]+ pictures, .*|\1|p" "$work/out.txt" | tr -d ' ')
    [ -n "$faces" ] || fail "--export $name.obj printed: $(cat "$work/out.txt")"
    read_back=$(assimp info "$work/$name.obj" --raw 2>&1 | sed -nE 's/^Faces: +([0-9]+)$/\1/p') || true
    [ "$read_back" = "$faces" ] || fail "$name.obj: tavo wrote $faces faces, assimp reads ${read_back:-none}"
    for picture in $(sed -n 's/^map_Kd //p' "$work/$name.mtl"); do
        [ -s "$work/$picture" ] && [ "$(file -b --mime-type "$work/$picture")" = image/png ] ||
            fail "$name.mtl names $picture, which is no PNG beside it"
    done
done <<CASES
demo|
part|--region 2,0,0:20,3,10
flat|--flat
CASES
! grep -q '^map_Kd' "$work/flat.mtl" || fail "--flat still names pictures"

# Refused before anything is written: a side file that is a world file (the
# definition file named as OUT's .mtl), one that may not be replaced.
cp "$def" "$work/demo/DEF/scene.mtl"
cp "$work/demo/PCX/demo.pcx" "$work/demo/PCX/scene.pcx"
mkdir "$work/kept" && touch "$work/kept/x-1-stone.png" && chmod a-w "$work/kept/x-1-stone.png"
while IFS='|' read -r world out want; do
    touch "$work/stamp"
    got=0
    env -u DISPLAY "$TAVO_BIN" --export "$out" "$world" >"$work/bad.out" 2>"$work/bad.err" </dev/null || got=$?
    [ "$got" = 1 ] && grep -q -- "$want" "$work/bad.err" ||
        fail "--export $out $world: status $got, $(cat "$work/bad.err" "$work/bad.out" | tail -2)"
    [ -z "$(find "$work" -newer "$work/stamp" ! -type d ! -name 'bad.*')" ] ||
        fail "--export $out $world wrote something"
done <<CASES
$work/demo/DEF/scene.mtl|$work/demo/DEF/scene.obj|scene.mtl: is one of the world's own files
$def|$work/kept/x.obj|x-1-stone.png: Read-only file
CASES

echo "PASS"
