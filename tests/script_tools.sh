#!/usr/bin/env bash
# script_tools.sh -- the programs as a user meets them: the command line, tavo --check on the demo world, tavo-map --help, cmake --install
set -euo pipefail

: "${TAVO_BIN:?TAVO_BIN names the built tavo}"
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-tools-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The command line needs no display: --version, and an unknown option or a
# --check without a world ending with status 2 and the usage on standard error.
out=$(env -u DISPLAY "$TAVO_BIN" --version) && [ "$out" = "Tavo v3.1" ] || fail "--version printed '$out'"
for args in --frobnicate --check; do
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

# --check, given a path relative to the world's DEF folder, prints its report
# alone and calls the demo world sound (status 0).
(cd "$TAVO_BINARY_DIR/demo/DEF" && env -u DISPLAY "$TAVO_BIN" --check demo.def >"$work/report.txt") || fail "--check demo.def from DEF/ exited with $?"
grep -qx 'The world is sound.' "$work/report.txt" || fail "--check does not call the demo world sound"
! grep -q -e 'ERROR' -e '^CUBE:' "$work/report.txt" || fail "--check printed an ERROR or the loader's console lines"

# The install: both programs and the desktop entry.
cmake --install "$TAVO_BINARY_DIR" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
for f in bin/tavo bin/tavo-map share/applications/tavo.desktop; do
    [ -e "$work/prefix/$f" ] || fail "$f is not installed"
done
grep -qx 'Exec=tavo %f' "$work/prefix/share/applications/tavo.desktop" || fail "the desktop entry does not run tavo"
"$work/prefix/bin/tavo-map" --help | grep -q '^usage: tavo-map encode' || fail "tavo-map --help prints no usage"
echo "PASS"
