#!/usr/bin/env bash
# script_package.sh -- the Debian package as a user installs it: its files, the manual pages, the menu entry, tavo --demo, the error dialog
set -euo pipefail
: "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"  # the GL driver's leaks
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-package-XXXXXX")
tavo=
trap 'if [ -n "$tavo" ]; then kill "$tavo" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# What a user left in the build's own demo never ships.
mkdir -p "$TAVO_BINARY_DIR/demo/SYS/SHOT" && touch "$TAVO_BINARY_DIR/demo/SYS/SHOT/stray.png"
cmake --build "$TAVO_BINARY_DIR" --target package >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "no package"; }
rm -f "$TAVO_BINARY_DIR/demo/SYS/SHOT/stray.png"
debs=("$TAVO_BINARY_DIR"/tavo_*_*.deb) && [ ${#debs[@]} = 1 ] || fail "not one package: ${debs[*]}"
dpkg-deb -c "${debs[0]}" | awk '$1 !~ /^d/ { print substr($6, 2) }' | sort >"$work/files"
demo=/usr/share/tavo/demo pictures="bricks fence floor_dark floor_light glass grass leaves roof sign sky stone water wood"
{
    printf '/usr/bin/%s\n' tavo tavo-cam tavo-map
    printf '/usr/share/%s\n' applications/tavo.desktop doc/tavo/authoring.md doc/tavo/changelog.gz doc/tavo/copyright doc/tavo/examples/tavo.conf \
        icons/hicolor/scalable/apps/tavo.svg lintian/overrides/tavo man/man1/tavo-cam.1.gz man/man1/tavo-map.1.gz \
        man/man1/tavo.1.gz man/man5/tavo-world.5.gz metainfo/org.example.tavo.metainfo.xml mime/packages/tavo.xml
    printf "$demo/%s\n" DEF/demo.def PCX/SYSTEM/BASIC02.PCX PCX/demo.pcx SYS/CAM/demo.cam SYS/IMG/matrix.pcx
    printf "$demo/PCX/demo/%s.pcx\n" $pictures
} | sort | diff - "$work/files" >&2 || fail "the package's files differ from the list (> shipped, < missing)"
depends=$(dpkg-deb -f "${debs[0]}" Depends)
for lib in libglut libglu libgl1 libpng; do [[ $depends == *$lib* ]] || fail "no $lib in Depends: $depends"; done
[ -z "$(tr ',' '\n' <<<"$depends" | sed 's/ *(.*//; s/^ *//' | sort | uniq -d)" ] || fail "Depends names a package twice: $depends"
[ "$(dpkg-deb -f "${debs[0]}" Maintainer)" = "The Tavo developers <tavo@example.org>" ] || fail "Maintainer"
version=$(dpkg-deb -f "${debs[0]}" Version)
dpkg-deb --fsys-tarfile "${debs[0]}" | tar -xO ./usr/share/doc/tavo/changelog.gz | gunzip | head -n 1 |
    grep -q "^tavo ($version)" || fail "the changelog's latest release is not $version"

# lintian, pedantic: every tag left is a fault, overrides aside.  A
# sanitizer build's package has its checks in place of the hardening.
if ! grep -q '^TAVO_SANITIZE:BOOL=ON' "$TAVO_BINARY_DIR/CMakeCache.txt"; then
    TMPDIR="$work" lintian --pedantic -I -E "${debs[0]}" >"$work/lintian" 2>/dev/null || true
    ! grep '^[EWIPX]:' "$work/lintian" || fail "lintian has tags to fix"
fi

root="$work/root" bin="$work/root/usr/bin" share="$work/root/usr/share"
dpkg -x "${debs[0]}" "$root"
"$bin/tavo" --check "$share/tavo/demo/DEF/demo.def" | grep -qx 'The world is sound.' || fail "the installed demo is not sound"
desktop-file-validate "$share/applications/tavo.desktop" || fail "desktop-file-validate"
grep -qx 'Terminal=false' "$share/applications/tavo.desktop" || fail "the menu entry opens a terminal"
appstreamcli validate-tree --no-net "$root" >/dev/null || fail "appstreamcli validate-tree"
# The file type reads into a MIME database, which then knows a world.
mkdir -p "$work/mime/packages" && cp "$share/mime/packages/tavo.xml" "$work/mime/packages/"
XDG_DATA_DIRS="$work" update-mime-database "$work/mime" 2>"$work/mime.log" && [ ! -s "$work/mime.log" ] || fail "update-mime-database: $(cat "$work/mime.log")"
grep -q ':application/x-tavo-world:\*\.def$' "$work/mime/globs2" && grep -qa 'NEW_TEXTURE' "$work/mime/magic" ||
    fail "the MIME database has no glob or content match for a world"
grep -qx 'MimeType=application/x-tavo-world;' "$share/applications/tavo.desktop" || fail "the menu entry names no file type"

# Each manual page renders without a warning and names every option --help prints.
for p in tavo tavo-map tavo-cam; do
    MANWIDTH=200 man --warnings -E ascii -l "$share/man/man1/$p.1.gz" >"$work/page" 2>"$work/warnings"
    [ ! -s "$work/warnings" ] || fail "$p(1) warns: $(cat "$work/warnings")"
    for opt in $("$bin/$p" --help | grep -oE -- '(^| |\[)--?[a-z][a-z-]*' | tr -d ' [' | sort -u); do
        grep -qe "$opt" "$work/page" || fail "$p(1) does not name $opt"
    done
    # One footer for all, the version of the build; every status told; the
    # other pages named.
    version=$("$bin/tavo" --version | head -n 1)
    tail -n 1 "$work/page" | grep -q "^$version  " || fail "$p(1) has the footer '$(tail -n 1 "$work/page")'"
    sed -n '/^EXIT STATUS/,/^[A-Z]/p' "$work/page" | grep -cE '^ +(0|1|2) ' | grep -qx 3 || fail "$p(1) lacks a status"
    for other in tavo tavo-map tavo-cam; do
        [ $other = $p ] || sed -n '/^SEE ALSO/,$p' "$work/page" | grep -q "$other(1)" || fail "$p(1) does not point to $other(1)"
    done
done

MANWIDTH=200 man --warnings -E ascii -l "$share/man/man5/tavo-world.5.gz" >"$work/page" 2>"$work/warnings"
[ ! -s "$work/warnings" ] && grep -q NEW_CUBE "$work/page" || fail "tavo-world(5) warns or is empty: $(cat "$work/warnings")"
tail -n 1 "$work/page" | grep -q "^$version  " || fail "tavo-world(5) has the footer '$(tail -n 1 "$work/page")'"
MANWIDTH=200 man -E ascii -l "$share/man/man1/tavo.1.gz" | grep -q 'tavo-world(5)' || fail "tavo(1) does not point to tavo-world(5)"
grep -q '^Exec=tavo --quiet ' "$share/applications/tavo.desktop" || fail "the menu entry prints a line a frame"

# tavo --demo copies the installed demo once, and no link in it is followed.  A run has opened it when its
# window shows and the camera file is a new one (the copy, or a save
# renamed into place).
copy="$work/data/tavo/demo" cam="$work/data/tavo/demo/SYS/CAM/demo.cam"
run_demo() {
    local before deadline=$((SECONDS + 120))
    before=$(stat -c %i "$cam" 2>/dev/null || echo none)
    XDG_DATA_HOME="$work/data" "$bin/tavo" --demo >"$work/demo.log" 2>&1 &
    tavo=$!
    until [ "$(stat -c %i "$cam" 2>/dev/null || echo none)" != "$before" ] &&
        xdotool search --onlyvisible --name '^Tavo v3\.1$' >/dev/null 2>&1; do
        kill -0 "$tavo" 2>/dev/null || { cat "$work/demo.log"; fail "tavo --demo ended"; }
        ((SECONDS < deadline)) || fail "tavo --demo saved no camera: $(cat "$work/demo.log")"
        sleep 0.05
    done
    kill "$tavo"; wait "$tavo" || tavo=
}
ln -s ../DEF/demo.def "$share/tavo/demo/PCX/link.def"
run_demo
[ ! -e "$copy/PCX/link.def" ] || fail "the demo copy followed a link"
cmp -s "$cam" "$share/tavo/demo/SYS/CAM/demo.cam" || fail "the first run did not start from the installed view"
[ -z "$(ls -A "$work/data/tavo" | grep -vx demo)" ] || fail "the copy left something behind: $(ls -A "$work/data/tavo")"
printf '0 1 0\n-1 0 0\n0 0 -1\n3 4 5\n' >"$work/pose.txt"
"$bin/tavo-cam" "$work/pose.txt" "$cam" && cp "$cam" "$work/expected.cam" && touch "$copy/kept"
run_demo
[ -f "$copy/kept" ] || fail "the second run copied the demo again"
cmp -s "$cam" "$work/expected.cam" || fail "the second run did not keep the saved camera"
# A copy that lost its definition file is made again with its camera; a
# copy cut short long ago is removed.
rm "$copy/DEF/demo.def" && mkdir "$work/data/tavo/.demo-cut" && touch -d '-1 hour' "$work/data/tavo/.demo-cut"
run_demo
[ -f "$copy/DEF/demo.def" ] && [ ! -e "$work/data/tavo/.demo-cut" ] || fail "the damaged copy was not repaired"
cmp -s "$cam" "$work/expected.cam" || fail "the repair lost the saved camera"

# Without a terminal, a fatal error is also shown by zenity, with the same text and the file's line.
mkdir "$work/fake" && printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s"\n' "$work/zenity.txt" >"$work/fake/zenity"
chmod +x "$work/fake/zenity" && status=0
PATH="$work/fake:$PATH" "$bin/tavo" "$work/none.def" >"$work/out.txt" 2>&1 || status=$?
line="ERROR: A file handling error has occured"
[ $status = 255 ] && grep -qx "$line" "$work/out.txt" || fail "tavo ended with $status: $(cat "$work/out.txt")"
for i in $(seq 100); do [ -s "$work/zenity.txt" ] && break; sleep 0.1; done  # started, not waited for
grep -qx -e --error "$work/zenity.txt" && grep -qx "$line" "$work/zenity.txt" &&
    grep -qx "$work/none.def: No such file or directory" "$work/zenity.txt" || fail "no dialog: $(cat "$work/zenity.txt" 2>/dev/null)"
echo "PASS"
