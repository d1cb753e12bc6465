#!/usr/bin/env bash
# script_cli.sh -- the command-line conventions of tavo and its tools, one table: usage errors, --help, --version, --
set -euo pipefail
: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"
: "${TAVO_SOURCE_DIR:?TAVO_SOURCE_DIR names the sources}"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"  # the GL driver's leaks
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-cli-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$TAVO_BINARY_DIR/CMakeCache.txt")
bin() { [ "$1" = tavo ] && echo "$TAVO_BIN" || echo "$TAVO_BINARY_DIR/$1"; }
e2e="$TAVO_SOURCE_DIR/tests/data/e2e/DEF/e2e.def"

# PROGRAM STATUS WANTED ARGS...: run with no display, in a scratch folder.
# Status 2 wants WANTED as "PROGRAM: WANTED" and the hint, alone on
# standard error; other statuses want WANTED as the first line printed.
row() {
    local program=$1 status=$2 wanted=$3 got=0
    shift 3
    (cd "$work" && env -u DISPLAY "$(bin "$program")" "$@") >"$work/out" 2>"$work/err" </dev/null || got=$?
    local first
    first=$(head -n 1 "$work/out" "$work/err" 2>/dev/null | grep -v '^==>' | grep -m1 . || true)
    if [ "$got" != "$status" ]; then
        fail "$program $* exited with $got, not $status: $(head -n 2 "$work/out" "$work/err")"
    elif [ "$status" = 2 ]; then
        printf '%s: %s\nTry '\''%s --help'\'' for more information.\n' "$program" "$wanted" "$program" |
            cmp -s - "$work/err" && [ ! -s "$work/out" ] ||
            fail "$program $*: usage error printed '$(cat "$work/out" "$work/err")'"
    elif [[ $first != $wanted* ]]; then
        fail "$program $*: first line '$first', not '$wanted'"
    fi
}

for p in tavo tavo-map tavo-cam tavo-texgen; do
    row $p 2 "unknown option '--bogus'" --bogus
    row $p 2 "unknown option '-x'" -x
    row $p 2 "option '--help' takes no operand" --help=yes
    row $p 0 "Usage: $p " --help
    row $p 0 "Usage: $p " -h
    [ "$p" = tavo ] && want="tavo $version" || want="$p (tavo) $version"
    row $p 0 "$want" --version
    [ "$(sed -n 2p "$work/out")" = "Copyright (C) 2026 The Tavo developers." ] && grep -q '^License: MIT' "$work/out" ||
        fail "$p --version has no copyright or licence line"
    [ "$(wc -l <"$work/out")" = "$(wc -l < <("$(bin tavo)" --version))" ] || fail "$p --version differs in form"
done
row tavo 2 "more than one world file: 'a.def' and 'b.def'" a.def b.def
row tavo 2 "option '--size': '0x0': each side must be 1 to 8192" --shot a.png --size 0x0 w.def
row tavo 2 "option '--size': '20000x20000': each side must be 1 to 8192" --shot a.png --size=20000x20000 w.def
row tavo 2 "option '--size': '64x' is not WIDTHxHEIGHT" --shot a.png --size 64x w.def
row tavo 1 "freeglut" --shot a.png --size 8192x8192 "$e2e"  # the largest side passes, to find no display
row tavo 255 "ERROR: Cannot open world file w.def" --shot a.png w.def  # the world before the display
row tavo 2 "option '--size' needs --shot or --new" --size 64x48 w.def
row tavo 2 "option '--view': '1025': the view distance must be 8 to 1024 cells" --view 1025 w.def
row tavo 1 "freeglut" --shot a.png --look --view 1024 "$e2e"  # the longest view passes, to find no display
row tavo 2 "--config and --no-config cannot be used together" --config a.conf --no-config w.def
row tavo 2 "--new makes a world in its folder, and 'w.def' is another word" --new d w.def
row tavo 2 "option '--shot' needs OUT.png" --shot
row tavo 2 "option '-display' needs DISPLAY" w.def -display
row tavo 2 "option '--direct' cannot be used with --check" --direct --check w.def
row tavo 2 "--check needs a world file (WORLD.def)" --check
row tavo 2 "--check and --shot cannot be used together" --check w.def --shot a.png
row tavo 2 "--demo opens the demo world, and 'w.def' is another" --demo w.def
row tavo 2 "'-' cannot be OUT.png: standard output is not written (./- names a file so called)" --shot - w.def
row tavo 2 "a world is read from its .def file, not from standard input ('-')" -
row tavo 1 "World: $work/-w.def" --check -- -w.def
row tavo 0 "World: $e2e" -iconic -geometry 64x48+0+0 --check "$e2e"
row tavo-map 2 "missing encode or decode"
row tavo-map 2 "unknown command 'paint' (encode or decode)" paint a b
row tavo-map 2 "missing the output" encode a.txt
row tavo-map 2 "extra operand 'c'" decode a.pcx b.txt c
row tavo-map 2 "option '--header' goes with decode" encode a.txt b.pcx --header c.txt
row tavo-map 2 "option '--header' given twice" decode a.pcx b.txt --header c --header=d
row tavo-map 2 "'-' cannot be MAP.pcx: standard output is not written (./- names a file so called)" encode a.txt -
row tavo-map 1 "tavo-map: -a.txt: No such file or directory" encode -- -a.txt b.pcx
row tavo-cam 2 "missing POSE.txt and OUT.cam"
row tavo-cam 2 "extra operand 'c'" a b c
row tavo-cam 2 "extra operand 'a'" --show x.cam a
row tavo-cam 2 "'-' cannot be OUT.cam: standard output is not written (./- names a file so called)" a.txt -
row tavo-cam 1 "tavo-cam: -a.txt: No such file or directory" -- -a.txt b.cam
row tavo-texgen 2 "missing ROOT"
row tavo-texgen 2 "'-' cannot be ROOT: standard output is not written (./- names a file so called)" -
mkdir "$work/-root"  # a root that is missing is refused, not made
row tavo-texgen 0 "" -- -root
[ -f "$work/-root/SYS/IMG/matrix.pcx" ] || fail "tavo-texgen -- -root drew nothing in -root"

# tavo-map decode's text goes to standard output for "-".
"$(bin tavo-map)" encode "$TAVO_SOURCE_DIR/data/demo/demo.map" "$work/demo.pcx" &&
    "$(bin tavo-map)" decode "$work/demo.pcx" - | grep -qx 'layer 0' || fail "tavo-map decode to - printed no map"

# The window system's options reach it: a display that is not there is
# its failure, not a usage error.
if [ -n "${DISPLAY:-}" ]; then
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"  # the GL driver's leaks
    status=0
    "$TAVO_BIN" -display :4093 --shot "$work/a.png" "$e2e" >/dev/null 2>"$work/err" || status=$?
    [ $status = 1 ] && grep -q ':4093' "$work/err" || fail "-display :4093 ended with $status: $(cat "$work/err")"
    "$TAVO_BIN" -display "$DISPLAY" -geometry 64x48+0+0 -sync --shot "$work/a.png" "$e2e" >/dev/null ||
        fail "--shot with GLUT's options ended with $?"
fi
[ $failures = 0 ] || exit 1
echo "PASS"
