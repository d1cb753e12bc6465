#!/usr/bin/env bash
# Makes the pictures of docs/guide.md with tavo itself (tavo --shot).
#   scripts/guide-pictures.sh [build-dir] [out-dir]
# build-dir holds the built programs and demo (default build), out-dir
# receives the pictures (default docs/guide).  Without a display it runs
# itself under xvfb-run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
mkdir -p "${2:-$here/docs/guide}"
out=$(cd "${2:-$here/docs/guide}" && pwd)
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$build" "$out"
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-guide-XXXXXX")
trap 'rm -rf "$work"' EXIT
shot() { "$build/tavo" --quiet --shot "$out/$1.png" "${@:2}" >/dev/null; echo "$out/$1.png"; }

# The demo from its start view (not where a flight last left it), in the
# fixed camera and in free look.
cp -r "$build/demo" "$work/demo"
"$build/tavo-cam" "$here/data/demo/start.pose" "$work/demo/SYS/CAM/demo.cam"
shot demo-fixed "$work/demo/DEF/demo.def"
shot demo-look --look "$work/demo/DEF/demo.def"

# A new world, as tavo --new makes it.
"$build/tavo" --new "$work/hall" >/dev/null
shot new-world "$work/hall/DEF/hall.def"

# Its map changed as text: a tower of wall, five layers high, left of the
# house (columns 4 to 6, rows 24 to 26), then the map picture made again.
awk '/^layer / { layer = $2; row = -1; print; next }
     layer >= 1 && layer <= 5 && row++ >= 0 && row >= 24 && row <= 26 { $0 = substr($0, 1, 4) "###" substr($0, 8) }
     { print }' "$work/hall/PCX/hall.map" >"$work/hall.map"
mv "$work/hall.map" "$work/hall/PCX/hall.map"
"$build/tavo-map" encode "$work/hall/PCX/hall.map" "$work/hall/PCX/hall.pcx" >/dev/null
shot edited-map "$work/hall/DEF/hall.def"
