#!/usr/bin/env bash
# script_build.sh -- building in the view as a user does it: b, clicks at the crosshair, Ctrl+S and Ctrl+Z, checked in the saved map
set -euo pipefail
: "${TAVO_BIN:?TAVO_BIN names the built tavo}" "${TAVO_BINARY_DIR:?TAVO_BINARY_DIR names the build folder}"
if [ -z "${TAVO_E2E_SERVER:-}" ]; then
    exec env TAVO_E2E_SERVER=1 ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0:verify_asan_link_order=0" \
        xvfb-run -a -n $((700 + $$ % 200)) -s "-nolisten tcp -r -screen 0 1280x1024x24" bash "$0"
fi
map_tool="$TAVO_BINARY_DIR/tavo-map"

. "$(dirname "$0")/support/window_script.sh" build
lines() { grep -c "$1" "$work/run.log" || true; }

"$TAVO_BIN" --new "$work/w" --size 12x10x12 >/dev/null
map="$work/w/PCX/w.pcx" text="$work/w/PCX/w.map"
cp "$map" "$work/start.pcx"

# The cells that differ between the start map and the saved one: "count from to",
# as characters of the map text's legend.
differ() {
    "$map_tool" decode "$work/start.pcx" "$work/a.txt" --header "$text" >/dev/null
    "$map_tool" decode "$map" "$work/b.txt" --header "$text" >/dev/null
    paste -d '\n' "$work/a.txt" "$work/b.txt" | awk 'NR % 2 { a = $0; next }
        a != $0 { for (i = 1; i <= length(a); i++) if (substr(a, i, 1) != substr($0, i, 1)) {
            n++; f = substr(a, i, 1); t = substr($0, i, 1) } }
        END { print n + 0, f, t }'
}
saves=0
# Starts tavo in free look on the world, its console in run.log; again when
# the server refused the connection.
start() {
    local tries=0 deadline=$((SECONDS + 120))
    stdbuf -oL "$TAVO_BIN" --look "$work/w/DEF/w.def" >"$work/run.log" 2>&1 &
    tavo=$!
    until window=$(xdotool search --onlyvisible --name '^Tavo v3\.1$' 2>/dev/null | head -n 1) && [ -n "$window" ]; do
        if ! kill -0 "$tavo" 2>/dev/null; then
            grep -q 'failed to open display' "$work/run.log" && ((++tries < 5)) || fail "tavo ended before its window showed"
            stdbuf -oL "$TAVO_BIN" --look "$work/w/DEF/w.def" >"$work/run.log" 2>&1 &
            tavo=$!
        fi
        ((SECONDS < deadline)) || fail "timed out waiting for the window"
        sleep 0.05
    done
    xdo windowfocus --sync "$window"
    xdo mousemove --window "$window" 320 240
}
# Ctrl+S, then the console's line for it.
save() {
    saves=$((saves + 1))
    xdo key ctrl+s
    wait_until "save $saves" eval '(( $(lines "^Map saved: ") >= saves ))'
}

start

# The start view looks down on the house: a left click removes the cell at the centre.
xdo key b
wait_until "building" eval '(( $(lines "^Building on") == 1 ))'
xdo click 1
save
read -r n from to <<<"$(differ)"
[ "$n" = 1 ] && [ "$from" != . ] && [ "$to" = . ] || fail "a left click changed '$n $from $to', not one filled cell to empty"
grep -q "(1 cell changed) and $text" "$work/run.log" || fail "the save does not name the map text"
"$map_tool" encode "$text" "$work/fromtext.pcx" >/dev/null
cmp -s "$work/fromtext.pcx" "$map" || { "$map_tool" decode "$work/fromtext.pcx" - >/dev/null; \
    [ "$("$map_tool" decode "$work/fromtext.pcx" - --header "$text")" = "$("$map_tool" decode "$map" - --header "$text")" ]; } \
    || fail "the map text does not agree with the picture"

xdo key ctrl+z
save
cmp -s "$work/start.pcx" "$map" || fail "undo and save did not give the map as it was"

xdo click 3
save
read -r n from to <<<"$(differ)"
[ "$n" = 1 ] && [ "$from" = . ] && [ "$to" != . ] || fail "a right click changed '$n $from $to', not one empty cell to filled"

# The viewer's own saves are never read back: the only reloads are F5's.
xdo key F5
wait_until "F5's reload" eval '(( $(lines "^World reloaded") >= 1 ))'
xdo key ctrl+z
save
xdo key F5
wait_until "the second F5's reload" eval '(( $(lines "^World reloaded") >= 2 ))'
(( $(lines "^World reloaded") == 2 )) || fail "the viewer read its own save back"
cmp -s "$work/start.pcx" "$map" || fail "undo after a reload did not give the map as it was"

# Another program saves the map meanwhile: the edit is kept, and Ctrl+S
# writes over the newer file only when pressed twice.
xdo click 1
cp "$work/start.pcx" "$work/w/PCX/.other" && touch -d '2001-01-01' "$work/w/PCX/.other" && mv "$work/w/PCX/.other" "$map"
wait_until "the change on disk" eval '(( $(lines "changed on disk or F5") == 1 ))'
xdo key ctrl+s
wait_until "the refusal" eval '(( $(lines "changed on disk since it was read; Ctrl+S again") == 1 ))'
cmp -s "$work/start.pcx" "$map" || fail "the first Ctrl+S wrote over the newer map"
save
read -r n from to <<<"$(differ)"
[ "$n" = 1 ] && [ "$to" = . ] || fail "the second Ctrl+S did not write the edit"
(( $(lines "^World reloaded") == 2 )) || fail "the world was read again over the unsaved edit"
cp "$map" "$work/start.pcx"

# Unsaved edits: the first Escape only warns, the second ends the run.
# The warning is told by its own words: the reload's and the recovery
# copy's lines speak of unsaved edits too, and a second Escape sent before
# the warning shows may fall in the first one's tick.
xdo click 1
xdo key Escape
wait_until "the warning" eval '(( $(lines "Escape again ends without saving") == 1 ))'
kill -0 "$tavo" || fail "the first Escape ended the run with unsaved edits"
xdo key Escape
wait_until "tavo to end" eval '! kill -0 "$tavo" 2>/dev/null'
status=0
wait "$tavo" || status=$?
tavo=
((status == 0)) || fail "tavo ended with status $status"
cmp -s "$work/start.pcx" "$map" || fail "Escape wrote the map"

# A signal with unsaved edits keeps them beside the world, and the next start says so.
start
xdo key b
wait_until "building" eval '(( $(lines "^Building on") == 1 ))'
xdo click 1
xdo key Escape
wait_until "the warning" eval '(( $(lines "Escape again ends without saving") == 1 ))'
kill -TERM "$tavo"
wait "$tavo" || true
tavo=
grep -q "^Unsaved edits kept in $work/w/SYS/EDIT/w.pcx (1 cell changed)" "$work/run.log" || fail "no recovery copy was said"
cmp -s "$work/start.pcx" "$map" || fail "the signal wrote the map"
start
wait_until "the recovery hint" eval '(( $(lines "recovery copy of unsaved edits") == 1 ))'

# Closing the window with unsaved edits keeps them the same way.
rm "$work/w/SYS/EDIT/w.pcx"
xdo key b
wait_until "building" eval '(( $(lines "^Building on") == 1 ))'
xdo click 1
xdo key Escape
wait_until "the warning" eval '(( $(lines "Escape again ends without saving") == 1 ))'
xdo windowclose "$window"
wait_until "tavo to end" eval '! kill -0 "$tavo" 2>/dev/null'
wait "$tavo" || true
tavo=
grep -q "^Unsaved edits kept in $work/w/SYS/EDIT/w.pcx (1 cell changed)" "$work/run.log" || fail "closing the window kept no recovery copy"
cmp -s "$work/start.pcx" "$map" || fail "closing the window wrote the map"
echo "building: all checks passed"
