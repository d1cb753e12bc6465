#!/usr/bin/env bash
# Export time and peak memory against world size: generated worlds in the demo's
# types (hills, a lattice no face of which hides another, a flat floor) written
# as .glb, each timed by /usr/bin/time (Debian package time).
#   bench/export_bench.sh [build folder (default: build)]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x /usr/bin/time ] || { echo "bench/export_bench.sh needs /usr/bin/time: apt-get install time" >&2; exit 1; }
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVO_BENCH=ON
else
    cmake -S . -B "$build" -DTAVO_BENCH=ON >/dev/null
fi
cmake --build "$build" -j2 --target tavo tavo_export_world demo_world >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-export-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

printf '%-8s %-12s %12s %10s %9s %9s\n' world cells faces "file MB" seconds "peak MB"
for case in "hill 64x64x64" "hill 128x64x128" "hill 256x64x256" "lattice 64x32x64" "lattice 128x32x128" \
    "lattice 256x32x256" "flat 1024x1x1024" "flat 4096x1x4096"; do
    set -- $case
    "$build/bench/tavo-export-world" "$1" "$2" "$build/demo" "$work/world"
    /usr/bin/time -f "%e %M" -o "$work/time" "$build/tavo" --export "$work/out.glb" "$work/world/DEF/demo.def" >"$work/line"
    faces=$(sed 's/.*: \(.*\) faces,.*/\1/' "$work/line" | tr -d ' ')
    read -r seconds kilobytes <"$work/time"
    printf '%-8s %-12s %12s %10.1f %9s %9.0f\n' "$1" "$2" "$faces" "$(($(stat -c %s "$work/out.glb") / 100000))e-1" \
        "$seconds" "$((kilobytes / 1024))"
    rm -rf "$work/world" "$work/out.glb"
done
