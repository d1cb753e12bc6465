#!/usr/bin/env bash
# The demo's web page (tavo --export OUT.html) in headless Chromium against
# tavo --shot of the same camera: the share of pixels that differ by more
# than 10 %.  Target: at most 5 %.
#   bench/page_vs_shot.sh [build folder (default: build)]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-page-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -r "$build/demo" "$work/demo"
"$build/tavo" --export "$work/demo.html" "$work/demo/DEF/demo.def"
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tavo" --shot "$work/shot.png" "$work/demo/DEF/demo.def" >/dev/null
bash scripts/page_shot.sh "$work/demo.html#bare" "$work/page.png"
echo "page against --shot, 640 x 480: $(node bench/page_pixels.js "$work/page.png" "$work/shot.png")"
