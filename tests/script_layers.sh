#!/usr/bin/env bash
# The parts of src/ stand in layers, lowest first; a file may include the
# headers of its own part and of the parts below it, never of one above.
# Only src/gpu calls OpenGL.
# The tools' writers (map text, PCX encoder, pictures) are byte functions
# over nothing but files, so they stand with the base.
set -u
src=${TAVO_SOURCE_DIR:-$(cd "$(dirname "$0")/.." && pwd)}/src
rank() {
    case $1 in
        base|tools) echo 0 ;; gpu) echo 1 ;; control) echo 2 ;; picture) echo 3 ;; world) echo 4 ;;
        draw|chunks|export) echo 5 ;; app) echo 6 ;; *) echo 9 ;;
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
# OpenGL is called from src/gpu alone (the window's glut* calls are not
# OpenGL's and stay with the window).
while IFS= read -r hit; do
    case ${hit%%:*} in gpu/*) continue ;; esac
    echo "$hit: OpenGL outside src/gpu"
    bad=1
done < <(cd "$src" && grep -noE '\bglu?[A-Z][A-Za-z0-9]*\(|<GL/glu?\.h>' -- */*.cpp */*.h)
[ $bad -eq 0 ] && echo "every include goes down the layers, and only src/gpu calls OpenGL"
exit $bad
