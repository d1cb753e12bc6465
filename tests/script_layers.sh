#!/usr/bin/env bash
# The parts of src/ stand in layers, lowest first; a file may include the
# headers of its own part and of the parts below it, never of one above.
# The tools' writers (map text, PCX encoder, pictures) are byte functions
# over nothing but files, so they stand with the base.
set -u
src=${TAVO_SOURCE_DIR:-$(cd "$(dirname "$0")/.." && pwd)}/src
rank() {
    case $1 in
        base|tools) echo 0 ;; control) echo 1 ;; picture) echo 2 ;; world) echo 3 ;;
        draw|chunks|export) echo 4 ;; app) echo 5 ;; *) echo 9 ;;
    esac
}
owner() {  # the part whose folder holds header $1
    local found
    found=$(cd "$src" && ls ./*/"$1" 2>/dev/null | head -n 1)
    if [ -n "$found" ]; then found=${found#./}; echo "${found%%/*}"
    elif [ -f "$src/../tools/$1" ]; then echo tools
    else echo unknown; fi
}
bad=0
for file in "$src"/*/*.cpp "$src"/*/*.h; do
    part=${file#"$src"/}; part=${part%%/*}
    while read -r header; do
        to=$(owner "$header")
        if [ "$(rank "$to")" -gt "$(rank "$part")" ]; then
            echo "${file#"$src"/} includes $header of $to, a part above $part"
            bad=1
        fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done
[ "$(ls "$src"/*.cpp "$src"/*.h 2>/dev/null | wc -l)" -eq 0 ] || { echo "files outside the parts' folders:" "$src"/*.[ch]*; bad=1; }
[ $bad -eq 0 ] && echo "every include goes down the layers"
exit $bad
