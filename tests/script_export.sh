#!/usr/bin/env bash
# script_export.sh -- tavo --export as a user meets it: files the glTF validator passes, bad input refused
set -euo pipefail

: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"
: "${TAVO_SOURCE_DIR:?TAVO_SOURCE_DIR names the source folder}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-export-XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
demo=$TAVO_BINARY_DIR/demo

# Every cube type of the demo alone in a cell, on both checker parities.
cp -r "$demo" "$work/every"
{
    sed -n '/^legend/,/^legend c/p' "$TAVO_SOURCE_DIR/data/demo/demo.map"
    types=$(sed -n 's/^legend \(.\) .*/\1/p' "$TAVO_SOURCE_DIR/data/demo/demo.map" | grep -v '^\.$' | tr -d '\n')
    row=$(echo "$types" | sed 's/./&./g')
    printf 'layer 0\n%s..\n.%s.\n%s..\n' "${row//?/.}" "$row" "${row//?/.}"
} >"$work/every.map"
"$TAVO_BINARY_DIR/tavo-map" encode "$work/every.map" "$work/every/PCX/demo.pcx" >/dev/null

# The validator, installed by scripts/setup.sh; the tests never fetch it.
validator=$TAVO_SOURCE_DIR/.cache/node/node_modules/gltf-validator
if [ ! -f "$validator/package.json" ] || ! command -v node >/dev/null; then
    echo "The glTF validator is not installed: run bash scripts/setup.sh (it needs Node and npm)."
    [ -n "${CI:-}" ] && fail "no glTF validator in CI"
    exit 77
fi
validate() {
    node -e '
        const v = require(process.argv[1]), fs = require("fs");
        v.validateBytes(new Uint8Array(fs.readFileSync(process.argv[2])), {maxIssues: 0})
            .then(r => {
                for (const m of r.issues.messages) console.log(m.code, m.pointer || "", m.message);
                process.exit(r.issues.numErrors + r.issues.numWarnings ? 1 : 0);
            }, e => { console.log(String(e)); process.exit(1); });' "$validator" "$1"
}

for case in "$demo/DEF/demo.def demo.glb" "$demo/DEF/demo.def demo.gltf" "$work/every/DEF/demo.def every.glb" \
    "$work/every/DEF/demo.def every.gltf" "$work/every/DEF/demo.def part.glb --flat --region 2,0,0:40,0,1"; do
    set -- $case
    env -u DISPLAY "$TAVO_BIN" --export "$work/$2" "${@:3}" "$1" >"$work/out.txt" || fail "--export $2 exited with $?"
    [ "$(wc -l <"$work/out.txt")" = 1 ] && grep -qE "^$work/$2: [0-9 ]+ faces, [0-9]+ materials, [0-9]+ pictures, [0-9.]+ (bytes|kB|MB)\$" "$work/out.txt" ||
        fail "--export $2 printed no summary: $(tail -1 "$work/out.txt")"
    validate "$work/$2" || fail "the validator finds fault with $2"
done

# Bad input: a clear message on standard error, a non-zero status, nothing written.
cp -r "$demo" "$work/broken"
printf 'P' >"$work/broken/PCX/demo.pcx"
mkdir "$work/locked" && chmod a-w "$work/locked"
# A definition file whose name ends as an export's would.
cp "$work/every/DEF/demo.def" "$work/every/DEF/scene.gltf"
cp "$work/every/PCX/demo.pcx" "$work/every/PCX/scene.pcx"
while IFS='|' read -r status world out args want; do
    touch "$work/stamp"
    got=0
    env -u DISPLAY "$TAVO_BIN" --export "$out" $args "$world" >"$work/bad.out" 2>"$work/bad.err" </dev/null || got=$?
    [ "$got" = "$status" ] && grep -q -- "$want" "$work/bad.out" "$work/bad.err" ||
        fail "--export $out $args $world: status $got, $(cat "$work/bad.err" "$work/bad.out" | tail -2)"
    [ -z "$(find "$work" -newer "$work/stamp" ! -type d ! -name 'bad.*')" ] ||
        fail "--export $out $args $world wrote something"
done <<CASES
255|$work/broken/DEF/demo.def|$work/x.glb||demo.pcx
1|$demo/DEF/demo.def|$work/x.glb|--region 0,0,0:21,8,16|outside the grid
1|$work/every/DEF/demo.def|$work/x.gltf|--region 0,0,0:0,0,0|holds no faces; nothing is written
2|$demo/DEF/demo.def|$work/x.glb|--region 3,0,0:2,0,0|at or past its start
2|$demo/DEF/demo.def|$work/x.glb|--region 1,2,3|expected all or
2|$demo/DEF/demo.def|$work/x.png||must end in .glb
1|$demo/DEF/demo.def|$work/missing/x.glb||No such file or directory
1|$demo/DEF/demo.def|$work/locked/x.glb||Permission denied
1|$work/every/DEF/scene.gltf|$work/every/DEF/scene.gltf||own files
CASES

# SIGINT and SIGTERM end an export with its temporary files removed.  Job
# control gives the background export the signals a terminal would.
"$TAVO_BIN" --new "$work/wide" --size 2048x2x2048 >/dev/null
set -m
for sig in INT TERM; do
    "$TAVO_BIN" --export "$work/wide.glb" "$work/wide/DEF/wide.def" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 200); do
        [ -n "$(find "$work" -maxdepth 1 -name '.tavo-*')" ] && break
        sleep 0.05
    done
    [ -n "$(find "$work" -maxdepth 1 -name '.tavo-*')" ] || fail "no temporary file while exporting"
    kill -s "$sig" "$pid"
    got=0
    wait "$pid" || got=$?
    [ "$got" = $((128 + $(kill -l "$sig"))) ] || fail "SIG$sig: status $got"
    [ -z "$(find "$work" -maxdepth 1 -name '.tavo-*' -o -maxdepth 1 -name 'wide.glb')" ] ||
        fail "SIG$sig left $(ls -A "$work")"
done
set +m

echo "PASS"
