#!/usr/bin/env bash
# A picture of a page as headless Chromium draws it, WebGL on its software
# renderer; for the tests and benchmarks of tavo --export OUT.html.
#   scripts/page_shot.sh PAGE.html[#fragment] OUT.png [WIDTH,HEIGHT (default 640,480)]
# Prints what the page said on its console; exits 77 when Chromium is
# missing or cannot start here.
set -euo pipefail
page=$1 out=$2 size=${3:-640,480}
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
    echo "page_shot: no Chromium (the Debian package chromium; bash scripts/setup.sh installs it)" >&2
    exit 77
fi
profile=$(mktemp -d "${TMPDIR:-/tmp}/tavo-chromium-XXXXXX")
trap 'rm -rf "$profile"' EXIT
rm -f "$out"
# Virtual time runs the page until its scripts and pictures have settled,
# for at most 10 s of page time; the timeout bounds the real time.
status=0
TMPDIR=$profile timeout 120 "$browser" --headless --no-sandbox --no-first-run --user-data-dir="$profile" \
    --use-angle=swiftshader --enable-unsafe-swiftshader --hide-scrollbars --enable-logging=stderr --v=0 \
    --window-size="$size" --virtual-time-budget=10000 --screenshot="$out" \
    "file://$(realpath "${page%%#*}")$( [[ $page == *#* ]] && echo "#${page#*#}")" \
    >"$profile/log" 2>&1 || status=$?
if [ ! -s "$out" ]; then
    echo "page_shot: Chromium could not start or draw here (status $status):" >&2
    grep -v dbus "$profile/log" | tail -5 >&2
    exit 77
fi
sed -n 's/^.*:CONSOLE[^]]*\] //p' "$profile/log"
